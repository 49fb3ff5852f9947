// ARJ header blocks: the search for the first header (behind a
// self-extractor stub, or past damaged bytes) and the reading of one header
// block with its CRC check, every field checked against what was read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "archive/core/input_file.h"

namespace lumora::archive {

inline constexpr std::uint8_t kArjGarbled = 0x01;
inline constexpr std::uint8_t kArjContinues = 0x04;  // the member goes on in the next volume
inline constexpr std::uint8_t kArjDirectory = 3;     // file type of a folder entry

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
    std::string name;              // as stored
    std::uint64_t dataOffset = 0;  // after the extended headers
    // Where the next header starts (the main header has no data).
    std::uint64_t Next(bool first) const { return dataOffset + (first ? 0 : packedSize); }
};

// Thrown by the functions below with the library's error code; the reader
// reports it.
struct ArjError {
    int code;
};

// The first position from `start` where a header block with a valid CRC
// begins. Positions are tried up to the file's size less 2, but not beyond
// 25000 (inside an executable: 25000 bytes from `start`). A candidate whose
// bytes run past the end of the file throws 25135.
std::optional<std::uint64_t> FindArjHeader(const InputFile& file, std::uint64_t start,
                                           bool inExecutable);

// Reads the header block at `pos`; nullopt for the end-of-archive header.
// Throws 25139 (first header) or 25108 for a wrong signature, 25108 for a
// size or field that does not fit, 25136 for a CRC mismatch. A member whose
// data reaches past the end of the file is a bad header too.
std::optional<ArjHeader> ReadArjHeader(const InputFile& file, std::uint64_t pos, bool first);

}  // namespace lumora::archive
