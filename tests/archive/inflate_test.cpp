// Deflate decoder: hand-built streams for every block kind and fault, and
// round trips against data compressed by zlib.
#include "archive/decoders/inflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <random>
#include <string>
#include <vector>

namespace lumora::archive {
namespace {

using Bytes = std::vector<std::uint8_t>;

class MemorySource : public ByteSource {
public:
    MemorySource(const Bytes& data, std::size_t chunk) : data_(data), chunk_(chunk) {}
    std::size_t Read(std::uint8_t* dst, std::size_t n) override {
        n = std::min({n, chunk_, data_.size() - pos_});
        std::copy_n(data_.begin() + static_cast<std::ptrdiff_t>(pos_), n, dst);
        pos_ += n;
        return n;
    }

private:
    const Bytes& data_;
    std::size_t chunk_;
    std::size_t pos_ = 0;
};

class VectorSink : public OutputSink {
public:
    void Write(const std::uint8_t* data, std::size_t n) override {
        bytes.insert(bytes.end(), data, data + n);
        ++writes;
    }
    Bytes bytes;
    int writes = 0;
};

struct Decoded {
    InflateResult result;
    Bytes out;
};

Decoded Decode(const Bytes& in, const InflateOptions& opt = {}, std::size_t chunk = SIZE_MAX) {
    MemorySource src(in, chunk);
    VectorSink sink;
    const InflateResult r = Inflate(src, sink, opt);
    EXPECT_EQ(r.produced, sink.bytes.size());
    return {r, std::move(sink.bytes)};
}

// ---- Bit-level stream builder ----

class BitWriter {
public:
    void Bits(std::uint32_t value, unsigned n) {  // least significant bit first
        for (unsigned i = 0; i < n; ++i) Bit((value >> i) & 1);
    }
    void Code(std::uint32_t code, unsigned len) {  // Huffman codes: most significant first
        for (unsigned i = len; i-- > 0;) Bit((code >> i) & 1);
    }
    void Align() {
        while (used_ != 0) Bit(0);
    }
    Bytes bytes;

private:
    void Bit(unsigned b) {
        if (used_ == 0) bytes.push_back(0);
        bytes.back() |= static_cast<std::uint8_t>(b << used_);
        used_ = (used_ + 1) & 7;
    }
    unsigned used_ = 0;
};

constexpr std::array<unsigned, 29> kLenBase = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                               15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                               67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<unsigned, 30> kDistBase = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
unsigned LenExtra(unsigned i) {
    return i < 8 || i == 28 ? 0 : (i - 4) / 4;
}
unsigned DistExtra(unsigned i) {
    return i < 4 ? 0 : (i - 2) / 2;
}

// A prefix code given by its lengths, with the canonical codes.
struct Code {
    std::vector<std::uint8_t> lens;
    std::vector<std::uint32_t> codes;
};

Code Canonical(std::vector<std::uint8_t> lens) {
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

Tables FixedTables() {
    std::vector<std::uint8_t> lit(288, 8);
    std::fill(lit.begin() + 144, lit.begin() + 256, 9);
    std::fill(lit.begin() + 256, lit.begin() + 280, 7);
    return {Canonical(lit), Canonical(std::vector<std::uint8_t>(32, 5))};
}

// A complete dynamic code that gives every symbol, reserved ones included, a
// code: literals 9 bits, symbols 256-287 6 bits, 32 distances of 5 bits.
Tables FullTables() {
    std::vector<std::uint8_t> lit(288, 9);
    std::fill(lit.begin() + 256, lit.end(), 6);
    return {Canonical(lit), Canonical(std::vector<std::uint8_t>(32, 5))};
}

class BlockWriter {
public:
    BlockWriter(BitWriter& w, const Tables& t) : w_(w), t_(t) {}
    void Symbol(unsigned sym) { w_.Code(t_.lit.codes.at(sym), t_.lit.lens.at(sym)); }
    void Literals(const std::string& s) {
        for (unsigned char ch : s) Symbol(ch);
    }
    void DistSymbol(unsigned sym) { w_.Code(t_.dist.codes.at(sym), t_.dist.lens.at(sym)); }
    void Match(unsigned len, unsigned dist) {
        unsigned i = 28;
        while (kLenBase[i] > len) --i;
        Symbol(257 + i);
        w_.Bits(len - kLenBase[i], LenExtra(i));
        unsigned j = 29;
        while (kDistBase[j] > dist) --j;
        DistSymbol(j);
        w_.Bits(dist - kDistBase[j], DistExtra(j));
    }
    void End() { Symbol(256); }

private:
    BitWriter& w_;
    const Tables& t_;
};

void StoredBlock(BitWriter& w, bool final, const Bytes& data, bool badComplement = false) {
    w.Bits(final, 1);
    w.Bits(0, 2);
    w.Align();
    const auto len = static_cast<std::uint32_t>(data.size());
    w.Bits(len, 16);
    w.Bits((~len & 0xFFFF) ^ (badComplement ? 1 : 0), 16);
    for (std::uint8_t b : data) w.Bits(b, 8);
}

void FixedHeader(BitWriter& w, bool final) {
    w.Bits(final, 1);
    w.Bits(1, 2);
}

// Code-length alphabet code: 13 codes of 4 bits and 6 of 5 bits (complete).
struct ClItem {
    unsigned sym;
    unsigned extra = 0;
};
const Code kClCode = Canonical({4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 5, 5, 5, 5, 5, 5});
constexpr std::array<unsigned, 19> kClOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                               11, 4,  12, 3, 13, 2, 14, 1, 15};

void DynamicHeader(BitWriter& w, bool final, unsigned nlit, unsigned ndist,
                   const std::vector<ClItem>& items, const Code& cl = kClCode) {
    w.Bits(final, 1);
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

// The header of `t`, every length sent as a plain code-length symbol.
void DynamicHeader(BitWriter& w, bool final, const Tables& t) {
    std::vector<ClItem> items;
    for (std::uint8_t l : t.lit.lens) items.push_back({l});
    for (std::uint8_t l : t.dist.lens) items.push_back({l});
    DynamicHeader(w, final, static_cast<unsigned>(t.lit.lens.size()),
                  static_cast<unsigned>(t.dist.lens.size()), items);
}

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

Bytes RandomBytes(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto& x : b) x = static_cast<std::uint8_t>(rng());
    return b;
}

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
// switch level (0 gives stored blocks).
struct Piece {
    std::size_t size;
    int level;
    int flush;
};
Bytes ZlibDeflate(const Bytes& data, const std::vector<Piece>& pieces) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, pieces.front().level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
    Bytes out(deflateBound(&z, data.size()) + 64 * pieces.size() + 1024);
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    std::size_t pos = 0;
    for (const Piece& p : pieces) {
        EXPECT_EQ(deflateParams(&z, p.level, Z_DEFAULT_STRATEGY), Z_OK);
        z.next_in = const_cast<Bytef*>(data.data() + pos);
        z.avail_in = static_cast<uInt>(std::min(p.size, data.size() - pos));
        pos += z.avail_in;
        const int flush = pos == data.size() ? Z_FINISH : p.flush;
        EXPECT_EQ(deflate(&z, flush), flush == Z_FINISH ? Z_STREAM_END : Z_OK);
    }
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}
Bytes ZlibDeflate(const Bytes& data, int level) {
    return ZlibDeflate(data, {{data.size(), level, Z_FINISH}});
}

// ---- Block kinds ----

TEST(Inflate, StoredFixedAndDynamicBlocksInOneStream) {
    BitWriter w;
    StoredBlock(w, false, Text("stored;"));
    FixedHeader(w, false);
    const Tables fixed = FixedTables();
    BlockWriter fb(w, fixed);
    fb.Literals("abc");
    fb.Match(10, 3);  // overlapping: repeats "abc"
    fb.End();
    const Tables full = FullTables();
    DynamicHeader(w, true, full);
    BlockWriter db(w, full);
    db.Literals("-x");
    db.Match(258, 1);
    db.End();
    w.Bits(0xABCD, 16);  // trailing bytes are not part of the stream

    const Decoded d = Decode(w.bytes);
    EXPECT_EQ(d.result.status, InflateStatus::kDone);
    EXPECT_TRUE(d.result.finalBlockSeen);
    EXPECT_EQ(d.out, Text("stored;abcabcabcabca-" + std::string(259, 'x')));
    EXPECT_EQ(d.result.inputUsed, w.bytes.size() - 2);
}

TEST(Inflate, SparseCodesAllowedByTheFormat) {
    // A single one-bit distance code, and a block without any distance code.
    for (const std::vector<std::uint8_t>& distLens :
         {std::vector<std::uint8_t>{0, 1}, std::vector<std::uint8_t>{0}}) {
        Tables t = FullTables();
        t.dist = Canonical(distLens);
        BitWriter w;
        DynamicHeader(w, true, t);
        BlockWriter b(w, t);
        b.Literals("ab");
        if (distLens.back() == 1) b.Match(4, 2);
        b.End();
        const Decoded d = Decode(w.bytes);
        EXPECT_EQ(d.result.status, InflateStatus::kDone);
        EXPECT_EQ(d.out, Text(distLens.back() == 1 ? "ababab" : "ab"));
    }
}

// Matches around the window's end: (bytes before, distance, length).
TEST(Inflate, MatchesAcrossTheWindowBoundary) {
    const Bytes prefix = RandomBytes(70000, 1);
    const std::vector<std::array<unsigned, 3>> cases = {
        {32768, 32768, 258}, {32868, 32768, 258}, {40000, 32768, 258}, {40000, 32767, 100},
        {32778, 20, 258},    {32770, 5, 258},     {65536, 32768, 3},   {32700, 1, 258},
        {32765, 9, 40},      {65530, 30000, 258}};
    for (const auto& [before, dist, len] : cases) {
        SCOPED_TRACE(std::to_string(before) + " " + std::to_string(dist));
        Bytes expected(prefix.begin(), prefix.begin() + before);
        BitWriter w;
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
            for (unsigned i = 0; i < len; ++i) {
                const std::uint8_t byte = expected[expected.size() - dist];
                expected.push_back(byte);
            }
        }
        b.End();
        const Decoded d = Decode(w.bytes);
        EXPECT_EQ(d.result.status, InflateStatus::kDone);
        EXPECT_TRUE(d.out == expected);
    }
}

