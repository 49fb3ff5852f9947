// Builds small ZOO archive images in memory for the tests.
#pragma once

#include <algorithm>
#include <cstdint>
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
    // The entry (0: the first) the next pointer names instead of the one
    // that follows: chains that go back or loop.
    std::optional<std::size_t> nextEntry;
};

// A member whose next pointer names entry `to`.
inline ZooMember ZooLinked(std::string name, std::string data, std::size_t to) {
    ZooMember m(std::move(name), std::move(data));
    m.nextEntry = to;
    return m;
}

// The archive header, each member's 51-byte entry followed by its data, and
// the end entry. `entries` receives the positions of the entries, the end
// entry last.
inline std::string ZooArchive(const std::vector<ZooMember>& members,
                              std::vector<std::size_t>* entries = nullptr) {
    constexpr std::uint32_t kTag = 0xFDC4A7DC;
    constexpr std::size_t kEntry = 51;
    std::vector<std::size_t> at = {34};
    for (const ZooMember& m : members) at.push_back(at.back() + kEntry + m.data.size());
    if (entries) *entries = at;

    std::string s = "ZOO 2.10 Archive.\x1A" + std::string(16, '\0');
    PutLe(s, 20, kTag, 4);
    PutLe(s, 24, 34, 4);
    PutLe(s, 28, static_cast<std::uint32_t>(-34), 4);
    PutLe(s, 32, 0x102, 2);  // version needed
    for (std::size_t i = 0; i <= members.size(); ++i) {
        std::string e(kEntry, '\0');
        PutLe(e, 0, kTag, 4);
        if (i < members.size()) {
            const ZooMember& m = members[i];
            const auto size = static_cast<std::uint32_t>(m.data.size());
            e[4] = 1;  // entry type
            e[5] = static_cast<char>(m.method);
            PutLe(e, 6, static_cast<std::uint32_t>(at[m.nextEntry.value_or(i + 1)]), 4);
            PutLe(e, 10, static_cast<std::uint32_t>(at[i] + kEntry), 4);
            PutLe(e, 14, 0x1F9A, 2);  // 1995-12-26
            PutLe(e, 18, m.crc.value_or(Crc16Of(m.data)), 2);
            PutLe(e, 20, size, 4);
            PutLe(e, 24, size, 4);
            e[30] = m.deleted ? 1 : 0;
            e.replace(38, std::min<std::size_t>(m.name.size(), 13), m.name.substr(0, 13));
            e += m.data;
        }
        s += e;
    }
    return s;
}

}  // namespace lumora::archive::test
