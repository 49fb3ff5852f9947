// Deflate decoder: hand-built streams for every block kind and each fault,
// round trips against zlib, and streams that reach into a preset history.
#include "archive/decoders/inflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <functional>
#include <random>
#include <span>
#include <string>

#include "archive/decoders/deflate_stream_builder.h"
#include "archive/legacy_test_support.h"

namespace lumora::archive::test {
namespace {

using namespace deflate;

// Word soup with long repeats, runs and random stretches.
Bytes MixedData(std::size_t n, unsigned seed) {
    static const char* const kWords[] = {"archive ", "Liste ", "file ", "BBS ",    "\r\n",
                                         "Datei ",   "zip ",   "1995 ", "upload ", "the "};
    std::mt19937 rng(seed);
    Bytes b;
    while (b.size() < n) {
        const unsigned pick = rng() % 100;
        if (pick < 85) {
            const std::string w = kWords[rng() % 10];
            b.insert(b.end(), w.begin(), w.end());
        } else if (pick < 95) {
            const Bytes r = RandomBytes(rng() % 300, rng());
            b.insert(b.end(), r.begin(), r.end());
        } else {
            b.insert(b.end(), rng() % 2000, static_cast<std::uint8_t>(rng()));
        }
    }
    b.resize(n);
    return b;
}

// Raw Deflate by zlib; each piece ends with `flush` (several blocks) and may
// switch level (0 gives stored blocks). `dict` presets the window.
struct Piece {
    std::size_t size;
    int level;
    int flush;
    int strategy = Z_DEFAULT_STRATEGY;
};
Bytes ZlibDeflate(const Bytes& data, const std::vector<Piece>& pieces, const Bytes& dict = {}) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, pieces.front().level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
    if (!dict.empty()) deflateSetDictionary(&z, dict.data(), static_cast<uInt>(dict.size()));
    Bytes out(deflateBound(&z, data.size()) + 64 * pieces.size() + 1024);
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    std::size_t pos = 0;
    for (const Piece& p : pieces) {
        EXPECT_EQ(deflateParams(&z, p.level, p.strategy), Z_OK);
        z.next_in = const_cast<Bytef*>(data.data() + pos);
        z.avail_in = static_cast<uInt>(std::min(p.size, data.size() - pos));
        pos += z.avail_in;
        const int flush = pos == data.size() ? Z_FINISH : p.flush;
        EXPECT_EQ(::deflate(&z, flush), flush == Z_FINISH ? Z_STREAM_END : Z_OK);
    }
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}
Bytes ZlibDeflate(const Bytes& data, int level) {
    return ZlibDeflate(data, {{data.size(), level, Z_FINISH}});
}

// ---- Valid streams ----

// Block kinds after one another, an overlapping match, a dynamic code with
// the reserved symbols coded, and bytes after the stream left unread.
TEST(Inflate, StoredFixedAndDynamicBlocksInOneStream) {
    LsbBitWriter w;
    StoredBlock(w, false, ToBytes("stored;"));
    FixedHeader(w, false);
    const Tables fixed = FixedTables();
    BlockWriter fb(w, fixed);
    fb.Literals("abc");
    fb.Match(10, 3);
    fb.End();
    const Tables full = FullTables();
    DynamicHeader(w, 288, 32, PlainItems(full));
    BlockWriter db(w, full);
    db.Literals("-x");
    db.Match(258, 1);
    db.End();
    w.Bits(0xABCD, 16);

    const Decoded d = Decode(w.bytes);
    EXPECT_EQ(d.result.status, InflateStatus::kDone);
    EXPECT_TRUE(d.result.finalBlockSeen);
    EXPECT_EQ(d.out, ToBytes("stored;abcabcabcabca-" + std::string(259, 'x')));
    EXPECT_EQ(d.result.inputUsed, w.bytes.size() - 2);
}

// The two incomplete distance codes the format allows: a single one-bit
// code, and none at all.
TEST(Inflate, SparseDistanceCodesAreAccepted) {
    for (const std::vector<std::uint8_t>& distLens :
         {std::vector<std::uint8_t>{0, 1}, std::vector<std::uint8_t>{0}}) {
        Tables t = FullTables();
        t.dist = Canonical(distLens);
        const bool one = distLens.back() == 1;
        const Decoded d = Decode(DynamicBlock(t, [one](LsbBitWriter&, BlockWriter& b) {
            b.Literals("ab");
            if (one) b.Match(4, 2);
        }));
        EXPECT_EQ(d.result.status, InflateStatus::kDone);
        EXPECT_EQ(d.out, ToBytes(one ? "ababab" : "ab"));
    }
}

// Matches whose source or destination crosses the 32 KB window's end:
// (bytes before, distance, length), each match repeated three times.
TEST(Inflate, MatchesAcrossTheWindowBoundary) {
    const Bytes prefix = RandomBytes(270000, 1);
    // Then matches where the output is handed on (every 256 KiB) and short
    // periods that are copied in whole words.
    const std::vector<std::array<unsigned, 3>> cases = {
        {32768, 32768, 258}, {32868, 32768, 258}, {40000, 32768, 258},  {40000, 32767, 100},
        {32778, 20, 258},    {32770, 5, 258},     {65536, 32768, 3},    {32700, 1, 258},
        {32765, 9, 40},      {65530, 30000, 258}, {262144, 32768, 258}, {262100, 32768, 258},
        {262140, 3, 258},    {262143, 16, 33},    {100, 2, 11},         {100, 6, 9},
        {100, 7, 258},       {100, 15, 20}};
    for (const auto& [before, dist, len] : cases) {
        SCOPED_TRACE(std::to_string(before) + " " + std::to_string(dist));
        Bytes expected(prefix.begin(), prefix.begin() + before);
        LsbBitWriter w;
        for (std::size_t pos = 0; pos < before; pos += 65535)
            StoredBlock(w, false,
                        Bytes(expected.begin() + static_cast<std::ptrdiff_t>(pos),
                              expected.begin() + static_cast<std::ptrdiff_t>(
                                                     std::min<std::size_t>(before, pos + 65535))));
        FixedHeader(w, true);
        const Tables fixed = FixedTables();
        BlockWriter b(w, fixed);
        for (int rep = 0; rep < 3; ++rep) {
            b.Match(len, dist);
            for (unsigned i = 0; i < len; ++i) expected.push_back(expected[expected.size() - dist]);
        }
        b.End();
        const Decoded d = Decode(w.bytes);
        EXPECT_EQ(d.result.status, InflateStatus::kDone);
        EXPECT_TRUE(d.out == expected);
    }
}

// Megabytes at each level, then a stream of many blocks (stored ones among
// them) read in pieces down to single bytes; with the decoding loop built
// for this CPU and with the one for any CPU. Literals of the Huffman-only
// block decode in pairs, those of the others one by one. Runs of every
// short period give long matches at distances below a word and a vector.
TEST(Inflate, RoundTripsWithZlib) {
    Bytes data = MixedData(3 << 20, 7);
    const Bytes noise = RandomBytes(1 << 20, 8);
    data.insert(data.end(), noise.begin(), noise.end());
    for (std::size_t period = 1; period <= 40; ++period) {
        const Bytes unit = RandomBytes(period, static_cast<unsigned>(period));
        for (std::size_t i = 0; i < 700; ++i) data.push_back(unit[i % period]);
    }
    for (const bool portable : {false, true}) {
        SCOPED_TRACE(portable ? "portable loop" : "fastest loop");
        InflateOptions opt;
        opt.portableLoop = portable;
        for (int level : {1, 6, 9}) {
            const Bytes packed = ZlibDeflate(data, level);
            const Decoded d = Decode(packed, opt);
            EXPECT_EQ(d.result.status, InflateStatus::kDone) << level;
            EXPECT_EQ(d.result.inputUsed, packed.size()) << level;
            EXPECT_TRUE(d.out == data) << level;
        }
        const Bytes part(data.begin(), data.begin() + 300000);
        const Bytes packed = ZlibDeflate(part, {{50000, 6, Z_SYNC_FLUSH},
                                                {70000, 0, Z_FULL_FLUSH},
                                                {1000, 1, Z_BLOCK},
                                                {60000, 6, Z_SYNC_FLUSH, Z_HUFFMAN_ONLY},
                                                {90000, 9, Z_SYNC_FLUSH},
                                                {SIZE_MAX, 6, Z_FINISH}});
        for (std::size_t chunk : {std::size_t{1}, std::size_t{7}, std::size_t{4093}, SIZE_MAX}) {
            const Decoded d = Decode(packed, opt, chunk);
            EXPECT_EQ(d.result.status, InflateStatus::kDone) << chunk;
            EXPECT_TRUE(d.out == part) << chunk;
        }
    }
}

// A source over bytes in memory that lends some pieces in place and hands
// out others by copy, in sizes from a fixed pattern: the decoder must join
// the lent and the copied input without losing or repeating a byte.
class MixedSource : public ByteSource {
public:
    MixedSource(const Bytes& data, bool lend) : data_(data), lend_(lend) {}
    std::size_t Read(std::uint8_t* dst, std::size_t n) override {
        n = Next(n);
        std::copy_n(data_.begin() + static_cast<long>(pos_), n, dst);
        pos_ += n;
        return n;
    }
    std::span<const std::uint8_t> Borrow(std::size_t n) override {
        if (!lend_ || ++calls_ % 3 == 0) return {};  // every third time: copy instead
        n = Next(n);
        pos_ += n;
        return {data_.data() + pos_ - n, n};
    }

private:
    std::size_t Next(std::size_t n) {
        static constexpr std::size_t kSizes[] = {1, 5000, 3, 40000, 9, 17, 70000};
        return std::min({n, kSizes[step_++ % std::size(kSizes)], data_.size() - pos_});
    }
    const Bytes& data_;
    bool lend_;
    std::size_t pos_ = 0;
    std::size_t step_ = 0;
    unsigned calls_ = 0;
};

// The same stream (stored, fixed, dynamic and Huffman-only blocks) from a
// source that only copies, one that lends whole and one that mixes both
// gives the same bytes, the same input used and, cut short, the same
// truncation.
TEST(Inflate, LentAndCopiedInputDecodeAlike) {
    const Bytes data = MixedData(400000, 9);
    const Bytes packed = ZlibDeflate(data, {{60000, 6, Z_SYNC_FLUSH},
                                            {50000, 0, Z_FULL_FLUSH},
                                            {30000, 6, Z_SYNC_FLUSH, Z_HUFFMAN_ONLY},
                                            {1000, 6, Z_SYNC_FLUSH, Z_FIXED},
                                            {SIZE_MAX, 1, Z_FINISH}});
    const Bytes cut(packed.begin(), packed.end() - 100);
    for (const Bytes* stream : {&packed, &cut}) {
        std::vector<Decoded> runs;
        for (int kind = 0; kind < 3; ++kind) {
            SCOPED_TRACE(kind);
            VectorSink sink;
            InflateResult r;
            if (kind == 0) {
                MemorySource whole(*stream);
                r = Inflate(whole, sink);
            } else {
                MixedSource src(*stream, kind == 2);
                r = Inflate(src, sink);
            }
            runs.push_back({r, std::move(sink.bytes)});
        }
        const bool whole = stream == &packed;
        EXPECT_EQ(runs[0].result.status, whole ? InflateStatus::kDone : InflateStatus::kTruncated);
        if (whole) {
            EXPECT_TRUE(runs[0].out == data);
        }
        for (std::size_t k = 1; k < runs.size(); ++k) {
            EXPECT_EQ(runs[k].result.status, runs[0].result.status) << k;
            EXPECT_EQ(runs[k].result.inputUsed, runs[0].result.inputUsed) << k;
            EXPECT_TRUE(runs[k].out == runs[0].out) << k;
        }
    }
}

// ---- Damaged data ----

// Each fault gives its code, read whole or byte by byte; "ok" decoded
// before the fault still reaches the sink.
TEST(Inflate, DamagedStreamsReportTheirCode) {
    auto fixed = [](const std::function<void(BlockWriter&)>& damage) {
        LsbBitWriter w;
        FixedHeader(w, true);
        const Tables t = FixedTables();
        BlockWriter b(w, t);
        b.Literals("ok");
        damage(b);
        b.End();
        return w.bytes;
    };
    auto dynamic = [](const Tables& t, const std::function<void(BlockWriter&)>& damage) {
        return DynamicBlock(t, [&](LsbBitWriter&, BlockWriter& b) {
            b.Literals("ok");
            damage(b);
        });
    };
    auto lengths = [](std::vector<ClItem> items, unsigned nlit, unsigned ndist) {
        LsbBitWriter w;
        DynamicHeader(w, nlit, ndist, items);
        w.Bits(0, 32);
        return w.bytes;
    };
    auto fullWith = [](const std::function<void(Tables&)>& change) {
        Tables t = FullTables();
        change(t);
        return PlainItems(t);
    };
    LsbBitWriter stored, type3, clIncomplete;
    StoredBlock(stored, true, ToBytes("abc"), true);
    type3.Bits(7, 3);
    type3.Bits(0, 16);
    DynamicHeader(clIncomplete, 257, 1, {{1}}, Canonical({1, 2, 3, 4}));
    Tables noDist = FullTables();
    noDist.dist = Canonical({0});
    Tables noEnd = FullTables();
    noEnd.lit.lens[256] = 0;
    noEnd.lit.lens[287] = 5;
    noEnd.lit = Canonical(noEnd.lit.lens);
    std::vector<ClItem> repeatPast = PlainItems(FullTables());
    repeatPast.resize(repeatPast.size() - 3);
    repeatPast.push_back({16, 3});  // six more 5s where three belong

    const int kFixed = ecode::BadBlock, kDyn = ecode::IncompleteCodeSet;
    const struct {
        const char* name;
        int code;
        Bytes stream;
    } cases[] = {
        {"stored length not complemented", kFixed, stored.bytes},
        {"block type 3", kFixed, type3.bytes},
        {"fixed symbol 286", kFixed, fixed([](BlockWriter& b) { b.Symbol(286); })},
        {"fixed distance 30", kFixed,
         fixed([](BlockWriter& b) { b.Symbol(257), b.DistSymbol(30); })},
        {"fixed distance before the start", kFixed, fixed([](BlockWriter& b) { b.Match(3, 3); })},
        {"dynamic symbol 287", kDyn, dynamic(FullTables(), [](BlockWriter& b) { b.Symbol(287); })},
        {"dynamic distance before the start", kDyn,
         dynamic(FullTables(), [](BlockWriter& b) { b.Match(4, 3); })},
        {"distance without distance codes", kDyn,
         dynamic(noDist, [](BlockWriter& b) { b.Symbol(257); })},
        {"over-subscribed literal code", kDyn,
         lengths(fullWith([](Tables& t) { t.lit.lens[0] = 8; }), 288, 32)},
        {"incomplete literal code", kDyn,
         lengths(fullWith([](Tables& t) { t.lit.lens[0] = 0; }), 288, 32)},
        {"incomplete distance code", kDyn,
         lengths(fullWith([](Tables& t) { t.dist.lens[31] = 0; }), 288, 32)},
        {"no end-of-block code", kDyn, dynamic(noEnd, [](BlockWriter&) {})},
        {"incomplete code-length code", kDyn, clIncomplete.bytes},
        {"repeat without a previous length", kDyn, lengths({{16, 0}}, 257, 1)},
        {"repeat past the last length", kDyn, lengths(repeatPast, 288, 32)},
        {"zero run past the last length", kDyn, lengths({{18, 127}, {18, 127}}, 257, 1)},
    };
    for (const auto& c : cases) {
        for (std::size_t chunk : {std::size_t{1}, SIZE_MAX}) {
            const Decoded d = Decode(c.stream, {}, chunk);
            EXPECT_EQ(d.result.status, InflateStatus::kDataError) << c.name;
            EXPECT_EQ(d.result.errorCode, c.code) << c.name;
            EXPECT_TRUE(d.out.empty() || d.out == ToBytes("ok")) << c.name;
        }
    }
}

// The same faults after kilobytes of literals, with more data after them:
// the decoding loop for buffered input meets them. Everything before the
// fault reaches the sink, nothing after it, on both builds of the loop.
TEST(Inflate, FaultsAfterLongOutputKeepWhatCameBefore) {
    const Bytes prefixBytes = RandomBytes(3000, 4);
    const std::string prefix(prefixBytes.begin(), prefixBytes.end());
    const std::string tail(200, 'x');
    auto block = [&](const Tables& t, bool fixed, const std::function<void(BlockWriter&)>& fault) {
        auto body = [&](BlockWriter& b) {
            b.Literals(prefix);
            fault(b);
            b.Literals(tail);
            b.End();
        };
        if (!fixed) return DynamicBlock(t, [&](LsbBitWriter&, BlockWriter& b) { body(b); });
        LsbBitWriter w;
        FixedHeader(w, true);
        BlockWriter b(w, t);
        body(b);
        return w.bytes;
    };
    const Tables fixed = FixedTables();
    Tables noDist = FullTables();
    noDist.dist = Canonical({0});
    const struct {
        const char* name;
        int code;
        Bytes stream;
    } cases[] = {
        {"fixed symbol 286", ecode::BadBlock,
         block(fixed, true, [](BlockWriter& b) { b.Symbol(286); })},
        {"fixed distance 31", ecode::BadBlock,
         block(fixed, true, [](BlockWriter& b) { b.Symbol(260), b.DistSymbol(31); })},
        {"distance before the start", ecode::BadBlock,
         block(fixed, true, [](BlockWriter& b) { b.Match(10, 3001); })},
        {"dynamic symbol 287", ecode::IncompleteCodeSet,
         block(FullTables(), false, [](BlockWriter& b) { b.Symbol(287); })},
        {"distance without distance codes", ecode::IncompleteCodeSet,
         block(noDist, false, [](BlockWriter& b) { b.Symbol(257); })},
    };
    for (const bool portable : {false, true}) {
        InflateOptions opt;
        opt.portableLoop = portable;
        for (const auto& c : cases) {
            for (std::size_t chunk : {std::size_t{4093}, SIZE_MAX}) {
                const Decoded d = Decode(c.stream, opt, chunk);
                EXPECT_EQ(d.result.status, InflateStatus::kDataError) << c.name;
                EXPECT_EQ(d.result.errorCode, c.code) << c.name;
                EXPECT_TRUE(d.out == prefixBytes) << c.name << " " << portable;
            }
        }
    }
}

// Random bit flips in real streams: any outcome but a crash, a hang or
// output beyond the limit (the sanitizer build checks the accesses).
TEST(Inflate, RandomlyDamagedStreamsEndCleanly) {
    const Bytes data = MixedData(60000, 6);
    const Bytes packed[] = {ZlibDeflate(data, 1), ZlibDeflate(data, 9),
                            ZlibDeflate(data, {{20000, 6, Z_SYNC_FLUSH}, {SIZE_MAX, 0, Z_FINISH}})};
    std::mt19937 rng(2);
    InflateOptions opt;
    opt.maxOutput = 100000;
    for (int round = 0; round < 600; ++round) {
        Bytes damaged = packed[round % 3];
        for (unsigned flips = 1 + rng() % 4; flips > 0; --flips)
            damaged[rng() % damaged.size()] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
        EXPECT_LE(Decode(damaged, opt).out.size(), opt.maxOutput);
    }
}

// ---- Truncation, output limit, progress ----

// Every cut of a stream is truncation, never damage, and keeps the output
// decoded before it.
TEST(Inflate, TruncatedStreamsKeepTheirOutput) {
    const Bytes data = MixedData(200000, 5);
    const Bytes packed = ZlibDeflate(
        data, {{40000, 6, Z_SYNC_FLUSH}, {40000, 0, Z_SYNC_FLUSH}, {SIZE_MAX, 1, Z_FINISH}});
    for (std::size_t cut = 0; cut < packed.size(); cut += cut < 300 ? 1 : 197) {
        const Decoded d = Decode(Bytes(packed.begin(), packed.begin() + static_cast<long>(cut)));
        ASSERT_EQ(d.result.status, InflateStatus::kTruncated) << cut;
        ASSERT_TRUE(std::equal(d.out.begin(), d.out.end(), data.begin())) << cut;
    }
    const Decoded nearlyAll = Decode(Bytes(packed.begin(), packed.end() - 1));
    EXPECT_TRUE(nearlyAll.result.finalBlockSeen);
    EXPECT_GT(nearlyAll.out.size(), 190000u);

    // Five 9-bit literals leave the end-of-block code (seven zero bits) alone
    // in the last byte: zeros read past the end must not stand in for it.
    LsbBitWriter w;
    FixedHeader(w, true);
    const Tables t = FixedTables();
    BlockWriter b(w, t);
    b.Literals("\xE4\xF6\xFC\xDF\xC4");
    b.End();
    ASSERT_EQ(w.bytes.size(), 7u);
    const Decoded d = Decode(Bytes(w.bytes.begin(), w.bytes.end() - 1));
    EXPECT_EQ(d.result.status, InflateStatus::kTruncated);
    EXPECT_EQ(d.out, ToBytes("\xE4\xF6\xFC\xDF\xC4"));
}

// Huffman-only streams over a few symbols, whose short codes decode in
// pairs: every cut yields exactly the bytes whose codes arrived whole, as
// zlib gives them.
TEST(Inflate, TruncatedLiteralPairsKeepEveryWholeCode) {
    std::mt19937 rng(21);
    Bytes data(3000);
    for (auto& b : data) b = "aaaabbc"[rng() % 7];
    z_stream z{};
    ASSERT_EQ(deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_HUFFMAN_ONLY), Z_OK);
    Bytes packed(deflateBound(&z, data.size()));
    z.next_in = data.data();
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = packed.data();
    z.avail_out = static_cast<uInt>(packed.size());
    ASSERT_EQ(::deflate(&z, Z_FINISH), Z_STREAM_END);
    packed.resize(z.total_out);
    deflateEnd(&z);
    for (std::size_t cut = 1; cut < packed.size(); ++cut) {
        z_stream in{};
        ASSERT_EQ(inflateInit2(&in, -15), Z_OK);
        Bytes expected(data.size());
        in.next_in = packed.data();
        in.avail_in = static_cast<uInt>(cut);
        in.next_out = expected.data();
        in.avail_out = static_cast<uInt>(expected.size());
        ::inflate(&in, Z_SYNC_FLUSH);
        expected.resize(in.total_out);
        inflateEnd(&in);
        const Decoded d = Decode(Bytes(packed.begin(), packed.begin() + static_cast<long>(cut)));
        ASSERT_EQ(d.result.status, InflateStatus::kTruncated) << cut;
        ASSERT_EQ(d.out.size(), expected.size()) << cut;
    }
}

