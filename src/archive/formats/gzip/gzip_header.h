// The header of a gzip file (and the signatures of the older compress, pack
// and SCO compress formats): where the member's data starts, its stored
// name, date, method and the CRC-32 of its trailer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "archive/core/field_reader.h"
#include "archive/core/input_file.h"

namespace lumora::archive {

inline constexpr std::size_t kGzipHeaderSize = 10;

struct GzipMember {
    bool gzip = false;           // 1F 8B or 1F 9E; else compress (1), pack (2) or SCO (3)
    std::uint8_t method = 0;     // the header's method byte, or 1 to 3 for the older formats
    std::uint8_t flags = 0;      // FLG (gzip only)
    std::string storedName;      // up to its first zero byte, at most 255 bytes
    std::uint32_t unixTime = 0;  // modification time (gzip only; 0: none)
    std::uint64_t dataStart = 0;
    std::uint64_t packedSize = 0;
    std::uint32_t crc = 0;  // from the trailer (gzip only)
    std::uint32_t unpackedSize = 0;
    // FLG bit 1 marks a part of a multi-part file in early gzip versions and a
    // header CRC since; only a header CRC that matches is taken as one.
    bool multipart = false;
    bool encrypted = false;  // FLG bit 5 (gzip only)
    bool extraCut = false;   // the file ends inside the extra field's length
};

// The member of `file` whose header starts with `head` (the file's first
// kGzipHeaderSize bytes, fewer when the file is shorter): Ok, or Bad when
// fewer than 2 bytes arrived or the signature is none of the five accepted
// ones. Fixed fields past a cut header read as zero; the optional fields
// (extra field, name, comment, header CRC) are read as far as the file
// holds them.
HeaderResult ReadGzipMember(const InputFile& file, std::string_view head, GzipMember& m);

// The archive's own file name without its last extension, as the stored name
// of a member that has none.
std::string GzipDerivedName(const std::string& archivePath);

}  // namespace lumora::archive