// ---- Round trips with zlib ----

class InflateRoundTrip : public ::testing::TestWithParam<int> {};

TEST_P(InflateRoundTrip, SeveralMegabytesMatchTheOriginal) {
    Bytes data = MixedData(3 << 20, 7);
    const Bytes noise = RandomBytes(1 << 20, 8);
    data.insert(data.end(), noise.begin(), noise.end());
    const Bytes packed = ZlibDeflate(data, GetParam());
    const Decoded d = Decode(packed);
    EXPECT_EQ(d.result.status, InflateStatus::kDone);
    EXPECT_EQ(d.result.inputUsed, packed.size());
    EXPECT_TRUE(d.out == data);
}

INSTANTIATE_TEST_SUITE_P(Levels, InflateRoundTrip, ::testing::Values(1, 6, 9));

TEST(Inflate, ManyBlocksAndSmallReads) {
    const Bytes data = MixedData(300000, 3);
    const Bytes packed = ZlibDeflate(data, {{50000, 6, Z_SYNC_FLUSH},
                                            {70000, 0, Z_FULL_FLUSH},
                                            {1000, 1, Z_BLOCK},
                                            {90000, 9, Z_SYNC_FLUSH},
                                            {SIZE_MAX, 6, Z_FINISH}});
    for (std::size_t chunk : {std::size_t{1}, std::size_t{7}, std::size_t{4093}, SIZE_MAX}) {
        const Decoded d = Decode(packed, {}, chunk);
        EXPECT_EQ(d.result.status, InflateStatus::kDone) << chunk;
        EXPECT_TRUE(d.out == data) << chunk;
    }
}

