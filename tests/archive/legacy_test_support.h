// Helpers of the decoder tests: a memory source and sink, bit writers in both
// orders, and a runner that catches DecodeError.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "archive/decoders/decoder_io.h"
#include "archive/decoders/memory_source.h"

namespace lumora::archive::test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes ToBytes(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

class VectorSink : public OutputSink {
public:
    void Write(const std::uint8_t* data, std::size_t n) override {
        bytes.insert(bytes.end(), data, data + n);
    }
    Bytes bytes;
};

// Least significant bit first (Deflate, Shrink, Reduce, Implode). Code()
// writes a Huffman code most significant bit first, as Deflate stores them.
class LsbBitWriter {
public:
    void Bits(std::uint32_t value, unsigned n) {
        for (unsigned i = 0; i < n; ++i) Bit((value >> i) & 1);
    }
    void Code(std::uint32_t code, unsigned len) {
        for (unsigned i = len; i-- > 0;) Bit((code >> i) & 1);
    }
    void Align() {
        while (used_ != 0) Bit(0);
    }
    void Bit(unsigned b) {
        if (used_ == 0) bytes.push_back(0);
        bytes.back() |= static_cast<std::uint8_t>(b << used_);
        used_ = (used_ + 1) & 7;
    }
    Bytes bytes;

private:
    unsigned used_ = 0;
};

// Most significant bit first, as the LZH family reads.
class MsbBitWriter {
public:
    void Bits(std::uint32_t value, unsigned n) {
        for (unsigned i = n; i-- > 0;) Bit((value >> i) & 1);
    }
    void Bit(unsigned b) {
        if (used_ == 0) bytes.push_back(0);
        bytes.back() |= static_cast<std::uint8_t>(b << (7 - used_));
        used_ = (used_ + 1) & 7;
    }
    Bytes bytes;

private:
    unsigned used_ = 0;
};

struct Outcome {
    Bytes out;
    int error = 0;  // DecodeError code, 0 when none
};

// Runs decode(source, sink) on `in` read `chunk` bytes at a time; the count
// it returns must be what reached the sink.
template <typename Decode>
Outcome RunDecoder(const Bytes& in, std::size_t chunk, Decode decode) {
    MemorySource src(in, chunk);
    VectorSink sink;
    Outcome o;
    try {
        const std::uint64_t produced = decode(src, sink);
        EXPECT_EQ(produced, sink.bytes.size());
    } catch (const DecodeError& e) {
        o.error = e.code;
    }
    o.out = std::move(sink.bytes);
    return o;
}

}  // namespace lumora::archive::test
