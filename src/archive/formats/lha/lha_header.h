// LHA/LZH member headers of levels 0 and 1, read with every field checked
// against the bytes that really arrived and against the file's size.
#pragma once

#include <cstdint>
#include <string>

#include "archive/core/input_file.h"

namespace lumora::archive {

struct LhaHeader {
    std::string method;  // the five-character identifier, "-lh5-"
    std::uint32_t packedSize = 0;
    std::uint32_t originalSize = 0;
    std::uint32_t dosDateTime = 0;
    std::uint8_t level = 0;
    std::string name;  // as stored
    std::uint16_t crc = 0;
    std::uint64_t dataOffset = 0;  // after the extended headers
    std::uint64_t dataSize = 0;    // the packed size less the extended headers
    std::uint64_t next = 0;        // where the next header starts
};

enum class LhaHeaderRead {
    Ok,
    End,  // a header size of 0, or fewer than 22 bytes left
    Bad,  // a header that cannot be read (25108)
};

// Reads the header at `pos`. Level-1 headers have their whole chain of
// extended headers walked to find the data. A header is bad when its size
// is below 22, its level is 2 or more, its name or extended headers do not
// fit, or its data reaches past the end of the file.
LhaHeaderRead ReadLhaHeader(const InputFile& file, std::uint64_t pos, LhaHeader& h);

}  // namespace lumora::archive