TEST(Inflate, MegabyteOfZeros) {
    const Bytes zeros(1 << 20, 0);
    VectorSink sink;
    const Bytes packed = ZlibDeflate(zeros, 9);
    MemorySource src(packed, SIZE_MAX);
    EXPECT_EQ(Inflate(src, sink, {}).status, InflateStatus::kDone);
    EXPECT_TRUE(sink.bytes == zeros);
    EXPECT_EQ(sink.writes, 32);  // whole windows only
}

// ---- Damaged data ----

struct BadStream {
    const char* name;
    int code;
    Bytes (*build)();
};

// Literals "ok", then the damage: the output before it must reach the sink.
template <typename Damage>
Bytes FixedWith(Damage damage) {
    BitWriter w;
    FixedHeader(w, true);
    const Tables t = FixedTables();
    BlockWriter b(w, t);
    b.Literals("ok");
    damage(w, b);
    b.End();
    return w.bytes;
}
template <typename Damage>
Bytes DynamicWith(Tables t, Damage damage) {
    BitWriter w;
    DynamicHeader(w, true, t);
    BlockWriter b(w, t);
    b.Literals("ok");
    damage(w, b);
    b.End();
    return w.bytes;
}
Bytes DynamicItems(std::vector<ClItem> items, unsigned nlit = 257, unsigned ndist = 1) {
    BitWriter w;
    DynamicHeader(w, true, nlit, ndist, items);
    w.Bits(0, 32);
    return w.bytes;
}
std::vector<ClItem> PlainItems(const Tables& t) {
    std::vector<ClItem> items;
    for (std::uint8_t l : t.lit.lens) items.push_back({l});
    for (std::uint8_t l : t.dist.lens) items.push_back({l});
    return items;
}

