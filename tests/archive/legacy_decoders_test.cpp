// The Shrink, Reduce and Implode decoders on hand-made streams: valid
// streams (partial clearing, every Reduce factor, every Implode variant),
// every error code, the size limit, and random streams that must end
// cleanly within their bounds.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <set>

#include "archive/decoders/implode.h"
#include "archive/decoders/reduce.h"
#include "archive/decoders/shrink.h"
#include "archive/error_codes.h"
#include "legacy_test_support.h"

namespace lumora::archive {
namespace {

using test::Bytes;
using test::LsbBitWriter;

struct Outcome {
    Bytes out;
    int error = 0;  // 0: no DecodeError
};

using DecodeFn = std::function<std::uint64_t(ByteSource&, OutputSink&, std::uint64_t)>;

Outcome DecodeAll(const DecodeFn& decode, const Bytes& stream, std::uint64_t size) {
    test::MemorySource in(stream, 7);  // odd pieces cross every buffer edge
    test::VectorSink sink;
    Outcome o;
    try {
        const std::uint64_t n = decode(in, sink, size);
        EXPECT_EQ(n, sink.bytes.size());
    } catch (const DecodeError& e) {
        o.error = e.code;
    }
    o.out = std::move(sink.bytes);
    return o;
}

DecodeFn Shrink() {
    return
        [](ByteSource& in, OutputSink& out, std::uint64_t n) { return DecodeShrink(in, out, n); };
}
DecodeFn Reduce(unsigned factor) {
    return [factor](ByteSource& in, OutputSink& out, std::uint64_t n) {
        return DecodeReduce(in, out, n, factor);
    };
}
DecodeFn Implode(bool large, bool literals) {
    return [large, literals](ByteSource& in, OutputSink& out, std::uint64_t n) {
        return DecodeImplode(in, out, n, {large, literals});
    };
}

// What literals and matches produce, bytes before the start reading as 0.
class Reference {
public:
    Reference& Text(const std::string& s) {
        out.insert(out.end(), s.begin(), s.end());
        return *this;
    }
    Reference& Match(std::size_t distance, std::size_t length) {
        for (std::size_t i = 0; i < length; ++i) {
            out.push_back(out.size() >= distance ? out[out.size() - distance] : 0);
        }
        return *this;
    }
    Bytes out;
};

// ---- Shrink ----

struct CodeStream {
    const char* name;
    std::vector<std::pair<unsigned, unsigned>> codes;  // (code, width)
    std::uint64_t size;
    int error;
    std::string out;
};

class ShrinkStreams : public ::testing::TestWithParam<CodeStream> {};

TEST_P(ShrinkStreams, DecodeAsExpected) {
    const CodeStream& c = GetParam();
    LsbBitWriter w;
    for (auto [code, width] : c.codes) w.Bits(code, width);
    const Outcome o = DecodeAll(Shrink(), w.bytes, c.size);
    EXPECT_EQ(o.error, c.error);
    EXPECT_EQ(std::string(o.out.begin(), o.out.end()), c.out);
}

INSTANTIATE_TEST_SUITE_P(
    Legacy, ShrinkStreams,
    ::testing::Values(
        // 257 is not in the table yet: the previous string plus its first byte.
        CodeStream{"KwKwK", {{65, 9}, {257, 9}}, 10, 0, "AAA"},
        CodeStream{"WidthGrows", {{65, 9}, {256, 9}, {1, 9}, {66, 10}, {257, 10}}, 10, 0, "ABAB"},
        // After the clear 257 ("AB") is kept, as 259 ("ABA") extends it; 258
        // and 259 are free again and given out from the lowest.
        CodeStream{"PartialClear",
                   {{65, 9},
                    {66, 9},
                    {257, 9},
                    {259, 9},
                    {256, 9},
                    {2, 9},
                    {67, 9},
                    {257, 9},
                    {259, 9},
                    {260, 9}},
                   100,
                   0,
                   "ABABABACABCAABC"},
        CodeStream{"StopsAtSize", {{65, 9}, {66, 9}, {67, 9}}, 2, 0, "AB"},
        CodeStream{"EmptyMember", {}, 0, 0, ""},
        CodeStream{"NoFirstCode", {}, 10, ecode::BadBlock, ""},
        CodeStream{"UnknownControl", {{65, 9}, {256, 9}, {3, 9}}, 10, ecode::BadBlock, "A"},
        CodeStream{"FirstCodeNotAByte", {{257, 9}}, 10, ecode::BadCode, ""},
        CodeStream{"CodeNotInTable", {{65, 9}, {66, 9}, {300, 9}}, 10, ecode::BadCode, "AB"},
        CodeStream{"WiderThan13Bits",
                   {{65, 9},
                    {256, 9},
                    {1, 9},
                    {256, 10},
                    {1, 10},
                    {256, 11},
                    {1, 11},
                    {256, 12},
                    {1, 12},
                    {256, 13},
                    {1, 13}},
                   10,
                   ecode::BadCode,
                   "A"},
        // 257 ("AB") is a leaf when cleared and the lowest free code, so the
        // entry added next names itself as prefix: an endless string.
        CodeStream{"CycleAfterPartialClear",
                   {{65, 9}, {66, 9}, {257, 9}, {256, 9}, {2, 9}, {67, 9}, {257, 9}},
                   100,
                   ecode::StackOverflow,
                   "ABABC"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Reduce ----

TEST(ReduceDecoder, RoundTripsForEachFactor) {
    for (unsigned factor = 1; factor <= 4; ++factor) {
        SCOPED_TRACE(factor);
        const unsigned mask = 0xFFu >> factor;
        test::ReduceLayer layer(factor);
        Reference ref;
        layer.Text("Hello, Lumora! ").Match(15, 30).Literal(144).Text("x");
        ref.Text("Hello, Lumora! ").Match(15, 30).Text("\x90x");
        layer.Match(2, mask + 2).Match(1, mask + 3 + 255);  // longest lengths
        ref.Match(2, mask + 2).Match(1, mask + 3 + 255);
        const unsigned farthest = (((0xFFu >> (8 - factor)) << 8) | 0xFF) + 1;
        layer.Match(farthest, 5);  // before the start: zeros
        ref.Match(farthest, 5);

        test::ReduceTestEncoder enc;
        enc.followers['H'] = {'e'};
        enc.followers['l'] = {'l', 'o', 'u'};
        enc.followers[' '] = {'L', 'H', 'x', 144, 0,  1,  2,  3,  4,  5,  6,  7,
                              8,   9,   10,  11,  12, 13, 14, 15, 16, 17, 18, 19,
                              20,  21,  22,  23,  24, 25, 26, 27, 28, 29};
        for (unsigned i = 0; i < 63; ++i)
            enc.followers[144].push_back(static_cast<std::uint8_t>(i * 4 + 1));
        const Outcome o = DecodeAll(Reduce(factor), enc.Encode(layer.bytes), ref.out.size());
        EXPECT_EQ(o.error, 0);
        EXPECT_TRUE(o.out == ref.out);
    }
}

// Every set at its largest (63 bytes, 6-bit indices), every index used.
TEST(ReduceDecoder, FollowerSetsOf63Bytes) {
    test::ReduceTestEncoder enc;
    for (unsigned v = 0; v < 256; ++v) {
        for (unsigned i = 0; i < 63; ++i)
            enc.followers[v].push_back(static_cast<std::uint8_t>(v + i + 1));
    }
    test::ReduceLayer layer(2);
    std::uint8_t last = 0;
    std::string text;
    for (unsigned i = 0; i < 2000; ++i) {
        last = static_cast<std::uint8_t>(last + 1 + i % 63);
        if (last == 144) last = 145;
        layer.Literal(last);
        text += static_cast<char>(last);
    }
    const Outcome o = DecodeAll(Reduce(2), enc.Encode(layer.bytes), text.size());
    EXPECT_EQ(o.error, 0);
    EXPECT_EQ(std::string(o.out.begin(), o.out.end()), text);
}

TEST(ReduceDecoder, DamagedStreams) {
    auto sets = [](unsigned zeroSetCount) {
        LsbBitWriter w;
        for (int v = 255; v > 0; --v) w.Bits(0, 6);
        w.Bits(zeroSetCount, 6);
        for (unsigned i = 0; i < zeroSetCount; ++i) w.Bits('A' + i, 8);
        return w;
    };
    LsbBitWriter good = sets(3);  // 2-bit indices, only 0..2 valid
    good.Bit(0);
    good.Bits(1, 2);  // 'B', whose set is empty: a plain byte follows
    good.Bits(0, 8);
    LsbBitWriter bad = sets(3);
    bad.Bit(0);
    bad.Bits(3, 2);
    Bytes cutSets = sets(0).bytes;
    cutSets.resize(cutSets.size() / 2);

    EXPECT_EQ(DecodeAll(Reduce(1), bad.bytes, 10).error, ecode::BadBlock);
    EXPECT_EQ(DecodeAll(Reduce(1), cutSets, 10).error, ecode::BadBlock);
    EXPECT_EQ(DecodeAll(Reduce(5), bad.bytes, 10).error, ecode::BadBlock);
    const Outcome ok = DecodeAll(Reduce(1), good.bytes, 2);
    EXPECT_EQ(ok.error, 0);
    EXPECT_EQ(std::string(ok.out.begin(), ok.out.end()), std::string("B\0", 2));
}

// ---- Implode ----

struct ImplodeCase {
    bool large, literals;
};

class ImplodeRoundTrip : public ::testing::TestWithParam<ImplodeCase> {};

TEST_P(ImplodeRoundTrip, LiteralsMatchesAndLongLengths) {
    const auto [large, literals] = GetParam();
    const unsigned window = large ? 8192 : 4096;
    const unsigned minMatch = literals ? 3 : 2;
    test::ImplodeTestStream s(large, literals, test::SfTestTree(test::UnevenLengths(256)),
                              test::SfTestTree(test::UnevenLengths(64)),
                              test::SfTestTree(test::UnevenLengths(64)));
    Reference ref;
    const std::string text = "The quick brown fox \x90 jumps over the lazy dog. ";
    s.Text(text).Match(static_cast<unsigned>(text.size()), minMatch);
    ref.Text(text).Match(text.size(), minMatch);
    s.Match(7, minMatch + 62).Match(1, minMatch + 63).Match(3, minMatch + 63 + 255);
    ref.Match(7, minMatch + 62).Match(1, minMatch + 63).Match(3, minMatch + 63 + 255);
    s.Match(window, 20).Match(window - 1, 4);  // before the start: zeros
    ref.Match(window, 20).Match(window - 1, 4);
    for (unsigned i = 0; i < 256; ++i) {
        s.Literal(static_cast<std::uint8_t>(i));
        ref.out.push_back(static_cast<std::uint8_t>(i));
    }
    s.Match(300, 100);
    ref.Match(300, 100);
    const Outcome o = DecodeAll(Implode(large, literals), s.out.bytes, ref.out.size());
    EXPECT_EQ(o.error, 0);
    EXPECT_TRUE(o.out == ref.out);
    // Output ends at the stated size, in the middle of a match.
    const Outcome cut = DecodeAll(Implode(large, literals), s.out.bytes, ref.out.size() - 50);
    EXPECT_EQ(cut.error, 0);
    EXPECT_TRUE(cut.out == Bytes(ref.out.begin(), ref.out.end() - 50));
}

INSTANTIATE_TEST_SUITE_P(Legacy, ImplodeRoundTrip,
                         ::testing::Values(ImplodeCase{false, false}, ImplodeCase{false, true},
                                           ImplodeCase{true, false}, ImplodeCase{true, true}));

TEST(ImplodeDecoder, InvalidTreesAreBadBlocks) {
    auto lengths = [](std::initializer_list<std::pair<unsigned, unsigned>> runs) {
        // (count, bit length) runs of one tree description
        LsbBitWriter w;
        std::vector<std::uint8_t> bytes;
        for (auto [count, len] : runs) {
            for (unsigned left = count; left > 0;) {
                const unsigned n = std::min(left, 16u);
                bytes.push_back(static_cast<std::uint8_t>(((n - 1) << 4) | (len - 1)));
                left -= n;
            }
        }
        w.Bits(static_cast<std::uint32_t>(bytes.size() - 1), 8);
        for (auto b : bytes) w.Bits(b, 8);
        return w.bytes;
    };
    const Bytes valid = lengths({{64, 6}});
    auto twoTrees = [&](const Bytes& first) {
        Bytes b = first;
        b.insert(b.end(), valid.begin(), valid.end());
        return b;
    };
    const Bytes cases[] = {
        twoTrees(lengths({{64, 1}})),          // over-subscribed
        twoTrees(lengths({{64, 7}})),          // incomplete
        twoTrees(lengths({{80, 6}})),          // more lengths than symbols
        twoTrees(lengths({{48, 6}})),          // fewer
        twoTrees(lengths({{1, 1}, {63, 7}})),  // a short code off its boundary
        lengths({{64, 6}}),                    // the distance tree missing
        Bytes{0x03, 0xF5},                     // a description cut short
    };
    for (const Bytes& stream : cases) {
        const Outcome o = DecodeAll(Implode(false, false), stream, 100);
        EXPECT_EQ(o.error, ecode::BadBlock);
        EXPECT_TRUE(o.out.empty());
    }
    const Outcome ok = DecodeAll(Implode(false, false), twoTrees(valid), 0);
    EXPECT_EQ(ok.error, 0);
}

// ---- All three on hostile input ----

// Random bytes, and random bytes after a valid start, never make a decoder
// write past its size, hang or read out of bounds (run under the sanitizers).
TEST(LegacyDecoders, RandomStreamsEndWithinTheirBounds) {
    const std::pair<const char*, DecodeFn> decoders[] = {
        {"shrink", Shrink()},
        {"reduce1", Reduce(1)},
        {"reduce4", Reduce(4)},
        {"implode4k2", Implode(false, false)},
        {"implode8k3", Implode(true, true)},
    };
    test::ImplodeTestStream trees(true, true, test::SfTestTree(test::UnevenLengths(256)),
                                  test::SfTestTree(test::UnevenLengths(64)),
                                  test::SfTestTree(test::UnevenLengths(64)));
    const Bytes implodeStart = trees.out.bytes;
    std::mt19937 rng(4711);
    const std::set<int> allowed = {0, ecode::BadBlock, ecode::BadCode, ecode::StackOverflow};
    for (const auto& [name, decode] : decoders) {
        SCOPED_TRACE(name);
        for (int round = 0; round < 300; ++round) {
            Bytes stream = std::string(name) == "implode8k3" && round % 2 ? implodeStart : Bytes{};
            const std::size_t n = rng() % 3000;
            for (std::size_t i = 0; i < n; ++i) stream.push_back(static_cast<std::uint8_t>(rng()));
            const std::uint64_t size = rng() % 20000;
            const Outcome o = DecodeAll(decode, stream, size);
            EXPECT_LE(o.out.size(), size);
            EXPECT_TRUE(allowed.count(o.error)) << o.error;
        }
    }
}

}  // namespace
}  // namespace lumora::archive
