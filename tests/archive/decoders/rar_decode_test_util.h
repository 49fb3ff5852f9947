// Helpers of the RAR unpacker tests: a member's packed bytes pulled out of a
// single-volume, unencrypted corpus archive with the archive's own header
// parsers; a run of an unpacker over bytes in memory; MSB-first bit writing.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "archive/core/field_reader.h"
#include "archive/decoders/memory_source.h"
#include "archive/decoders/rar_unpack.h"
#include "archive/formats/rar/rar_header.h"
#include "support/corpus.h"

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

inline std::vector<RarMember> Rar4Members(std::string_view a) {
    std::vector<RarMember> out;
    std::size_t at = kRar4Marker.size() + kRar4MainHeaderSize;
    Rar4Block b;
    while (at + kRar4BlockSize <= a.size()) {
        FieldReader r(a.substr(at, kRar4BlockSize));
        if (ParseRar4Block(r, b) != HeaderResult::Ok) break;
        std::uint64_t data = (b.flags & kRar4LongBlock) ? b.dataSize : 0;
        FieldReader tr(a.substr(at + kRar4BlockSize, Rar4TailSize(b)));
        Rar4FileTail t;
        if (b.IsFile() && ParseRar4Tail(tr, b, t) == HeaderResult::Ok) {
            data |= std::uint64_t{t.packedHigh} << 32;
            if ((b.flags & 0xE0) != 0xE0)
                out.push_back({t.name, std::string(a.substr(at + b.headSize, data)), b.unpacked,
                               b.version, std::size_t{0x10000} << ((b.flags >> 5) & 7),
                               (b.flags & 0x10) != 0, b.method == 0x30, b.crc});
        }
        at += b.headSize + data;
    }
    return out;
}

inline std::vector<RarMember> Rar5Members(std::string_view a) {
    std::vector<RarMember> out;
    std::size_t at = kRar5Marker.size(), bodyAt = 0;
    std::uint64_t bodySize = 0;
    Rar5Header h;
    while (at < a.size() && ParseRar5Size(a.substr(at), bodySize, bodyAt) == HeaderResult::Ok &&
           ParseRar5Header(a.substr(at + bodyAt, bodySize), h) == HeaderResult::Ok) {
        const std::size_t dataAt = at + bodyAt + bodySize;
        const std::uint64_t c = h.file.compression;
        if (h.type == 2 && !(h.file.flags & 1))
            out.push_back({h.file.name, std::string(a.substr(dataAt, h.dataSize)), h.file.unpacked,
                           50, std::size_t{0x20000} << ((c >> 10) & 15), (c & 0x40) != 0,
                           ((c >> 7) & 7) == 0, h.file.crc});
        at = dataAt + h.dataSize;
    }
    return out;
}

inline std::vector<RarMember> RarMembers(const std::string& corpusFile) {
    std::ifstream in(lumora::test::CorpusDir() / "rar" / corpusFile, std::ios::binary);
    const std::string a{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (a.compare(0, kRar5Marker.size(), kRar5Marker) == 0) return Rar5Members(a);
    return Rar4Members(a);
}

struct RarRun {
    RarUnpackResult result;
    std::string bytes;
};

inline RarRun RunRar(RarUnpacker& u, const std::string& packed, std::uint64_t size, bool solid,
                     std::uint64_t maxOutput = 0) {
    struct Sink final : OutputSink {
        void Write(const std::uint8_t* data, std::size_t n) override {
            bytes.append(reinterpret_cast<const char*>(data), n);
        }
        std::string bytes;
    } sink;
    MemorySource in(reinterpret_cast<const std::uint8_t*>(packed.data()), packed.size(), 4096);
    const RarUnpackResult r = u.Unpack(in, &sink, {size, solid, maxOutput});
    return {r, sink.bytes};
}

inline std::uint32_t Crc32(const std::string& s) {
    return static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(s.data()), static_cast<uInt>(s.size())));
}

class BitWriter {
public:
    BitWriter& Put(std::uint32_t value, unsigned bits) {
        while (bits-- > 0) {
            if (used_ % 8 == 0) bytes_.push_back('\0');
            if ((std::uint64_t{value} >> bits) & 1)
                bytes_.back() |= static_cast<char>(0x80 >> (used_ % 8));
            ++used_;
        }
        return *this;
    }
    const std::string& Bytes() const { return bytes_; }
    unsigned Bits() const { return used_; }

private:
    std::string bytes_;
    unsigned used_ = 0;
};

}  // namespace lumora::archive::test
