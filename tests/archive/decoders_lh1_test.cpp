// The -lh1- decoder: matches into the blank start of the window, and long
// hostile input through many rebuilds of the adaptive tree.
#include <gtest/gtest.h>

#include <random>

#include "archive/decoders/lh1.h"
#include "archive/lzh_test_support.h"

namespace lumora::archive::test {
namespace {

constexpr unsigned kSymbols = 314;
constexpr unsigned kRoot = 2 * kSymbols - 2;

// The code of a symbol in the starting tree, where the leaves stand in symbol
// order and each inner node joins the next two nodes of the list.
void WriteStartCode(MsbBitWriter& w, unsigned sym) {
    std::vector<unsigned> bits;
    for (unsigned node = sym; node != kRoot; node = kSymbols + node / 2) bits.push_back(node & 1);
    for (auto it = bits.rbegin(); it != bits.rend(); ++it) w.Bit(*it);
}

Bytes Decode(const Bytes& in, std::uint64_t size, std::size_t chunk = SIZE_MAX) {
    MemorySource src(in, chunk);
    VectorSink sink;
    const std::uint64_t produced = DecodeLh1(src, sink, size);
    EXPECT_EQ(produced, size);
    EXPECT_EQ(sink.bytes.size(), size);
    return sink.bytes;
}

// The first symbol is a 60-byte match: its source lies in the 4036 blank
// bytes before the start, or in the zero-filled rest of the window.
TEST(Lh1, FirstMatchReadsTheBlankStartOfTheWindow) {
    struct Case {
        std::uint32_t prefix;  // code of the upper six distance bits
        unsigned prefixLen;
        unsigned low;  // the lower six bits
        std::uint8_t expected;
    };
    const Case cases[] = {
        {0b000, 3, 10, ' '},        // distance 10
        {0b11111110, 8, 32, ' '},   // upper bits 62: distance 4000
        {0b11111111, 8, 63, 0x00},  // distance 4095: the byte being written
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.low);
        MsbBitWriter w;
        WriteStartCode(w, 256 + 60 - 3);
        w.Bits(c.prefix, c.prefixLen);
        w.Bits(c.low, 6);
        EXPECT_EQ(Decode(w.bytes, 60), Bytes(60, c.expected));
    }
}

TEST(Lh1, ZeroOriginalSizeReadsNothing) {
    const Bytes junk(4, 0xA5);
    MemorySource src(junk);
    VectorSink sink;
    EXPECT_EQ(DecodeLh1(src, sink, 0), 0u);
    EXPECT_EQ(src.Position(), 0u);
}

// Every input is valid -lh1- data. Two megabytes from random bits rebuild the
// tree many times (each 32454 symbols); read chunking must not matter, and
// input that ends early goes on as zero bits up to the original size.
TEST(Lh1, LongRandomInputDecodesToTheOriginalSize) {
    std::mt19937 rng(3);
    Bytes in(600000);
    for (auto& b : in) b = static_cast<std::uint8_t>(rng());
    const Bytes whole = Decode(in, 2000000);
    EXPECT_EQ(Decode(in, 2000000, 1), whole);
    EXPECT_EQ(Decode(Bytes(in.begin(), in.begin() + 1000), 50000).size(), 50000u);
}

}  // namespace
}  // namespace lumora::archive::test