// maxOutput bytes exactly, around the window's size; a limit the data fits
// in is no stop.
TEST(Inflate, OutputLimitStopsAtExactlyThatManyBytes) {
    const Bytes data = MixedData(100000, 9);
    const Bytes packed = ZlibDeflate(data, 6);
    for (std::uint64_t limit : {1u, 2u, 3u, 32767u, 32768u, 32769u, 99999u, 100000u}) {
        InflateOptions opt;
        opt.maxOutput = limit;
        const Decoded d = Decode(packed, opt);
        EXPECT_EQ(d.result.status,
                  limit < data.size() ? InflateStatus::kOutputLimit : InflateStatus::kDone);
        EXPECT_TRUE(d.out == Bytes(data.begin(), data.begin() + static_cast<long>(limit)));
    }
}

// Progress comes at most once per 32 KB of input, and last with the total.
TEST(Inflate, ProgressAtMostOncePer32KAndAtTheEnd) {
    const Bytes packed = ZlibDeflate(RandomBytes(200000, 4), 6);
    for (std::size_t chunk : {std::size_t{1000}, SIZE_MAX}) {
        std::vector<std::uint64_t> calls;
        InflateOptions opt;
        opt.onProgress = [&](std::uint64_t consumed) { calls.push_back(consumed); };
        Decode(packed, opt, chunk);
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.back(), packed.size());
        for (std::size_t i = 1; i + 1 < calls.size(); ++i)
            EXPECT_GE(calls[i] / 32768, calls[i - 1] / 32768 + 1);
    }
}

