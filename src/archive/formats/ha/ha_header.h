// HA entries: a type byte (version and method), the sizes, CRC and time,
// then the path and the name, each up to its zero byte, a length byte and
// that many bytes of machine data, then the packed data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "archive/core/field_reader.h"

namespace lumora::archive {

// The walk's window: one byte before the type byte, then the fixed fields.
inline constexpr std::size_t kHaEntryWindow = 18;
inline constexpr std::uint8_t kHaDirectoryMethod = 14;

struct HaHeader {
    std::uint8_t version = 0;
    std::uint8_t method = 0;
    std::uint32_t packedSize = 0;
    std::uint32_t originalSize = 0;
    std::uint32_t crc = 0;
    std::uint32_t unixTime = 0;
};

// The fixed fields of the window at the reader's position; Bad when cut
// short.
HeaderResult ParseHaEntry(FieldReader& r, HaHeader& e);

// The stored path and name as one name: the path's separators (0xFF or "/")
// become "\", and a non-empty path ends in one.
std::string HaStoredName(std::string path, const std::string& name);

}  // namespace lumora::archive
