// Builds small ARJ archive images in memory for the tests.
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

// ---- ARJ: a main header, then header blocks each followed by the data ----

struct ArjEntry {
    ArjEntry(std::string n, std::string d = "") : name(std::move(n)), data(std::move(d)) {}
    std::string name;
    std::string data;         // the member's original bytes
    std::string packed;       // compressed bytes (methods 1-4); `data` when empty
    std::uint8_t method = 0;  // 0 stored
    std::uint8_t flags = 0;
    std::uint8_t fileType = 0;
    std::uint8_t version = 11;
    std::uint8_t minVersion = 1;
    std::optional<std::uint32_t> crc;
    std::optional<std::uint32_t> packedSize;
    std::string ext;  // one extended header's data, when not empty
};

// Signature, size, basic header, its CRC, extended headers.
inline std::string ArjHeader(const ArjEntry& e) {
    const std::string& packed = e.packed.empty() ? e.data : e.packed;
    std::string b{30,
                  static_cast<char>(e.version),
                  static_cast<char>(e.minVersion),
                  2,
                  static_cast<char>(e.flags),
                  static_cast<char>(e.method),
                  static_cast<char>(e.fileType),
                  0};
    b += Le(0x1F9A6000, 4);
    b += Le(e.packedSize.value_or(static_cast<std::uint32_t>(packed.size())), 4);
    b += Le(static_cast<std::uint32_t>(e.data.size()), 4) + Le(e.crc.value_or(CrcOf(e.data)), 4);
    b += std::string(6, '\0') + e.name + '\0' + '\0';
    std::string block = "\x60\xEA" + Le(static_cast<std::uint32_t>(b.size()), 2) + b;
    block += Le(CrcOf(b), 4);
    if (!e.ext.empty()) block += Le(static_cast<std::uint32_t>(e.ext.size()), 2) + e.ext + "CRC!";
    return block + Le(0, 2);
}

inline std::string ArjArchive(const std::vector<ArjEntry>& entries,
                              const std::string& name = "T.ARJ") {
    ArjEntry main{name};
    main.fileType = 2;
    std::string s = ArjHeader(main);
    for (const ArjEntry& e : entries) s += ArjHeader(e) + (e.packed.empty() ? e.data : e.packed);
    return s + std::string("\x60\xEA\0\0", 4);
}

}  // namespace lumora::archive::test
