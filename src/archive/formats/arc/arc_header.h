// ARC member headers: the search for the 0x1A marker over a few junk bytes,
// the short header of method 1 and the full header of the other methods.
// The lister's walk and the reader both read them here.
#pragma once

#include <cstdint>
#include <string>

#include "archive/core/field_reader.h"
#include "archive/core/input_file.h"

namespace lumora::archive {

struct ArcHeader {
    std::uint8_t method = 0;  // as stored; method 1 is stored data like method 2
    std::string name;         // as stored, at most 13 bytes
    std::uint32_t packed = 0;
    std::uint32_t original = 0;  // method 1: the packed size
    std::uint16_t date = 0;
    std::uint16_t time = 0;
    std::uint16_t crc = 0;        // CRC-16 of the original data
    std::uint64_t start = 0;      // the marker byte
    std::uint64_t dataStart = 0;  // after the header; the next one follows the packed data

    std::uint32_t DosDateTime() const { return std::uint32_t{date} << 16 | time; }
};

// Reads the header at `pos`, passing over up to ten bytes before its
// marker. End at the end marker (method 0) or the end of the file; Bad when
// no marker comes within 11 bytes or the header is cut short.
HeaderResult ReadArcHeader(const InputFile& in, std::uint64_t pos, ArcHeader& h);

}  // namespace lumora::archive
