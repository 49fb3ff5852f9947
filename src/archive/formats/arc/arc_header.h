// ARC member headers: the search for the 0x1A marker over a few junk bytes,
// the short header of method 1 and the full header of the other methods.
#pragma once

#include <cstdint>
#include <string>

#include "archive/core/input_file.h"

namespace lumora::archive {

struct ArcHeader {
    int method = 0;    // a method-1 member reads as method 2
    std::string name;  // as stored, at most 12 bytes
    std::uint32_t packed = 0;
    std::uint32_t original = 0;
    std::uint16_t date = 0;
    std::uint16_t time = 0;
    std::uint16_t crc = 0;  // CRC-16 of the original data
    std::uint64_t dataStart = 0;

    std::uint32_t DosDateTime() const { return std::uint32_t{date} << 16 | time; }
};

enum class ArcHeaderStatus {
    kHeader,
    kEnd,      // the end marker (method 0) or the end of the file
    kDamaged,  // no marker within 11 bytes, or a header cut short
};

// Reads the header at `pos`, passing over up to ten bytes before its marker.
ArcHeaderStatus ReadArcHeader(const InputFile& in, std::uint64_t pos, ArcHeader& h);

}  // namespace lumora::archive
