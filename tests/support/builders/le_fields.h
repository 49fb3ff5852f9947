// Little-endian fields and checksums for building archive images by hand.
#pragma once

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "archive/core/crc.h"

namespace lumora::archive::test {

inline void Put16(std::string& s, std::uint32_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}
inline void Put32(std::string& s, std::uint32_t v) {
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}

inline std::uint32_t CrcOf(const std::string& data) {
    Crc32 c;
    c.Update(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
    return c.Value();
}

inline std::string Le(std::uint32_t v, int width) {
    std::string s;
    for (int i = 0; i < width; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

inline std::uint16_t Crc16Of(const std::string& s) {
    Crc16 crc(0);
    crc.Update(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
    return crc.Value();
}

inline void PutLe(std::string& s, std::size_t at, std::uint32_t v, int width) {
    s.replace(at, width, Le(v, width));
}

// Little-endian fields, each a value and its width in bytes.
inline std::string LeFields(std::initializer_list<std::pair<std::uint64_t, int>> fields) {
    std::string out;
    for (const auto& [value, width] : fields) {
        for (int i = 0; i < width; ++i) out += static_cast<char>(i < 8 ? value >> (8 * i) : 0);
    }
    return out;
}

inline std::uint16_t Crc16Low(const std::string& bytes) {
    return static_cast<std::uint16_t>(CrcOf(bytes) & 0xFFFF);
}

}  // namespace lumora::archive::test
