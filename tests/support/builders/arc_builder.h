// Builds small ARC archive images in memory for the tests.
#pragma once

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>
#include "support/builders/le_fields.h"

namespace lumora::archive::test {

// ---- ARC: 1A, method, 13-byte name, sizes, date, CRC-16; 1A 00 ends ----

struct ArcEntry {
    std::string name;
    int method = 2;
    std::string data;                 // the original bytes
    std::optional<std::string> body;  // the stored bytes when they differ from `data`
    std::optional<std::uint16_t> crc;
    std::string junk;                         // bytes before the header
    std::optional<std::uint32_t> packedSize;  // instead of the real one
};

inline ArcEntry Stored(std::string name, std::string data) {
    return {std::move(name), 2, std::move(data), std::nullopt, std::nullopt, "", std::nullopt};
}

inline ArcEntry Coded(std::string name, int method, std::string body, std::string data) {
    return {std::move(name), method, std::move(data), std::move(body),
            std::nullopt,    "",     std::nullopt};
}

inline std::string ArcArchive(const std::vector<ArcEntry>& members, bool endMarker = true) {
    std::string a;
    for (const ArcEntry& m : members) {
        const std::string body = m.body.value_or(m.data);
        std::string name = m.name.substr(0, 13);
        name.resize(13, '\0');
        a += m.junk + '\x1A' + static_cast<char>(m.method) + name;
        a += Le(m.packedSize.value_or(static_cast<std::uint32_t>(body.size())), 4);
        a += Le(0x5A001F8E, 4);
        a += Le(m.crc.value_or(Crc16Of(m.data)), 2);
        if (m.method != 1) a += Le(static_cast<std::uint32_t>(m.data.size()), 4);
        a += body;
    }
    return endMarker ? a + std::string("\x1A\x00", 2) : a;
}

}  // namespace lumora::archive::test
