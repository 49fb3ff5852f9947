// Builds small ZOO archive images in memory for the tests.
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

// ---- ZOO: the archive header, then a chain of entries; an empty entry ends it ----

struct ZooMember {
    ZooMember(std::string n, std::string d, std::uint8_t m = 0, bool del = false,
              std::optional<std::uint16_t> c = std::nullopt)
        : name(std::move(n)), data(std::move(d)), method(m), deleted(del), crc(c) {}
    std::string name;
    std::string data;
    std::uint8_t method;  // 0 stored
    bool deleted;
    std::optional<std::uint16_t> crc;  // instead of the real one
};

// `entries` receives the positions of the entries, the end entry last.
inline std::string ZooArchive(const std::vector<ZooMember>& members,
                              std::vector<std::size_t>* entries = nullptr) {
    std::string s = "ZOO 2.10 Archive.\x1A" + std::string(16, '\0');
    PutLe(s, 20, 0xFDC4A7DC, 4);
    PutLe(s, 24, 34, 4);
    PutLe(s, 28, static_cast<std::uint32_t>(-34), 4);
    for (std::size_t i = 0; i <= members.size(); ++i) {
        const std::size_t pos = s.size();
        if (entries) entries->push_back(pos);
        std::string e(51, '\0');
        PutLe(e, 0, 0xFDC4A7DC, 4);
        if (i < members.size()) {
            const ZooMember& m = members[i];
            const auto size = static_cast<std::uint32_t>(m.data.size());
            e[5] = static_cast<char>(m.method);
            PutLe(e, 6, static_cast<std::uint32_t>(pos + 51) + size, 4);
            PutLe(e, 10, static_cast<std::uint32_t>(pos + 51), 4);
            PutLe(e, 14, 0x1F9A, 2);  // 1995-12-26
            PutLe(e, 18, m.crc.value_or(Crc16Of(m.data)), 2);
            PutLe(e, 20, size, 4);
            PutLe(e, 24, size, 4);
            e[30] = m.deleted ? 1 : 0;
            e.replace(38, m.name.size(), m.name);
            e += m.data;
        }
        s += e;
    }
    return s;
}

// --- ZOO ----------------------------------------------------------------

struct ZooEntry {
    std::string name;
    std::uint32_t next;  // position of the next entry (0 ends the chain)
};

// Entries at 34, 34 + 64, ...; each 64 bytes (51 used) so windows fit.
inline std::string ZooChain(const std::vector<ZooEntry>& entries) {
    std::string out = "ZOO 2.10 Archive.\x1a";
    out.resize(20, '\0');
    out += LeFields({{0xFDC4A7DC, 4}, {34, 4}, {static_cast<std::uint32_t>(-34), 4}, {0x102, 2}});
    for (const ZooEntry& e : entries) {
        // Type 1, stored, next, data offset, date, time, CRC, sizes 10.
        std::string d =
            LeFields({{0xFDC4A7DC, 4}, {1, 1}, {0, 1}, {e.next, 4}, {0, 4}, {0x1F8E, 2}}) +
            LeFields({{0x5A00, 2}, {0, 2}, {10, 4}, {10, 4}, {0, 10}}) + e.name.substr(0, 13);
        d.resize(64, '\0');
        out += d;
    }
    return out + std::string(64, '\0');
}

inline std::uint32_t ZooEntryAt(std::size_t index) {
    return static_cast<std::uint32_t>(34 + 64 * index);
}

}  // namespace lumora::archive::test
