// Builds small RAR 1.5-4 archive images in memory for the tests.
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

// --- RAR 1.5-4: stored members ------------------------------------------

struct RarEntry {
    std::string name;
    std::string data = {};
    bool directory = false;
    std::string headerExtra = {};  // bytes after the name inside the header (extended times, salt)
    std::uint16_t extraFlags = 0;
    bool largeSizes = false;  // 64-bit size fields
    std::uint8_t method = 0x30;
    std::uint8_t version = 0x14;
    std::optional<std::uint32_t> unpacked = {};  // the data's size when not given
    std::optional<std::uint32_t> crc = {};       // the data's CRC when not given
};

// A block from its type byte, flags and fields; CRC and size are added here.
inline std::string RarBlock(const std::string& body) {
    std::string h = body.substr(0, 3);
    Put16(h, static_cast<std::uint32_t>(body.size() + 4));
    h += body.substr(3);
    std::string out;
    Put16(out, Crc16Low(h));
    return out + h;
}

inline std::string RarArchive(const std::vector<RarEntry>& entries, std::uint16_t mainFlags = 0,
                              std::uint16_t endFlags = 0x4000) {
    std::string out("Rar!\x1a\x07\x00", 7);
    out += RarBlock(LeFields({{0x73, 1}, {mainFlags, 2}, {0, 6}}));
    for (const RarEntry& e : entries) {
        const std::uint64_t flags =
            0x8000 | e.extraFlags | (e.directory ? 0xE0 : 0) | (e.largeSizes ? 0x100 : 0);
        // MS-DOS host; high size words when large.
        const std::uint32_t size = e.unpacked.value_or(e.data.size());
        const std::string b =
            LeFields({{0x74, 1}, {flags, 2}, {e.data.size(), 4}, {size, 4}, {0, 1}}) +
            LeFields({{e.crc.value_or(CrcOf(e.data)), 4}, {0x1F8E5A00, 4}}) +
            LeFields({{e.version, 1}, {e.method, 1}}) +
            LeFields({{e.name.size(), 2}, {e.directory ? 0x10u : 0x20u, 4}}) +
            LeFields({{0, e.largeSizes ? 8 : 0}});
        out += RarBlock(b + e.name + e.headerExtra) + e.data;
    }
    return out + RarBlock(LeFields({{0x7B, 1}, {endFlags, 2}}));
}

}  // namespace lumora::archive::test
