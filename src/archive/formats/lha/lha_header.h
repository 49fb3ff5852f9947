// LHA/LZH member headers, the one parser of the lister's walk and the
// reader. Levels 0 and 1: 22 fixed bytes, the name and the CRC; level-1
// extended headers follow the header and count in the packed size. Levels 2
// and 3: the whole header, extended headers included, sized up front. Every
// field is read against the bytes that really arrived.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "archive/core/field_reader.h"
#include "archive/core/input_file.h"

namespace lumora::archive {

struct LhaHeader {
    std::uint8_t level = 0;
    std::string method;              // the five-character identifier, "-lh5-"
    std::uint64_t packedSize = 0;    // as stored; at level 1 with the extended headers
    std::uint64_t originalSize = 0;  // levels 2 and 3: 64 bits wide in a size extension
    std::uint32_t stamp = 0;         // DOS date and time (levels 0 and 1), Unix time (2 and 3)
    std::optional<std::uint32_t> unixTime;  // from an extended header
    std::uint16_t attribute = 0;            // DOS attributes
    std::uint16_t crc = 0;
    std::string storedName;        // the name field of a level-0 or level-1 header
    std::string name;              // the directory part and the file name, as listed
    std::uint64_t dataOffset = 0;  // after the extended headers
    std::uint64_t dataSize = 0;    // the packed size less the extended headers
    std::uint64_t next = 0;        // where the next header starts
};

// Who reads the headers. The reader refuses a member whose data reaches
// past the end of the file; the lister lists it (its walk then ends when it
// moves past the file's end).
enum class LhaHeaderUse { Extract, List };

// Reads the header at `pos`. End: fewer than 22 bytes left, or a header
// size of 0. Bad: a header size too small for its fields, a level over 3,
// extended headers that overrun the header or the packed data, more than
// 1024 of them, a level-3 header over 1 MiB, a header CRC that does not
// match (levels 2 and 3).
HeaderResult ReadLhaHeader(const InputFile& file, std::uint64_t pos, LhaHeaderUse use,
                           LhaHeader& h);

}  // namespace lumora::archive
