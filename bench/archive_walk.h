// Reading whole files into memory and finding each member's compressed data
// in LHA and ARJ archives, for the benchmarks. The walkers trust the archive
// far more than a reader may: benchmark input only.
#pragma once

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "archive/core/crc.h"
#include "archive/decoders/decoder_io.h"
#include "archive/decoders/memory_source.h"

namespace lumora::bench {

using Bytes = std::vector<std::uint8_t>;

inline Bytes ReadFileBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

using archive::MemorySource;

inline std::uint32_t Crc32Of(const std::uint8_t* p, std::size_t n) {
    archive::Crc32 crc;
    crc.Update(p, n);
    return crc.Value();
}

struct Member {
    std::string name;
    std::string method;  // "-lh5-", "arj1", "zoo2", ...
    std::size_t offset = 0;
    std::size_t packed = 0;
    std::uint64_t original = 0;
    std::uint32_t crc = 0;  // CRC-16 for LHA and ZOO, CRC-32 for ARJ
};

inline std::uint32_t Le(const Bytes& b, std::size_t at, int width) {
    std::uint32_t v = 0;
    for (int i = width; i-- > 0;) v = v << 8 | b.at(at + static_cast<std::size_t>(i));
    return v;
}

// The first position of an LHA header ("-l??-" at offset 2).
inline std::size_t FindLhaStart(const Bytes& b) {
    for (std::size_t o = 0; o + 22 <= b.size(); ++o) {
        if (b[o + 2] == '-' && b[o + 3] == 'l' && b[o + 6] == '-' && b[o] != 0) return o;
    }
    return b.size();
}

// LHA headers of levels 0, 1 and 2; the walk ends at a level-3 header.
inline std::vector<Member> WalkLha(const Bytes& b) {
    std::vector<Member> out;
    std::size_t o = FindLhaStart(b);
    while (o + 22 <= b.size() && b[o] != 0) {
        Member m;
        m.method.assign(b.begin() + static_cast<std::ptrdiff_t>(o + 2),
                        b.begin() + static_cast<std::ptrdiff_t>(o + 7));
        m.packed = Le(b, o + 7, 4);
        m.original = Le(b, o + 11, 4);
        const unsigned level = b[o + 20];
        std::size_t ext = 0;  // position of the first extended header
        std::size_t extSize = 0;
        if (level == 2) {
            m.crc = Le(b, o + 21, 2);
            extSize = Le(b, o + 24, 2);
            ext = o + 26;
            m.offset = o + Le(b, o, 2);
        } else if (level < 2 && b[o] >= 22) {
            const unsigned nameLen = b[o + 21];
            m.name.assign(b.begin() + static_cast<std::ptrdiff_t>(o + 22),
                          b.begin() + static_cast<std::ptrdiff_t>(o + 22 + nameLen));
            m.crc = Le(b, o + 22 + nameLen, 2);
            m.offset = o + b[o] + 2;
            if (level == 1) {
                extSize = Le(b, o + b[o], 2);
                ext = m.offset;
            }
        } else {
            break;
        }
        while (extSize != 0) {
            if (b.at(ext) == 1 && level == 2) m.name.assign(&b[ext + 1], &b[ext + extSize - 2]);
            const std::size_t next = Le(b, ext + extSize - 2, 2);
            ext += extSize;
            if (level == 1) {
                m.offset += extSize;
                m.packed -= extSize;
            }
            extSize = next;
        }
        if (m.offset + m.packed > b.size()) break;
        out.push_back(m);
        o = m.offset + m.packed;
    }
    return out;
}

// ARJ: the first header with a valid CRC, then the header chain.
inline std::vector<Member> WalkArj(const Bytes& b) {
    auto headerAt = [&b](std::size_t o) {
        if (o + 4 > b.size() || b[o] != 0x60 || b[o + 1] != 0xEA) return std::size_t{0};
        const std::size_t n = Le(b, o + 2, 2);
        if (n == 0 || n > 2600 || o + 8 + n > b.size()) return std::size_t{0};
        return Crc32Of(&b[o + 4], n) == Le(b, o + 4 + n, 4) ? n : std::size_t{0};
    };
    std::vector<Member> out;
    std::size_t o = 0;
    while (o < b.size() && headerAt(o) == 0) ++o;
    for (bool first = true; o + 4 <= b.size(); first = false) {
        const std::size_t n = headerAt(o);
        if (n == 0) break;
        const std::size_t h = o + 4;
        std::size_t p = h + n + 4;
        while (const std::size_t ext = Le(b, p, 2)) p += 2 + ext + 4;
        p += 2;
        if (!first) {
            Member m;
            m.name = reinterpret_cast<const char*>(&b[h + b[h]]);
            m.method = "arj" + std::to_string(b[h + 5]);
            if (b[h + 4] & 0x01) m.method += "-garbled";
            if (b[h + 6] == 3) m.method += "-dir";
            m.packed = Le(b, h + 12, 4);
            m.original = Le(b, h + 16, 4);
            m.crc = Le(b, h + 20, 4);
            m.offset = p;
            out.push_back(m);
            p += m.packed;
        }
        o = p;
    }
    return out;
}

}  // namespace lumora::bench
