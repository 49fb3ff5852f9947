// The packed data of the members of a RAR 1.5-4 archive (or of a volume set,
// a split member's parts joined), cut straight out of the file for the
// unpackers' tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "archive/core/field_reader.h"
#include "archive/formats/rar/rar_header.h"

namespace lumora::archive::test {

struct RarMemberData {
    std::string name;
    std::uint8_t version = 0;
    std::uint8_t method = 0;
    std::uint16_t flags = 0;
    std::uint32_t crc = 0;
    std::uint64_t unpacked = 0;
    std::vector<std::uint8_t> packed;

    bool IsDirectory() const { return (flags & 0xE0) == 0xE0; }
};

// Appends the members of one volume; a member continued from the last
// volume (flag 1) extends the last entry.
inline void AddRar4Members(std::span<const std::uint8_t> bytes, std::vector<RarMemberData>& out) {
    if (bytes.size() < 7) return;
    FieldReader marker(bytes.data(), bytes.size());
    if (marker.Text(kRar4Marker.size()) != kRar4Marker) return;
    FieldReader mainHeader(bytes.data() + 7, bytes.size() - 7);
    Rar4MainHeader main;
    if (ParseRar4MainHeader(mainHeader, main) != HeaderResult::Ok) return;
    std::size_t pos = 7 + main.size;
    while (pos < bytes.size()) {
        FieldReader r(bytes.data() + pos, bytes.size() - pos);
        Rar4Block b;
        if (ParseRar4Block(r, b) != HeaderResult::Ok) return;
        FieldReader tailFields(
            bytes.data() + pos + kRar4BlockSize,
            std::min<std::size_t>(Rar4TailSize(b), bytes.size() - pos - kRar4BlockSize));
        Rar4FileTail tail;
        if (b.IsFile() && ParseRar4Tail(tailFields, b, tail) != HeaderResult::Ok) return;
        const std::uint64_t size =
            (b.flags & kRar4LongBlock) ? (std::uint64_t{tail.packedHigh} << 32) | b.dataSize : 0;
        const std::size_t data = pos + b.headSize;
        if (data + size > bytes.size()) return;
        if (b.Listed()) {
            if (!(b.flags & 1) || out.empty()) {
                out.push_back({tail.name,
                               b.version,
                               b.method,
                               b.flags,
                               b.crc,
                               (std::uint64_t{tail.unpackedHigh} << 32) | b.unpacked,
                               {}});
            }
            out.back().crc = b.crc;  // a split member's last part holds the whole file's CRC
            out.back().packed.insert(out.back().packed.end(),
                                     bytes.begin() + static_cast<std::ptrdiff_t>(data),
                                     bytes.begin() + static_cast<std::ptrdiff_t>(data + size));
        }
        pos = data + size;
    }
}

inline std::vector<RarMemberData> Rar4Members(const std::vector<std::filesystem::path>& volumes) {
    std::vector<RarMemberData> out;
    for (const auto& v : volumes) {
        std::ifstream in(v, std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        AddRar4Members(bytes, out);
    }
    return out;
}

}  // namespace lumora::archive::test