const BadStream kBadStreams[] = {
    {"StoredLengthNotComplement", 25109,
     [] {
         BitWriter w;
         StoredBlock(w, true, Text("abc"), true);
         return w.bytes;
     }},
    {"BlockType3", 25109,
     [] {
         BitWriter w;
         w.Bits(7, 3);
         w.Bits(0, 16);
         return w.bytes;
     }},
    {"FixedSymbol286", 25109,
     [] { return FixedWith([](BitWriter&, BlockWriter& b) { b.Symbol(286); }); }},
    {"FixedSymbol287", 25109,
     [] { return FixedWith([](BitWriter&, BlockWriter& b) { b.Symbol(287); }); }},
    {"FixedDistance30", 25109,
     [] {
         return FixedWith([](BitWriter&, BlockWriter& b) {
             b.Symbol(257);
             b.DistSymbol(30);
         });
     }},
    {"FixedDistanceBeforeStart", 25109,
     [] { return FixedWith([](BitWriter&, BlockWriter& b) { b.Match(3, 3); }); }},
    {"DynamicSymbol287", 25116,
     [] { return DynamicWith(FullTables(), [](BitWriter&, BlockWriter& b) { b.Symbol(287); }); }},
    {"DynamicDistance31", 25116,
     [] {
         return DynamicWith(FullTables(), [](BitWriter&, BlockWriter& b) {
             b.Symbol(257);
             b.DistSymbol(31);
         });
     }},
    {"DynamicDistanceBeforeStart", 25116,
     [] { return DynamicWith(FullTables(), [](BitWriter&, BlockWriter& b) { b.Match(4, 3); }); }},
    {"DistanceWithoutDistanceCodes", 25116,
     [] {
         Tables t = FullTables();
         t.dist = Canonical({0});
         return DynamicWith(t, [](BitWriter& w, BlockWriter& b) {
             b.Symbol(257);
             w.Bits(0, 8);
         });
     }},
    {"OverSubscribedLiteralCode", 25116,
     [] {
         Tables t = FullTables();
         t.lit.lens[0] = 8;
         return DynamicItems(PlainItems(t), 288, 32);
     }},
    {"IncompleteLiteralCode", 25116,
     [] {
         Tables t = FullTables();
         t.lit.lens[0] = 0;
         return DynamicItems(PlainItems(t), 288, 32);
     }},
    {"IncompleteDistanceCode", 25116,
     [] {
         Tables t = FullTables();
         t.dist.lens[31] = 0;
         return DynamicItems(PlainItems(t), 288, 32);
     }},
    {"NoEndOfBlockCode", 25116,
     [] {
         Tables t = FullTables();
         t.lit.lens[256] = 0;
         t.lit.lens[287] = 5;
         t = {Canonical(t.lit.lens), t.dist};
         return DynamicWith(t, [](BitWriter&, BlockWriter&) {});
     }},
    {"IncompleteCodeLengthCode", 25116,
     [] {
         BitWriter w;
         DynamicHeader(w, true, 257, 1, {{1}}, Canonical({1, 2, 3, 4}));
         return w.bytes;
     }},
    {"RepeatWithoutPreviousLength", 25116,
     [] {
         return DynamicItems({{16, 0}});
     }},
    {"RepeatPastTheLastLength", 25116,
     [] {
         std::vector<ClItem> items = PlainItems(FullTables());
         items.resize(items.size() - 3);
         items.push_back({16, 3});  // six more 5s where three belong
         return DynamicItems(items, 288, 32);
     }},
    // 257 + 1 lengths: 138 + 117 zeros, one 8, then a run of 4 zeros.
    {"ZeroRunPastTheLastLength", 25116,
     [] {
         return DynamicItems({{18, 127}, {18, 106}, {8}, {17, 1}});
     }},
    {"LongZeroRunPastTheLastLength", 25116,
     [] {
         return DynamicItems({{18, 127}, {18, 127}});
     }},
};

void PrintTo(const BadStream& s, std::ostream* os) {
    *os << s.name;
}

