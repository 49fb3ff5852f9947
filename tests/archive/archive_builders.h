// Builds small ARC, ARJ, LHA, ZOO and TAR archives in memory for the reader
// tests, field by field, with hooks for damaged sizes, CRCs and headers.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "archive/core/crc.h"
#include "archive/zip_builder.h"

namespace lumora::archive::test {

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

inline void PutLe(std::string& s, std::size_t at, std::uint32_t v, int width) {
    s.replace(at, width, Le(v, width));
}

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

// ---- TAR: 512-byte headers with their checksum, data padded to blocks ----

struct TarEntry {
    std::string name;  // up to 100 bytes, written as is (zero bytes included)
    std::string data;
    char type = '0';
    std::string sizeField;  // the 12 bytes at 124 as given; empty: octal of data.size()
};

inline TarEntry TarFile(std::string name, std::string data, char type = '0') {
    return {std::move(name), std::move(data), type, ""};
}

inline std::string OctalField(unsigned long long v, int digits) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*llo", digits, v);
    return buf;
}

inline std::string TarHeaderBlock(const TarEntry& e) {
    std::string h(512, '\0');
    h.replace(0, std::min<std::size_t>(e.name.size(), 100), e.name.substr(0, 100));
    h.replace(100, 24,
              OctalField(0644, 7) + '\0' + OctalField(0, 7) + '\0' + OctalField(0, 7) + '\0');
    const std::string size =
        e.sizeField.empty() ? OctalField(e.data.size(), 11) + '\0' : e.sizeField;
    h.replace(124, 12, size.substr(0, 12));
    h.replace(136, 12, OctalField(818899200, 11) + '\0');  // 1995-12-14
    h[156] = e.type;
    h.replace(257, 8,
              std::string("ustar\0"
                          "00",
                          8));
    h.replace(148, 8, std::string(8, ' '));
    unsigned sum = 0;
    for (unsigned char c : h) sum += c;
    h.replace(148, 8, OctalField(sum, 6) + '\0' + ' ');
    return h;
}

inline std::string TarArchive(const std::vector<TarEntry>& entries) {
    std::string out;
    for (const TarEntry& e : entries) {
        out += TarHeaderBlock(e) + e.data;
        out.append((512 - e.data.size() % 512) % 512, '\0');
    }
    return out + std::string(1024, '\0');
}

}  // namespace lumora::archive::test
