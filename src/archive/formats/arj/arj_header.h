// ARJ header blocks, read the same way by the lister's walk and the reader:
// the search for the main header (behind a self-extractor stub, or past
// damaged bytes) and the reading of one header block with its CRC check,
// every field checked against what was read.
#pragma once

#include <cstdint>
#include <string>

#include "archive/core/field_reader.h"
#include "archive/core/input_file.h"

namespace lumora::archive {

inline constexpr std::uint8_t kArjGarbled = 0x01;
inline constexpr std::uint8_t kArjContinues = 0x04;      // the member goes on in the next volume
inline constexpr std::uint8_t kArjContinued = 0x08;      // the member began in the previous volume
inline constexpr std::uint8_t kArjVolumeFollows = 0x04;  // main header: the set goes on
inline constexpr std::uint8_t kArjDirectory = 3;         // file type of a folder entry
inline constexpr std::uint8_t kArjHostUnix = 2;          // host system whose stamps are Unix times

struct ArjHeader {
    std::uint8_t version = 0;
    std::uint8_t minVersion = 0;
    std::uint8_t flags = 0;
    std::uint8_t method = 0;
    std::uint8_t fileType = 0;
    std::uint32_t dosDateTime = 0;
    std::uint32_t packedSize = 0;
    std::uint32_t originalSize = 0;
    std::uint32_t crc = 0;
    std::uint16_t fileMode = 0;    // MS-DOS attributes
    std::string name;              // as stored
    std::string comment;           // as stored
    std::uint64_t dataOffset = 0;  // after the extended headers
    // Where the next header starts (the main header has no data).
    std::uint64_t Next(bool first) const { return dataOffset + (first ? 0 : packedSize); }
};

// Finds the first position from `start` where a header block with a valid
// CRC begins. Positions are tried up to the file's size less 2, but not
// beyond 25000 (inside an executable: 25000 bytes from `start`). Bad with
// `error` 25139 when there is none, 25135 when a candidate's bytes run past
// the end of the file.
HeaderResult FindArjHeader(const InputFile& file, std::uint64_t start, bool inExecutable,
                           std::uint64_t& found, int& error);

// Reads the header block at `pos` (`first`: the main header of a volume);
// End at the end-of-archive header. Bad with `error` 25139 (first header) or
// 25108 for a wrong signature, 25108 for a size, name position or extended
// header that does not fit, 25136 for a CRC mismatch. The name and the
// comment end at their zero byte or at the end of the basic header.
HeaderResult ReadArjHeader(const InputFile& file, std::uint64_t pos, bool first, ArjHeader& header,
                           int& error);

// Whether `path` names a later volume of a set, by its extension as
// NextVolumeName gives it: A01 .. A99 (any case) or 100 .. 999.
bool IsLaterArjVolume(const std::string& path);

}  // namespace lumora::archive