class InflateBadStream : public ::testing::TestWithParam<BadStream> {};

TEST_P(InflateBadStream, ReportsItsCodeAndKeepsEarlierOutput) {
    const Bytes stream = GetParam().build();
    for (std::size_t chunk : {std::size_t{1}, SIZE_MAX}) {
        const Decoded d = Decode(stream, {}, chunk);
        EXPECT_EQ(d.result.status, InflateStatus::kDataError);
        EXPECT_EQ(d.result.errorCode, GetParam().code);
        if (d.result.produced != 0) {
            EXPECT_EQ(d.out, Text("ok"));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(All, InflateBadStream, ::testing::ValuesIn(kBadStreams),
                         [](const auto& info) { return std::string(info.param.name); });

// Random damage to real streams: every outcome is allowed except a crash, a
// hang or output beyond the limit (the sanitizer build checks the accesses).
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
        const Decoded d = Decode(damaged, opt);
        EXPECT_LE(d.out.size(), opt.maxOutput);
    }
}

// ---- Truncation, output limit, progress ----

TEST(Inflate, TruncatedStreamsKeepTheirOutput) {
    const Bytes data = MixedData(200000, 5);
    const Bytes packed = ZlibDeflate(
        data, {{40000, 6, Z_SYNC_FLUSH}, {40000, 0, Z_SYNC_FLUSH}, {SIZE_MAX, 1, Z_FINISH}});
    for (std::size_t cut = 0; cut < packed.size(); cut += cut < 300 ? 1 : 197) {
        const Bytes part(packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(cut));
        const Decoded d = Decode(part);
        ASSERT_EQ(d.result.status, InflateStatus::kTruncated) << cut;
        ASSERT_TRUE(std::equal(d.out.begin(), d.out.end(), data.begin())) << cut;
    }
    const Decoded nearlyAll = Decode(Bytes(packed.begin(), packed.end() - 1));
    EXPECT_TRUE(nearlyAll.result.finalBlockSeen);
    EXPECT_GT(nearlyAll.out.size(), 190000u);
}

TEST(Inflate, MissingZeroBitsAreTruncationNotData) {
    // Five 9-bit literals put the end-of-block code (seven zero bits) alone
    // into the last byte; zeros read past the end must not stand in for it.
    BitWriter w;
    FixedHeader(w, true);
    const Tables t = FixedTables();
    BlockWriter b(w, t);
    b.Literals("\xE4\xF6\xFC\xDF\xC4");
    b.End();
    ASSERT_EQ(w.bytes.size(), 7u);
    const Decoded d = Decode(Bytes(w.bytes.begin(), w.bytes.end() - 1));
    EXPECT_EQ(d.result.status, InflateStatus::kTruncated);
    EXPECT_EQ(d.out, Text("\xE4\xF6\xFC\xDF\xC4"));
}

TEST(Inflate, OutputLimitStopsAtExactlyThatManyBytes) {
    const Bytes data = MixedData(100000, 9);
    const Bytes packed = ZlibDeflate(data, 6);
    for (std::uint64_t limit : {1u, 32767u, 32768u, 32769u, 99999u}) {
        InflateOptions opt;
        opt.maxOutput = limit;
        const Decoded d = Decode(packed, opt);
        EXPECT_EQ(d.result.status, InflateStatus::kOutputLimit) << limit;
        EXPECT_TRUE(d.out ==
                    Bytes(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(limit)));
    }
    for (std::uint64_t limit : {100000u, 100001u}) {
        InflateOptions opt;
        opt.maxOutput = limit;
        EXPECT_EQ(Decode(packed, opt).result.status, InflateStatus::kDone) << limit;
    }
}

TEST(Inflate, ProgressAtMostOncePer32KAndAtTheEnd) {
    const Bytes packed = ZlibDeflate(RandomBytes(200000, 4), 6);
    for (std::size_t chunk : {std::size_t{1000}, SIZE_MAX}) {
        std::vector<std::uint64_t> calls;
        InflateOptions opt;
        opt.onProgress = [&](std::uint64_t consumed) { calls.push_back(consumed); };
        const Decoded d = Decode(packed, opt, chunk);
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.back(), packed.size());
        EXPECT_LE(calls.size(), packed.size() / 32768 + 2);
        for (std::size_t i = 1; i + 1 < calls.size(); ++i)
            EXPECT_GE(calls[i] / 32768, calls[i - 1] / 32768 + 1);
    }
}

}  // namespace
}  // namespace lumora::archive
