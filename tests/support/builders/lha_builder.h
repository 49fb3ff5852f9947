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

// ---- LHA: headers of levels 0 to 3; a zero byte ends the archive ----

struct LhaEntry {
    LhaEntry(std::string n, std::string d, std::string m = "-lh0-", int l = 0,
             std::vector<std::string> e = {})
        : name(std::move(n)), data(std::move(d)), method(std::move(m)), level(l), ext(e) {}
    std::string name;
    std::string data;
    std::string method;
    int level;
    std::vector<std::string> ext;         // extended headers: type byte and data
    std::optional<std::uint32_t> packed;  // instead of the real size
    std::optional<std::string> raw;       // compressed bytes written instead of `data`
    int headerSize = -1;                  // levels 0 and 1: instead of the real size
    std::string pad;  // levels 0 and 1: more header bytes, before a level-1 header's last field
    bool headerCrc = false;  // levels 2 and 3: a header-CRC extended header first
    const std::string& Stored() const { return raw ? *raw : data; }
};

// Extended headers chained by sizes `width` bytes wide, each ending with the
// size of the next; `first` gets the size of the first.
inline std::string LhaExtChain(const std::vector<std::string>& ext, int width,
                               std::uint32_t& first) {
    std::string s;
    first = ext.empty() ? 0 : static_cast<std::uint32_t>(ext[0].size() + width);
    for (std::size_t i = 0; i < ext.size(); ++i) {
        const std::size_t next = i + 1 < ext.size() ? ext[i + 1].size() + width : 0;
        s += ext[i] + Le(static_cast<std::uint32_t>(next), width);
    }
    return s;
}

// Levels 0 and 1: the name in the header, level-1 extended headers after it.
inline std::string LhaOldMember(const LhaEntry& e) {
    std::uint32_t first = 0;
    const std::string ext = e.level == 1 ? LhaExtChain(e.ext, 2, first) : "";
    const int h = static_cast<int>(e.name.size() + e.pad.size()) + (e.level == 1 ? 25 : 22);
    std::string s(1, static_cast<char>(e.headerSize >= 0 ? e.headerSize : h));
    s += '\0' + e.method;
    s += Le(e.packed.value_or(static_cast<std::uint32_t>(e.Stored().size() + ext.size())), 4);
    s += Le(static_cast<std::uint32_t>(e.data.size()), 4) + Le(0x1F9A6000, 4);
    s += std::string{' ', static_cast<char>(e.level), static_cast<char>(e.name.size())};
    s += e.name + Le(Crc16Of(e.data), 2);
    if (e.level == 1) s += "M" + e.pad + Le(first, 2);
    if (e.level == 0) s += e.pad;
    return s + ext + e.Stored();
}

// Levels 2 and 3: the name in an extended header inside the header, which
// is sized up front (level 3: by a 4-byte field after a word size of 4).
inline std::string LhaNewMember(const LhaEntry& e) {
    const int width = e.level == 2 ? 2 : 4;
    std::vector<std::string> ext = {"\x01" + e.name};
    if (e.headerCrc) ext.insert(ext.begin(), std::string(3, '\0'));
    ext.insert(ext.end(), e.ext.begin(), e.ext.end());
    std::uint32_t first = 0;
    const std::string chain = LhaExtChain(ext, width, first);
    const auto total = static_cast<std::uint32_t>((width == 2 ? 26 : 32) + chain.size());
    std::string s = Le(width == 2 ? total : 4, 2) + e.method;
    s += Le(e.packed.value_or(static_cast<std::uint32_t>(e.Stored().size())), 4);
    s += Le(static_cast<std::uint32_t>(e.data.size()), 4) + Le(820000000, 4);
    s += std::string{' ', static_cast<char>(e.level)} + Le(Crc16Of(e.data), 2) + "U";
    if (width == 4) s += Le(total, 4);
    s += Le(first, width) + chain;
    // The CRC of the whole header, taken with its own field zero.
    if (e.headerCrc) PutLe(s, (width == 2 ? 26 : 32) + 1, Crc16Of(s), 2);
    return s + e.Stored();
}

inline std::string LhaArchive(const std::vector<LhaEntry>& entries, bool endMarker = true) {
    std::string s;
    for (const LhaEntry& e : entries) s += e.level < 2 ? LhaOldMember(e) : LhaNewMember(e);
    return endMarker ? s + '\0' : s;
}

}  // namespace lumora::archive::test
