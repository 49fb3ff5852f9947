// Deflate64, the decoder's second variant, on hand-built streams: long
// matches through length code 285, distances over 32 KB through codes 30 and
// 31, what each variant reads differently, damage, truncation and the limit.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <random>
#include <string>

#include "archive/decoders/deflate_stream_builder.h"
#include "archive/decoders/inflate.h"
#include "archive/legacy_test_support.h"

namespace lumora::archive::test {
namespace {

using namespace deflate;

Decoded Decode(const Bytes& in, DeflateVariant variant, InflateOptions opt = {},
               std::size_t chunk = SIZE_MAX) {
    opt.variant = variant;
    return test::Decode(in, opt, chunk);
}

Decoded Decode64(const Bytes& in, const InflateOptions& opt = {}, std::size_t chunk = SIZE_MAX) {
    return Decode(in, DeflateVariant::kDeflate64, opt, chunk);
}

// Appends what a match of `len` bytes from `dist` back produces.
void Repeat(Bytes& out, unsigned len, unsigned dist) {
    for (unsigned i = 0; i < len; ++i) out.push_back(out[out.size() - dist]);
}

// `data` as non-final stored blocks.
void StoredBlocks(LsbBitWriter& w, const Bytes& data) {
    for (std::size_t pos = 0; pos < data.size(); pos += 65535) {
        const auto end = std::min(data.size(), pos + 65535);
        StoredBlock(w, false,
                    Bytes(data.begin() + static_cast<std::ptrdiff_t>(pos),
                          data.begin() + static_cast<std::ptrdiff_t>(end)));
    }
}

// A complete dynamic code in which length code 285 and distance codes 30
// and 31 take 15 bits: with their extra bits a match needs 60 bits.
Tables LongTables() {
    std::vector<std::uint8_t> lit(288, 9);
    const std::uint8_t tail[] = {4, 4, 5, 5, 6, 6, 6, 6, 6, 6,  6,  6,  6,  6,  6,  6,
                                 6, 6, 6, 6, 5, 6, 7, 8, 9, 10, 11, 12, 13, 15, 14, 15};
    std::copy(std::begin(tail), std::end(tail), lit.begin() + 256);
    std::vector<std::uint8_t> dist(32, 5);
    const std::uint8_t far[] = {3, 3, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 15};
    std::copy(std::begin(far), std::end(far), dist.begin() + 16);
    return {Canonical(lit), Canonical(dist)};
}

// Matches after `before` stored bytes, in a fixed block followed by a
// stored one, and in a dynamic block whose 15-bit codes make a match 60
// bits: lengths up to 65538 (code 285), distances up to 65536 (codes 30 and
// 31), matches that run past one or two window ends or whose source wraps.
TEST(Deflate64, LongMatchesAndFarDistances) {
    const Bytes prefix = RandomBytes(100000, 3);
    const std::vector<std::array<unsigned, 3>> cases = {
        // before, distance, length
        {1000, 1, 65538},    {40000, 32769, 3},     {50000, 49153, 300},
        {65536, 65536, 258}, {65535, 30000, 65538}, {100000, 50000, 65538}};
    for (const bool dynamic : {false, true}) {
        const Tables t = dynamic ? LongTables() : FixedTables();
        for (const auto& [before, dist, len] : cases) {
            SCOPED_TRACE(std::to_string(before) + " " + std::to_string(dist) + " " +
                         std::to_string(len) + (dynamic ? " dynamic" : " fixed"));
            Bytes expected(prefix.begin(), prefix.begin() + before);
            LsbBitWriter w;
            StoredBlocks(w, expected);
            if (dynamic)
                DynamicHeader(w, 288, 32, PlainItems(t));
            else
                FixedHeader(w, false);
            BlockWriter b(w, t, true);
            for (int rep = 0; rep < 2; ++rep) {
                b.Match(len, dist);
                Repeat(expected, len, dist);
            }
            b.End();
            if (!dynamic) {  // a stored block continues where the matches left off
                const Bytes tail(prefix.begin(), prefix.begin() + 40000);
                StoredBlock(w, true, tail);
                expected.insert(expected.end(), tail.begin(), tail.end());
            }
            for (std::size_t chunk : {std::size_t{1}, SIZE_MAX}) {
                const Decoded d = Decode64(w.bytes, {}, chunk);
                EXPECT_EQ(d.result.status, InflateStatus::kDone) << chunk;
                EXPECT_EQ(d.result.inputUsed, w.bytes.size()) << chunk;
                EXPECT_TRUE(d.out == expected) << chunk;
            }
        }
    }
}

// ---- Each variant's reading of the same bits ----

struct Outcome {
    InflateStatus status;
    int code;
    Bytes out;
};

// Code 285 means 258 with no extra bits in Deflate; distance codes 30 and 31
// are damage there; codes 286/287 and a distance before the first byte are
// damage in both. Each stream is read whole and byte by byte.
TEST(Deflate64, VariantDecidesWhatTheCodesMean) {
    const Bytes far = RandomBytes(50000, 5);
    auto withFar = [&far](const Bytes& tail) {
        Bytes b = far;
        b.insert(b.end(), tail.begin(), tail.end());
        return b;
    };
    // After `far` as stored data, a fixed (or dynamic) final block whose
    // matches are written the Deflate64 way.
    auto afterFar = [&far](bool dynamic, const std::function<void(BlockWriter&)>& body) {
        LsbBitWriter w;
        StoredBlocks(w, far);
        const Tables t = dynamic ? FullTables() : FixedTables();
        if (dynamic)
            DynamicHeader(w, 288, 32, PlainItems(t));
        else
            FixedHeader(w, true);
        BlockWriter b(w, t, true);
        body(b);
        b.End();
        return w.bytes;
    };
    // 'a', code 285, then sixteen zero bits, distance code 0 and the end
    // code: Deflate reads 258 bytes at distance 1 and ends on the zeros.
    LsbBitWriter both;
    FixedHeader(both, true);
    const Tables fixed = FixedTables();
    BlockWriter bw(both, fixed);
    bw.Literals("a");
    bw.Symbol(285);
    both.Bits(0, 16);
    bw.DistSymbol(0);
    bw.End();

    const Bytes farTail(far.end() - 32769, far.end() - 32766);
    const Bytes dynTail(far.end() - 49153, far.end() - 49149);
    const int kFixed = ecode::BadBlock, kDyn = ecode::IncompleteCodeSet;
    const auto done = InflateStatus::kDone, bad = InflateStatus::kDataError;
    const struct {
        const char* name;
        Bytes stream;
        Outcome deflate, deflate64;
    } cases[] = {
        {"285 with 16 extra bits",
         both.bytes,
         {done, 0, ToBytes(std::string(259, 'a'))},
         {done, 0, ToBytes("aaaa")}},
        {"fixed distance code 30",
         afterFar(false, [](BlockWriter& b) { b.Match(3, 32769); }),
         {bad, kFixed, far},
         {done, 0, withFar(farTail)}},
        {"dynamic distance code 31",
         afterFar(true, [](BlockWriter& b) { b.Match(4, 49153); }),
         {bad, kDyn, far},
         {done, 0, withFar(dynTail)}},
        {"fixed symbol 286",
         afterFar(false, [](BlockWriter& b) { b.Symbol(286); }),
         {bad, kFixed, far},
         {bad, kFixed, far}},
        {"dynamic symbol 287",
         afterFar(true, [](BlockWriter& b) { b.Symbol(287); }),
         {bad, kDyn, far},
         {bad, kDyn, far}},
        {"distance one past the output",
         afterFar(false, [](BlockWriter& b) { b.Match(3, 50001); }),
         {bad, kFixed, far},
         {bad, kFixed, far}},
    };
    for (const auto& c : cases) {
        for (std::size_t chunk : {std::size_t{1}, SIZE_MAX}) {
            SCOPED_TRACE(std::string(c.name) + (chunk == 1 ? " bytewise" : " whole"));
            for (const auto& [variant, want] :
                 {std::pair{DeflateVariant::kDeflate, &c.deflate},
                  std::pair{DeflateVariant::kDeflate64, &c.deflate64}}) {
                const Decoded d = Decode(c.stream, variant, {}, chunk);
                const bool wide = variant == DeflateVariant::kDeflate64;
                EXPECT_EQ(d.result.status, want->status) << wide;
                EXPECT_EQ(d.result.errorCode, want->code) << wide;
                EXPECT_TRUE(d.out == want->out) << wide << " " << d.out.size();
            }
        }
    }
}

// ---- Truncation and the output limit ----

// A stream cut inside a long match, a far match or the end code is
// truncation; the output is what the whole symbols before produce.
TEST(Deflate64, TruncatedStreamStopsAfterTheLastWholeSymbol) {
    LsbBitWriter w;
    Bytes expected = RandomBytes(34000, 6);
    StoredBlocks(w, expected);
    FixedHeader(w, true);
    const Tables t = FixedTables();
    BlockWriter b(w, t, true);
    std::vector<std::pair<std::size_t, std::size_t>> ends = {
        {w.bytes.size(), expected.size()}};  // stream bytes, output bytes
    for (const auto& [len, dist] :
         std::vector<std::pair<unsigned, unsigned>>{{65538, 33000}, {40000, 49153}, {5, 7}}) {
        b.Match(len, dist);
        Repeat(expected, len, dist);
        ends.emplace_back(w.bytes.size(), expected.size());
    }
    b.End();
    ends.emplace_back(w.bytes.size(), expected.size());
    for (std::size_t i = 1; i < ends.size(); ++i) {  // cut in each symbol after the stored data
        const std::size_t cut = ends[i].first - 1;
        std::size_t produced = 0;
        for (const auto& [streamEnd, outEnd] : ends)
            if (streamEnd <= cut) produced = outEnd;
        const Decoded d =
            Decode64(Bytes(w.bytes.begin(), w.bytes.begin() + static_cast<long>(cut)));
        EXPECT_EQ(d.result.status, InflateStatus::kTruncated) << cut;
        EXPECT_EQ(d.out.size(), produced) << cut;
        EXPECT_TRUE(std::equal(d.out.begin(), d.out.end(), expected.begin())) << cut;
    }
}

// Matches longer than the window, the first running past two window ends:
// whole, and cut by the limit at and around window ends and inside a match.
TEST(Deflate64, MatchesLongerThanTheWindowAndTheOutputLimit) {
    LsbBitWriter w;
    Bytes expected = RandomBytes(65535, 7);
    StoredBlocks(w, expected);
    FixedHeader(w, true);
    const Tables t = FixedTables();
    BlockWriter b(w, t, true);
    for (int rep = 0; rep < 24; ++rep) {
        b.Match(65538, 2 + rep % 5);
        Repeat(expected, 65538, 2 + rep % 5);
    }
    b.End();
    const std::uint64_t total = expected.size();
    for (std::uint64_t limit :
         {std::uint64_t{1}, std::uint64_t{65536}, std::uint64_t{131073}, total - 1, total}) {
        InflateOptions opt;
        opt.maxOutput = limit;
        const Decoded d = Decode64(w.bytes, opt);
        EXPECT_EQ(d.result.status,
                  limit < total ? InflateStatus::kOutputLimit : InflateStatus::kDone)
            << limit;
        EXPECT_TRUE(d.out == Bytes(expected.begin(), expected.begin() + static_cast<long>(limit)))
            << limit;
    }
}

}  // namespace
}  // namespace lumora::archive::test
