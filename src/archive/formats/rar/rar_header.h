// RAR headers: the blocks of RAR 1.5-4 archives (7-byte marker, main header,
// then blocks with 16-bit header sizes) and the headers of RAR 5 archives
// (8-byte marker, fields in variable-length integers). The lister's walk
// reads them here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "archive/core/blake2sp.h"
#include "archive/core/field_reader.h"

namespace lumora::archive {

inline constexpr std::string_view kRar4Marker("Rar!\x1a\x07\x00", 7);
inline constexpr std::string_view kRar5Marker("Rar!\x1a\x07\x01\x00", 8);
inline constexpr std::size_t kRar4MainHeaderSize = 13;
inline constexpr std::size_t kRar4BlockSize = 32;
inline constexpr std::uint8_t kRar4FileBlock = 0x74;
inline constexpr std::uint16_t kRar4LongBlock = 0x8000;
inline constexpr std::uint16_t kRar4SkipIfUnknown = 0x4000;
inline constexpr std::uint16_t kRar4LargeSizes = 0x0100;
inline constexpr std::uint16_t kRar4UnicodeName = 0x0200;
// The bytes of a RAR 5 header's CRC and the longest size field.
inline constexpr std::size_t kRar5SizeWindow = 8;

struct Rar4MainHeader {
    std::uint16_t flags = 0;
    std::uint16_t size = 0;
    bool encryptedHeaders = false;  // the blocks cannot be read without the password
};

// Bad when cut short or smaller than its fixed fields.
HeaderResult ParseRar4MainHeader(FieldReader& r, Rar4MainHeader& h);

// The fixed 32 bytes of a RAR 1.5-4 block header (the file fields only mean
// something in file blocks).
struct Rar4Block {
    std::uint8_t type = 0;
    std::uint16_t flags = 0;
    std::uint16_t headSize = 0;
    std::uint32_t dataSize = 0;  // with kRar4LongBlock; the packed size of files
    std::uint32_t unpacked = 0;
    std::uint8_t hostOs = 0;
    std::uint32_t crc = 0;
    std::uint32_t dosTime = 0;
    std::uint8_t version = 0;
    std::uint8_t method = 0;
    std::uint16_t nameSize = 0;
    std::uint32_t attributes = 0;

    bool IsFile() const { return type == kRar4FileBlock; }
    // A file listed by the walk (not one to skip when unknown).
    bool Listed() const { return IsFile() && !(flags & kRar4SkipIfUnknown); }
    // The data size has a high part after the fixed bytes.
    bool HasPackedHigh() const {
        return IsFile() && (flags & kRar4LongBlock) && (flags & kRar4LargeSizes);
    }
};

// End for the end block and for a header too small for its type (the walk
// stops there); Bad when cut short.
HeaderResult ParseRar4Block(FieldReader& r, Rar4Block& b);

// What a file block holds after its fixed 32 bytes: the high parts of the
// sizes of large files, then the name.
struct Rar4FileTail {
    std::uint32_t packedHigh = 0;
    std::uint32_t unpackedHigh = 0;  // read for listed files only
    std::string name;                // listed files only; up to its zero byte
    std::string unicode;             // UTF-8, with the Unicode flag only

    // The name as the lister shows it and the readers write it (RarAnsiName;
    // the plain name where there is no Unicode name).
    std::string AnsiName() const;
};

// The bytes after the fixed block that ParseRar4Tail needs: the header's
// rest for listed files, else the high packed size only, which is read even
// where the header size leaves no room for it.
std::size_t Rar4TailSize(const Rar4Block& b);
// Bad when a needed field is cut short or the name reaches beyond the
// header size.
HeaderResult ParseRar4Tail(FieldReader& r, const Rar4Block& b, Rar4FileTail& t);

// The UTF-8 form of a name field holding a plain name, a zero byte and the
// encoded Unicode name (the plain name's bytes stand in for runs of the
// Unicode name). Stops at the end of either part.
std::string Rar4UnicodeName(std::string_view field);

// A member's name in Windows-1252, the one form the lister, extraction and
// the library calls share: the Unicode name (UTF-8) where every character
// has a Windows-1252 code; else the stored bytes `plain` as they are, so
// names the code page cannot hold stay distinct and no '?' stands in.
std::string RarAnsiName(std::string_view unicode, std::string_view plain);

// Variable-length integers (7 bits per byte, low groups first) and fixed
// fields of a RAR 5 header held in memory. A field beyond the bytes, or an
// integer of more than 64 bits, reads as zero and marks the reader bad.
class Rar5Fields {
public:
    explicit Rar5Fields(std::string_view bytes) : r_(bytes) {}

    std::uint64_t Vint();
    std::uint32_t U32();
    std::string Text(std::uint64_t n);
    void Skip(std::uint64_t n);
    std::size_t Offset() const { return r_.Pos(); }
    std::size_t Size() const { return r_.Size(); }
    bool Bad() const { return bad_ || r_.Short(); }

private:
    bool Need(std::uint64_t n);

    FieldReader r_;
    bool bad_ = false;
};

// The size field before a RAR 5 header body: `window` starts at the header
// CRC. Bad when the size runs past the window, is zero or is too large.
HeaderResult ParseRar5Size(std::string_view window, std::uint64_t& bodySize,
                           std::size_t& bodyOffset);

struct Rar5File {
    std::uint64_t flags = 0;  // 1 directory, 2 time present, 4 CRC present
    std::uint64_t unpacked = 0;
    std::uint64_t attributes = 0;
    std::uint32_t unixTime = 0;
    std::uint32_t crc = 0;
    std::uint64_t compression = 0;
    std::uint64_t hostOs = 0;  // 0 Windows, 1 Unix
    std::string name;          // UTF-8
    bool encrypted = false;
    bool link = false;                     // a redirection record: a link, not a file of its own
    std::optional<Blake2Digest> blake2sp;  // the data's hash, from a hash record
    std::optional<std::int64_t> modified;  // Unix seconds from the extra area
};

struct Rar5Header {
    std::uint64_t type = 0;       // 1 main, 2 file, 3 service, 4 encryption, 5 end
    std::uint64_t flags = 0;      // 8 data continued from the last volume, 16 continued in the next
    std::uint64_t typeFlags = 0;  // the main header's archive flags, the end header's flags
    std::uint64_t dataSize = 0;
    Rar5File file;  // type 2 only
};

// One header body. End for the end of the archive and where encrypted
// headers follow; Bad when a field runs past the body or the extra area
// does not fit it.
HeaderResult ParseRar5Header(std::string_view body, Rar5Header& h);

}  // namespace lumora::archive