// ---- Preset history (the data blocks of a cabinet folder) ----

// Matches reach into the history: a short one, a full window, more than a
// window (only its end counts), and output that wraps the window.
TEST(Inflate, MatchesReachIntoThePresetHistory) {
    for (const auto& [historySize, dataSize] : std::vector<std::pair<std::size_t, std::size_t>>{
             {100, 200}, {32768, 5000}, {50000, 5000}, {32768, 100000}}) {
        SCOPED_TRACE(historySize);
        Bytes history = RandomBytes(historySize, 1);
        for (auto& c : history) c = static_cast<std::uint8_t>('a' + c % 16);
        const Bytes dict(history.end() - std::min<long>(historySize, 32768), history.end());
        Bytes data;  // pieces of the dictionary
        for (std::size_t i = 0; data.size() < dataSize; i += 997)
            data.insert(data.end(), dict.begin() + static_cast<long>(i % (dict.size() - 40)),
                        dict.begin() + static_cast<long>(i % (dict.size() - 40) + 40));
        data.resize(dataSize);
        const Bytes stream = ZlibDeflate(data, {{data.size(), 9, Z_FINISH}}, dict);
        ASSERT_LT(stream.size(), data.size() / 4) << "the stream must use the history";
        InflateOptions opt;
        opt.history = history;
        const Decoded d = Decode(stream, opt, 32768);
        EXPECT_EQ(d.result.status, InflateStatus::kDone);
        EXPECT_TRUE(d.out == data);
    }
}

