// Builds raw Deflate and Deflate64 streams bit by bit for the decoder
// tests: canonical codes, the fixed and a full dynamic code set, and writers
// for stored, fixed and dynamic blocks.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "archive/decoders/inflate.h"
#include "archive/legacy_test_support.h"

namespace lumora::archive::test::deflate {

constexpr std::array<unsigned, 29> kLenBase = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                               15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                               67, 83, 99, 115, 131, 163, 195, 227, 258};
// The last two distance codes are Deflate64's.
constexpr std::array<unsigned, 32> kDistBase = {
    1,    2,    3,    4,    5,    7,     9,     13,    17,    25,   33,
    49,   65,   97,   129,  193,  257,   385,   513,   769,   1025, 1537,
    2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577, 32769, 49153};

// A prefix code given by its lengths, with the canonical codes.
struct Code {
    std::vector<std::uint8_t> lens;
    std::vector<std::uint32_t> codes;
};

inline Code Canonical(std::vector<std::uint8_t> lens) {
    Code c{std::move(lens), {}};
    c.codes.resize(c.lens.size());
    std::uint32_t next = 0;
    for (unsigned len = 1; len <= 15; ++len, next <<= 1)
        for (std::size_t s = 0; s < c.lens.size(); ++s)
            if (c.lens[s] == len) c.codes[s] = next++;
    return c;
}

struct Tables {
    Code lit, dist;
};

inline Tables FixedTables() {
    std::vector<std::uint8_t> lit(288, 8);
    std::fill(lit.begin() + 144, lit.begin() + 256, 9);
    std::fill(lit.begin() + 256, lit.begin() + 280, 7);
    return {Canonical(lit), Canonical(std::vector<std::uint8_t>(32, 5))};
}

// A complete dynamic code that gives every symbol, reserved ones included, a
// code: literals 9 bits, symbols 256-287 6 bits, 32 distances of 5 bits.
inline Tables FullTables() {
    std::vector<std::uint8_t> lit(288, 9);
    std::fill(lit.begin() + 256, lit.end(), 6);
    return {Canonical(lit), Canonical(std::vector<std::uint8_t>(32, 5))};
}

// Writes the symbols of one block. With `deflate64`, lengths from 258 on
// take code 285 with 16 extra bits, and distances over 32768 codes 30/31.
class BlockWriter {
public:
    BlockWriter(LsbBitWriter& w, const Tables& t, bool deflate64 = false)
        : w_(w), t_(t), deflate64_(deflate64) {}
    void Symbol(unsigned sym) { w_.Code(t_.lit.codes.at(sym), t_.lit.lens.at(sym)); }
    void Literals(const std::string& s) {
        for (unsigned char ch : s) Symbol(ch);
    }
    void DistSymbol(unsigned sym) { w_.Code(t_.dist.codes.at(sym), t_.dist.lens.at(sym)); }
    void Match(unsigned len, unsigned dist) {
        if (deflate64_ && len >= 258) {
            Symbol(285);
            w_.Bits(len - 3, 16);
        } else {
            unsigned i = 28;
            while (kLenBase[i] > len) --i;
            Symbol(257 + i);
            w_.Bits(len - kLenBase[i], i < 8 || i == 28 ? 0 : (i - 4) / 4);
        }
        unsigned j = deflate64_ ? 31 : 29;
        while (kDistBase[j] > dist) --j;
        DistSymbol(j);
        w_.Bits(dist - kDistBase[j], j < 4 ? 0 : (j - 2) / 2);
    }
    void End() { Symbol(256); }

private:
    LsbBitWriter& w_;
    const Tables& t_;
    bool deflate64_;
};

inline void StoredBlock(LsbBitWriter& w, bool final, const Bytes& data,
                        bool badComplement = false) {
    w.Bits(final, 1);
    w.Bits(0, 2);
    w.Align();
    const auto len = static_cast<std::uint32_t>(data.size());
    w.Bits(len, 16);
    w.Bits((~len & 0xFFFF) ^ (badComplement ? 1 : 0), 16);
    for (std::uint8_t b : data) w.Bits(b, 8);
}

inline void FixedHeader(LsbBitWriter& w, bool final) {
    w.Bits(final, 1);
    w.Bits(1, 2);
}

// A code-length symbol and its extra bits.
struct ClItem {
    unsigned sym;
    unsigned extra = 0;
};
// Code-length code: 13 codes of 4 bits and 6 of 5 bits (complete).
inline const Code kClCode = Canonical({4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 5, 5, 5, 5, 5, 5});
constexpr std::array<unsigned, 19> kClOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                               11, 4,  12, 3, 13, 2, 14, 1, 15};

inline void DynamicHeader(LsbBitWriter& w, unsigned nlit, unsigned ndist,
                          const std::vector<ClItem>& items, const Code& cl = kClCode) {
    w.Bits(1, 1);
    w.Bits(2, 2);
    w.Bits(nlit - 257, 5);
    w.Bits(ndist - 1, 5);
    w.Bits(19 - 4, 4);
    for (unsigned sym : kClOrder) w.Bits(sym < cl.lens.size() ? cl.lens[sym] : 0, 3);
    for (const ClItem& it : items) {
        w.Code(cl.codes[it.sym], cl.lens[it.sym]);
        if (it.sym >= 16) w.Bits(it.extra, it.sym == 16 ? 2 : it.sym == 17 ? 3 : 7);
    }
}

// Every length of `t` as a plain code-length symbol.
inline std::vector<ClItem> PlainItems(const Tables& t) {
    std::vector<ClItem> items;
    for (std::uint8_t l : t.lit.lens) items.push_back({l});
    for (std::uint8_t l : t.dist.lens) items.push_back({l});
    return items;
}

// A final dynamic block coded with `t`: `body` writes its symbols.
inline Bytes DynamicBlock(const Tables& t,
                          const std::function<void(LsbBitWriter&, BlockWriter&)>& body,
                          bool deflate64 = false) {
    LsbBitWriter w;
    DynamicHeader(w, static_cast<unsigned>(t.lit.lens.size()),
                  static_cast<unsigned>(t.dist.lens.size()), PlainItems(t));
    BlockWriter b(w, t, deflate64);
    body(w, b);
    b.End();
    return w.bytes;
}

}  // namespace lumora::archive::test::deflate

namespace lumora::archive::test {

// A stream decoded into memory, fed `chunk` bytes at a time.
struct Decoded {
    InflateResult result;
    Bytes out;
};

inline Decoded Decode(const Bytes& in, const InflateOptions& opt = {},
                      std::size_t chunk = SIZE_MAX) {
    MemorySource src(in, chunk);
    VectorSink sink;
    const InflateResult r = Inflate(src, sink, opt);
    EXPECT_EQ(r.produced, sink.bytes.size());
    return {r, std::move(sink.bytes)};
}

inline Bytes RandomBytes(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto& x : b) x = static_cast<std::uint8_t>(rng());
    return b;
}

}  // namespace lumora::archive::test
