// Reading RAR archives member by member: the block chain of RAR 1.5-4
// archives and the header chain of RAR 5 archives, across the volumes of a
// set, with each member's data copied (stored) or handed to the unpacker of
// its method family. One unpacker serves the whole archive, so solid members
// continue from the state the earlier ones left.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "archive/core/blake2sp.h"
#include "archive/core/input_file.h"
#include "archive/decoders/rar_unpack.h"

namespace lumora::archive {

// The unpackers by the unpack version they serve: 15; 20 and 26; 29 and 36;
// RAR 5.
enum class RarFamily : std::uint8_t { None, Rar15, Rar20, Rar29, Rar50 };

struct RarMember {
    std::string name;  // as stored (Unicode names in UTF-8), folders separated by '/'
    // The name in Windows-1252 that the lister reports (RarAnsiName), folders
    // separated by '/': the name members are extracted and found by.
    std::string ansiName;
    std::uint64_t unpacked = 0;
    std::uint32_t crc = 0;
    bool hasCrc = false;  // RAR 5 members may carry a BLAKE2sp digest instead
    std::optional<Blake2Digest> blake2sp;
    std::uint32_t dosTime = 0;
    std::uint32_t attributes = 0;
    std::uint8_t hostOs = 0;
    std::uint8_t unpVersion = 0;  // 15 ... 36, 50 for RAR 5
    std::uint8_t method = 0;      // 0x30 stored ... 0x35 best
    std::uint64_t window = 0;     // dictionary bytes
    bool directory = false;
    bool special = false;  // a link, device or the like: never written
    bool encrypted = false;
    bool solid = false;  // continues the unpacker state of the member before
    bool splitBefore = false;
    bool splitAfter = false;

    bool Stored() const { return method == 0x30; }
    RarFamily Family() const;
};

// Makes the unpacker of a family; null where there is none.
using RarUnpackerMaker =
    std::function<std::unique_ptr<RarUnpacker>(RarFamily family, std::size_t window)>;
std::unique_ptr<RarUnpacker> MakeRarUnpacker(RarFamily family, std::size_t window);

// The name of the volume after `path`: "x.part01.rar" -> "x.part02.rar" with
// the new naming, "x.rar" -> "x.r00" -> "x.r01" ... "x.r99" -> "x.s00" with
// the old one. Empty when there is no next name.
std::string NextRarVolumeName(const std::string& path, bool newNaming);

// The calls answer 0 or one of the library's result codes (unrar_api.h).
class RarReader {
public:
    explicit RarReader(RarUnpackerMaker maker = MakeRarUnpacker);
    ~RarReader();
    RarReader(const RarReader&) = delete;
    RarReader& operator=(const RarReader&) = delete;

    // Finds the marker (also after a self-extractor's code) and reads the
    // main header.
    int Open(const std::string& path);
    // The next member's header; its data is then passed over by Skip or
    // read by Decode. A member left alone is skipped.
    int Next(RarMember& m);
    // Passes over the current member; in solid archives it is decoded
    // without output, as the members after it need its state.
    void Skip();
    // Unpacks the current member into `out` (null: decoded, not checked),
    // at most `limit` bytes (0: all). The CRC-32 and the BLAKE2sp digest
    // are checked where the whole member was written.
    int Decode(OutputSink* out, std::uint64_t limit);

    bool IsSolid() const { return solidArchive_; }

private:
    class PieceSource;
    struct Block;

    int OpenVolume(const std::string& path);
    int ReadMainHeader4();
    int ReadBlock4(std::uint64_t at, Block& b);
    int ReadBlock5(std::uint64_t at, Block& b);
    int ReadBlock(std::uint64_t at, Block& b);
    int NextVolume();
    // Moves to the continuation of the current member in the next volume.
    bool NextPiece();
    int CopyStored(OutputSink* out, std::uint64_t limit);
    int Unpack(OutputSink* out, std::uint64_t limit);
    RarUnpacker* UnpackerFor(bool solid, int& error);

    RarUnpackerMaker maker_;
    InputFile file_;
    std::string path_;
    bool rar5_ = false;
    bool volumeSet_ = false;
    bool newNaming_ = false;
    bool solidArchive_ = false;
    bool encryptedHeaders_ = false;
    std::uint64_t pos_ = 0;  // the next header
    int volumes_ = 0;

    RarMember cur_;
    bool haveCur_ = false;
    std::uint64_t dataPos_ = 0;  // the rest of the current piece
    std::uint64_t dataLeft_ = 0;
    int pieceError_ = 0;

    std::unique_ptr<RarUnpacker> unpacker_;
    RarFamily family_ = RarFamily::None;
    std::uint64_t window_ = 0;
    bool chainBroken_ = true;  // no good state for a solid member to continue
};

}  // namespace lumora::archive
