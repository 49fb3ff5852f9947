// Archive type detection: the signature table, executables with an archive
// inside (string-table offsets, end of the DOS image, ZIP end record) and
// the TAR header checksum.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "archive/core/arc_type.h"
#include "archive/core/input_file.h"

namespace lumora::archive {

enum class SigMode { Start, Inside };  // offset 0 of a plain file / inside an executable

// First match of the signature table for the four bytes read as a
// little-endian value. B7 92 / B7 DF also set `archiveStart` to 7717. In
// start mode `head` (the first bytes of the file) lets 1A 01..07 count as ARC
// when the 13-byte name field after the two header bytes holds a zero byte.
TArcType ClassifySignature(std::uint32_t value, SigMode mode, std::int64_t& archiveStart,
                           const std::uint8_t* head = nullptr, std::size_t headLen = 0);

struct Detection {
    TArcType type = atNA;
    // Where the archive data begins: 1-based, except after the ZIP end-record
    // scan, which leaves the stored local-header offset (0-based).
    std::int64_t archiveStart = 0;
    // Offset of a ZIP found through the string table (0 otherwise).
    std::int64_t sfxOffset = 0;
    std::uint64_t archiveSize = 0;
    std::uint32_t archiveDate = 0;  // packed DOS date/time of the file
    bool closeFailed = false;
};

// `zipCmntBufSize` bounds the archive comment the end-record scan allows for.
Detection DetectArcType(const std::string& path, int zipCmntBufSize);
// The same for the file `path` already opened as `file`; it stays open.
Detection DetectArcType(const InputFile& file, const std::string& path, int zipCmntBufSize);

}  // namespace lumora::archive
