// Builds small LHA archive images in memory for the tests.
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

// ---- LHA: level-0 or level-1 headers; a zero byte ends the archive ----

struct LhaEntry {
    LhaEntry(std::string n, std::string d, std::string m = "-lh0-", int l = 0,
             std::vector<std::string> e = {})
        : name(std::move(n)), data(std::move(d)), method(std::move(m)), level(l), ext(e) {}
    std::string name;
    std::string data;
    std::string method;
    int level;
    std::vector<std::string> ext;         // level-1 extended headers: type byte and data
    std::optional<std::uint32_t> packed;  // instead of the real size
    int headerSize = -1;                  // instead of the real size
};

inline std::string LhaArchive(const std::vector<LhaEntry>& entries, bool endMarker = true) {
    std::string s;
    for (const LhaEntry& e : entries) {
        std::string ext;
        for (std::size_t i = 0; i < e.ext.size(); ++i) {
            const std::size_t next = i + 1 < e.ext.size() ? e.ext[i + 1].size() + 2 : 0;
            ext += e.ext[i] + Le(static_cast<std::uint32_t>(next), 2);
        }
        const int h = static_cast<int>(e.name.size()) + (e.level == 1 ? 25 : 22);
        s += static_cast<char>(e.headerSize >= 0 ? e.headerSize : h);
        s += '\0' + e.method;
        s += Le(e.packed.value_or(static_cast<std::uint32_t>(e.data.size() + ext.size())), 4);
        s += Le(static_cast<std::uint32_t>(e.data.size()), 4) + Le(0x1F9A6000, 4);
        s += std::string{' ', static_cast<char>(e.level), static_cast<char>(e.name.size())};
        s += e.name + Le(Crc16Of(e.data), 2);
        if (e.level == 1) {
            s += "M" + Le(e.ext.empty() ? 0 : static_cast<std::uint32_t>(e.ext[0].size() + 2), 2);
        }
        s += ext + e.data;
    }
    return endMarker ? s + '\0' : s;
}

}  // namespace lumora::archive::test
