// Runs a RAR unpacker over bytes in memory and collects what it writes.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>

#include "archive/decoders/memory_source.h"
#include "archive/decoders/rar_members.h"
#include "archive/decoders/rar_unpack.h"
#include "support/corpus.h"

namespace lumora::archive::test {

class StringSink final : public OutputSink {
public:
    void Write(const std::uint8_t* data, std::size_t n) override {
        bytes.append(reinterpret_cast<const char*>(data), n);
        ++writes;
    }
    std::string bytes;
    std::size_t writes = 0;
};

struct RarRun {
    RarUnpackResult result;
    std::string bytes;
    std::size_t writes = 0;
};

inline RarRun RunRar(RarUnpacker& u, const std::string& packed, std::uint64_t size, bool solid,
                     std::uint64_t maxOutput = 0) {
    MemorySource in(reinterpret_cast<const std::uint8_t*>(packed.data()), packed.size(), 4096);
    StringSink sink;
    RarUnpackRequest request;
    request.unpackedSize = size;
    request.solid = solid;
    request.maxOutput = maxOutput;
    const RarUnpackResult r = u.Unpack(in, &sink, request);
    return {r, sink.bytes, sink.writes};
}

// MSB-first bits, as the unpackers read them.
class BitWriter {
public:
    BitWriter& Put(std::uint32_t value, unsigned bits) {
        while (bits-- > 0) {
            if (used_ % 8 == 0) bytes_.push_back('\0');
            if ((value >> bits) & 1)
                bytes_.back() = static_cast<char>(bytes_.back() | (0x80 >> (used_ % 8)));
            ++used_;
        }
        return *this;
    }
    BitWriter& Repeat(std::uint32_t value, unsigned bits, unsigned times) {
        while (times-- > 0) Put(value, bits);
        return *this;
    }
    const std::string& Bytes() const { return bytes_; }
    unsigned Bits() const { return used_; }

private:
    std::string bytes_;
    unsigned used_ = 0;
};

inline std::uint32_t Crc32(const std::string& s) {
    return static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(s.data()), static_cast<uInt>(s.size())));
}

}  // namespace lumora::archive::test
