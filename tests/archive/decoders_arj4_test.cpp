// ARJ method 4 on hand-built streams: every code width, matches across the
// 26624-byte window wrap, and the stop at the original size.
#include <gtest/gtest.h>

#include <random>

#include "archive/decoders/arj_method4.h"
#include "archive/lzh_test_support.h"

namespace lumora::archive::test {
namespace {

// Writes method-4 codes and keeps the bytes they stand for.
class Method4Stream : public MsbBitWriter {
public:
    void Literal(std::uint8_t c) {
        Bit(0);
        Bits(c, 8);
        plain.push_back(c);
    }
    void Match(unsigned len, std::size_t dist) {
        Prefixed(len - 2, 0, 7);
        Prefixed(static_cast<std::uint32_t>(dist), 9, 13);
        for (unsigned i = 0; i < len; ++i) plain.push_back(plain[plain.size() - dist - 1]);
    }
    Bytes plain;

private:
    // Ones for each power of two taken, a 0 unless the widest, the rest plain.
    void Prefixed(std::uint32_t value, unsigned width, unsigned maxWidth) {
        std::uint32_t step = 1u << width;
        while (width < maxWidth && value >= step) {
            Bit(1);
            value -= step;
            step <<= 1;
            ++width;
        }
        if (width < maxWidth) Bit(0);
        Bits(value, width);
    }
};

Bytes Decode(const Bytes& in, std::uint64_t size, std::size_t chunk = SIZE_MAX) {
    MemorySource src(in, chunk);
    VectorSink sink;
    const std::uint64_t produced = DecodeArjMethod4(src, sink, size);
    EXPECT_EQ(produced, sink.bytes.size());
    return sink.bytes;
}

TEST(ArjMethod4, EveryLengthAndDistanceWidth) {
    Method4Stream s;
    for (int i = 0; i < 200; ++i) s.Literal(static_cast<std::uint8_t>(i * 7));
    for (unsigned len : {3u, 4u, 5u, 6u, 9u, 10u, 17u, 18u, 33u, 66u, 129u, 130u, 256u})
        s.Match(len, len % 200);
    for (int i = 0; i < 16000; ++i) s.Literal(static_cast<std::uint8_t>(i));
    for (std::size_t dist : {0u, 511u, 512u, 1535u, 1536u, 3583u, 3584u, 7679u, 7680u, 15871u})
        s.Match(3, dist);
    EXPECT_EQ(Decode(s.bytes, s.plain.size()), s.plain);
    EXPECT_EQ(Decode(s.bytes, s.plain.size(), 3), s.plain);
}

TEST(ArjMethod4, MatchesAcrossTheWindowWrap) {
    std::mt19937 rng(5);
    Method4Stream s;
    while (s.plain.size() < 26600) s.Literal(static_cast<std::uint8_t>(rng()));
    s.Match(100, 1000);  // writes across the wrap
    while (s.plain.size() < 26624 + 2000) s.Literal(static_cast<std::uint8_t>(rng()));
    s.Match(256, 2100);   // reads across the wrap
    s.Match(200, 15871);  // reads from the previous round
    EXPECT_EQ(Decode(s.bytes, s.plain.size()), s.plain);
}

TEST(ArjMethod4, StopsAtTheOriginalSize) {
    Method4Stream s;
    s.Literal('-');
    s.Match(256, 0);
    EXPECT_EQ(Decode(s.bytes, 50), Bytes(50, '-'));
    EXPECT_TRUE(Decode(s.bytes, 0).empty());
}

// Input that ends early reads as zero bits: literal zero bytes.
TEST(ArjMethod4, TruncatedInputFillsWithZeroBytes) {
    Method4Stream s;
    s.Literal('x');
    Bytes want(40, 0);
    want[0] = 'x';
    EXPECT_EQ(Decode(s.bytes, 40), want);
}

}  // namespace
}  // namespace lumora::archive::test
