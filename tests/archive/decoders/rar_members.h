// The members of a single-volume, unencrypted RAR archive as the unpackers
// see them: packed bytes, unpacked size, unpack version, dictionary and
// solid flag, read with the archive's own header parsers.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "archive/core/field_reader.h"
#include "archive/formats/rar/rar_header.h"

namespace lumora::archive::test {

struct RarMember {
    std::string name;
    std::string packed;
    std::uint64_t unpacked = 0;
    unsigned version = 0;  // 15, 20, 26, 29, 36 or 50
    std::size_t dictionary = 0;
    bool solid = false;
    bool stored = false;
    std::uint32_t crc = 0;  // CRC-32 of the unpacked bytes
};

inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::vector<RarMember> Rar4Members(const std::string& a) {
    std::vector<RarMember> out;
    std::size_t at = kRar4Marker.size() + kRar4MainHeaderSize;
    while (at + kRar4BlockSize <= a.size()) {
        FieldReader r(std::string_view(a).substr(at, kRar4BlockSize));
        Rar4Block b;
        if (ParseRar4Block(r, b) != HeaderResult::Ok) break;
        std::uint64_t data = (b.flags & kRar4LongBlock) ? b.dataSize : 0;
        if (b.IsFile()) {
            FieldReader tr(std::string_view(a).substr(at + kRar4BlockSize, Rar4TailSize(b)));
            Rar4FileTail t;
            if (ParseRar4Tail(tr, b, t) != HeaderResult::Ok) break;
            data |= std::uint64_t{t.packedHigh} << 32;
            if ((b.flags & 0xE0) != 0xE0) {
                RarMember m{t.name,
                            a.substr(at + b.headSize, data),
                            b.unpacked,
                            b.version,
                            std::size_t{0x10000} << ((b.flags >> 5) & 7),
                            (b.flags & 0x10) != 0,
                            b.method == 0x30,
                            b.crc};
                out.push_back(m);
            }
        }
        at += b.headSize + data;
    }
    return out;
}

inline std::vector<RarMember> Rar5Members(const std::string& a) {
    std::vector<RarMember> out;
    std::size_t at = kRar5Marker.size();
    while (at < a.size()) {
        std::uint64_t bodySize = 0;
        std::size_t bodyOffset = 0;
        if (ParseRar5Size(std::string_view(a).substr(at), bodySize, bodyOffset) != HeaderResult::Ok)
            break;
        const std::size_t bodyAt = at + bodyOffset;
        Rar5Header h;
        if (ParseRar5Header(std::string_view(a).substr(bodyAt, bodySize), h) != HeaderResult::Ok)
            break;
        const std::size_t dataAt = bodyAt + bodySize;
        const std::uint64_t c = h.file.compression;
        if (h.type == 2 && !(h.file.flags & 1)) {
            out.push_back({h.file.name, a.substr(dataAt, h.dataSize), h.file.unpacked, 50,
                           std::size_t{0x20000} << ((c >> 10) & 15), (c & 0x40) != 0,
                           ((c >> 7) & 7) == 0, h.file.crc});
        }
        at = dataAt + h.dataSize;
    }
    return out;
}

inline std::vector<RarMember> RarMembers(const std::string& path) {
    const std::string a = ReadWholeFile(path);
    if (a.compare(0, kRar5Marker.size(), kRar5Marker) == 0) return Rar5Members(a);
    return Rar4Members(a);
}

}  // namespace lumora::archive::test