// A distance beyond the history given is damage, not a read before it.
TEST(Inflate, DistanceBeyondTheHistoryIsDamage) {
    const Bytes history = RandomBytes(1000, 2);
    const Bytes data(history.begin(), history.begin() + 500);  // 1000 bytes back
    const Bytes stream = ZlibDeflate(data, {{data.size(), 9, Z_FINISH}}, history);
    InflateOptions opt;
    EXPECT_EQ(Decode(stream, opt).result.status, InflateStatus::kDataError);
    opt.history = std::span(history).subspan(600);
    EXPECT_EQ(Decode(stream, opt).result.status, InflateStatus::kDataError);
    opt.history = history;
    EXPECT_TRUE(Decode(stream, opt).out == data);
}

// Streams decoded one after another through one chain reach into the output
// of those before them, also after the window has moved several times; a
// short stream leaves the older output reachable.
TEST(Inflate, ChainedStreamsShareTheirWindow) {
    const Bytes data = MixedData(700000, 7);
    InflateChain chain;
    VectorSink sink;
    std::size_t packedTotal = 0;
    std::size_t i = 0;
    for (std::size_t pos = 0; pos < data.size(); ++i) {
        const std::size_t n = std::min<std::size_t>(i % 5 == 3 ? 700 : 32768, data.size() - pos);
        const Bytes piece(data.begin() + static_cast<long>(pos),
                          data.begin() + static_cast<long>(pos + n));
        const Bytes dict(data.begin() + static_cast<long>(pos - std::min<std::size_t>(pos, 32768)),
                         data.begin() + static_cast<long>(pos));
        const Bytes stream = ZlibDeflate(piece, {{n, i % 7 == 5 ? 0 : 6, Z_FINISH}}, dict);
        packedTotal += stream.size();
        MemorySource src(stream, 5000);
        InflateOptions opt;
        opt.maxOutput = 32768;
        const InflateResult r = chain.Next(src, sink, opt);
        ASSERT_EQ(r.status, InflateStatus::kDone) << "stream " << i;
        ASSERT_EQ(r.produced, n);
        ASSERT_EQ(r.inputUsed, stream.size());
        pos += n;
    }
    EXPECT_LT(packedTotal, data.size() / 2) << "the streams must use the window";
    EXPECT_TRUE(sink.bytes == data);
}

}  // namespace
}  // namespace lumora::archive::test
