// The numeric error codes of the archive library, their German texts
// (Windows-1252 bytes) and the exception that carries one.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace lumora::archive {

namespace ecode {
inline constexpr int BadFileHeader = 25108;
inline constexpr int BadBlock = 25109;
inline constexpr int BadHuffmanCode = 25110;
inline constexpr int BadCode = 25111;
inline constexpr int BadBitCount = 25113;
inline constexpr int WriteError = 25114;
inline constexpr int CloseError = 25115;
inline constexpr int IncompleteCodeSet = 25116;
inline constexpr int CrcError = 25117;
inline constexpr int BadDecodingTree = 25118;
inline constexpr int FileNotFound = 25132;
inline constexpr int OpenError = 25134;
inline constexpr int ReadError = 25135;
inline constexpr int HeaderCrcError = 25136;
inline constexpr int HeaderIdError = 25137;
inline constexpr int BadArchive = 25139;
inline constexpr int BadFileName = 25140;
inline constexpr int BadLengths = 25141;
inline constexpr int InconsistentHeader = 25145;
inline constexpr int TooManyVolumes = 25150;
inline constexpr int OutOfMemory = 25153;
inline constexpr int GzipMultipart = 25162;
inline constexpr int EventNotAssigned = 25170;
inline constexpr int PasswordProtected = 25190;
inline constexpr int SeekError = 25191;
inline constexpr int BadShannonFanoTree = 25192;
inline constexpr int StackOverflow = 25196;
inline constexpr int UnsupportedMethod = 25200;
inline constexpr int UnknownFileType = 25202;
inline constexpr int VersionError = 25302;
inline constexpr int NextDisk = 25903;
inline constexpr int CabinetNotInSet = 25904;
inline constexpr int InvalidPassword = 26517;
inline constexpr int PasswordFailed = 26522;
inline constexpr int FileSkipped = 26900;
inline constexpr int EmptyArchive = 26999;
}  // namespace ecode

// The text shown for a code, Windows-1252 bytes; empty for an unknown code.
std::string_view ErrorText(int code);

// The one exception class the library raises for archive errors. what() is
// the text of the code.
class E_RAISE : public std::runtime_error {
public:
    explicit E_RAISE(int code) : std::runtime_error(std::string(ErrorText(code))), code_(code) {}
    int Code() const { return code_; }

private:
    int code_;
};

}  // namespace lumora::archive
