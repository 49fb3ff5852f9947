// BH member headers: 37 fixed bytes, then the name.
#pragma once

#include <cstddef>
#include <cstdint>

#include "archive/core/field_reader.h"

namespace lumora::archive {

inline constexpr std::size_t kBhHeaderSize = 37;

struct BhHeader {
    std::uint8_t versionMadeBy = 0;
    std::uint8_t versionNeeded = 0;
    bool encrypted = false;
    std::uint8_t method = 0;
    std::uint32_t dosDateTime = 0;
    std::uint32_t packedSize = 0;
    std::uint32_t originalSize = 0;
    std::uint32_t crc = 0;
    std::uint16_t attributes = 0;
    std::uint16_t nameLength = 0;  // the name follows the fixed bytes
};

// The fixed bytes at the reader's position. End where no header is (a wrong
// signature or a zero header size); Bad when cut short.
HeaderResult ParseBhHeader(FieldReader& r, BhHeader& h);

}  // namespace lumora::archive
