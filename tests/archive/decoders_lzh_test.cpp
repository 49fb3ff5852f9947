// The static-Huffman LZ decoder on hand-built streams: block structure,
// matches across the window, parameters of each caller, and every way a
// table can be damaged.
#include <gtest/gtest.h>

#include <bit>
#include <random>

#include "archive/decoders/static_huffman.h"
#include "archive/lzh_test_support.h"

namespace lumora::archive::test {
namespace {

constexpr unsigned kChars = 510;

// Lengths of a complete code over n symbols: the first ones one bit shorter.
std::vector<std::uint8_t> CompleteLens(unsigned n) {
    const unsigned k = static_cast<unsigned>(std::bit_width(n - 1));
    const unsigned shorter = (1u << k) - n;
    std::vector<std::uint8_t> lens(n, static_cast<std::uint8_t>(k));
    std::fill_n(lens.begin(), shorter, static_cast<std::uint8_t>(k - 1));
    return lens;
}

// Canonical codes: shorter codes first, equal lengths in symbol order.
std::vector<std::uint32_t> CanonicalCodes(const std::vector<std::uint8_t>& lens) {
    std::array<std::uint32_t, 18> count{}, next{};
    for (auto l : lens) ++count[l];
    count[0] = 0;
    for (unsigned bits = 1; bits <= 16; ++bits)
        next[bits] = (next[bits - 1] + count[bits - 1]) << 1;
    std::vector<std::uint32_t> codes(lens.size());
    for (std::size_t s = 0; s < lens.size(); ++s)
        if (lens[s]) codes[s] = next[lens[s]]++;
    return codes;
}

// Writes blocks of the format. The code-length code is always 16 codes of
// 4 bits (code-length symbol k has code k), so character lengths up to 13
// can be written.
class LzhStream : public MsbBitWriter {
public:
    void LengthField(unsigned len) {
        if (len < 7) return Bits(len, 3);
        Bits(7, 3);
        for (unsigned i = 7; i < len; ++i) Bit(1);
        Bit(0);
    }
    void LenCode() {
        Bits(16, 5);
        for (unsigned i = 0; i < 16; ++i) {
            LengthField(4);
            if (i == 2) Bits(0, 2);
        }
    }
    void CharLens(const std::vector<std::uint8_t>& lens) {
        const std::size_t n = Used(lens);
        Bits(static_cast<std::uint32_t>(n), 9);
        for (std::size_t i = 0; i < n; ++i) Bits(lens[i] ? lens[i] + 2u : 0u, 4);
        charLens_ = lens;
        charCodes_ = CanonicalCodes(lens);
    }
    void PosLens(const std::vector<std::uint8_t>& lens, unsigned countBits) {
        const std::size_t n = Used(lens);
        Bits(static_cast<std::uint32_t>(n), countBits);
        for (std::size_t i = 0; i < n; ++i) LengthField(lens[i]);
        posLens_ = lens;
        posCodes_ = CanonicalCodes(lens);
    }
    // A block whose every character and position symbol has a code.
    void Block(std::uint16_t size, unsigned posCodes, unsigned countBits) {
        Bits(size, 16);
        LenCode();
        CharLens(CompleteLens(kChars));
        PosLens(CompleteLens(posCodes), countBits);
    }
    void Literal(std::uint8_t c) { Bits(charCodes_[c], charLens_[c]); }
    void Match(unsigned len, std::uint32_t dist) {
        const unsigned sym = len + 253;
        Bits(charCodes_[sym], charLens_[sym]);
        const unsigned p = static_cast<unsigned>(std::bit_width(dist));
        Bits(posCodes_[p], posLens_[p]);
        if (p > 1) Bits(dist - (1u << (p - 1)), p - 1);
    }

private:
    static std::size_t Used(const std::vector<std::uint8_t>& lens) {
        std::size_t n = lens.size();
        while (n > 0 && lens[n - 1] == 0) --n;
        return n;
    }
    std::vector<std::uint8_t> charLens_, posLens_;
    std::vector<std::uint32_t> charCodes_, posCodes_;
};

// What a stream of literals and matches stands for, on an unbounded buffer
// that starts with `zeros` zero bytes of history.
struct Reference {
    Bytes out;
    void Literal(std::uint8_t c) { out.push_back(c); }
    void Match(std::size_t len, std::size_t dist) {
        for (std::size_t i = 0; i < len; ++i) out.push_back(out[out.size() - dist - 1]);
    }
};

struct Result {
    Bytes out;
    std::uint64_t produced = 0;
    int error = 0;
};

Result Decode(const Bytes& in, const StaticHuffmanParams& p, std::uint64_t size,
              std::size_t chunk = SIZE_MAX) {
    MemorySource src(in, chunk);
    VectorSink sink;
    Result r;
    try {
        r.produced = DecodeStaticHuffman(src, sink, p, size);
    } catch (const DecodeError& e) {
        r.error = e.code;
    }
    r.out = std::move(sink.bytes);
    return r;
}

// Literals and matches of every length class and both position extremes.
void WriteSample(LzhStream& s, Reference& ref, std::size_t maxDist) {
    for (char c : std::string("LZH block data: ")) {
        s.Literal(static_cast<std::uint8_t>(c));
        ref.Literal(static_cast<std::uint8_t>(c));
    }
    const std::pair<unsigned, std::size_t> matches[] = {{3, 0},  {4, 1},   {10, 5},  {256, 15},
                                                        {17, 2}, {200, 0}, {5, 300}, {3, 1}};
    for (auto [len, dist] : matches) {
        dist = std::min(dist, ref.out.size() - 1);
        s.Match(len, static_cast<std::uint32_t>(std::min(dist, maxDist)));
        ref.Match(len, std::min(dist, maxDist));
    }
}

TEST(StaticHuffman, DecodesLiteralsAndMatchesForEveryCaller) {
    for (const StaticHuffmanParams& p : {kLh4Params, kLh5Params, kArjParams, kZooLzhParams}) {
        SCOPED_TRACE(p.dicBits);
        LzhStream s;
        Reference ref;
        s.Block(24, static_cast<unsigned>(p.dicBits) + 1, static_cast<unsigned>(p.posBits));
        WriteSample(s, ref, std::size_t{1} << p.dicBits);
        for (std::size_t chunk : {std::size_t{1}, std::size_t{7}, SIZE_MAX}) {
            const Result r = Decode(s.bytes, p, ref.out.size(), chunk);
            EXPECT_EQ(r.error, 0);
            EXPECT_EQ(r.produced, ref.out.size());
            EXPECT_EQ(r.out, ref.out);
        }
    }
}

TEST(StaticHuffman, ReadsANewBlockAfterTheCountOfCodes) {
    LzhStream s;
    Reference ref;
    s.Block(3, 14, 4);
    for (std::uint8_t c : {'a', 'b', 'c'}) s.Literal(c), ref.Literal(c);
    // Second block: one literal code of 0 bits, one position code.
    s.Bits(4, 16);
    s.Bits(0, 5), s.Bits(3, 5);    // code-length code: every code is symbol 3
    s.Bits(0, 9), s.Bits('z', 9);  // character code: every code is 'z'
    s.Bits(0, 4), s.Bits(0, 4);
    for (int i = 0; i < 4; ++i) ref.Literal('z');
    const Result r = Decode(s.bytes, kLh5Params, 7);
    EXPECT_EQ(r.error, 0);
    EXPECT_EQ(r.out, ref.out);
}

TEST(StaticHuffman, BlockSizeZeroEndsTheDataEarly) {
    LzhStream s;
    s.Block(2, 14, 4);
    s.Literal('o');
    s.Literal('k');
    s.Bits(0, 16);
    s.Literal('x');  // never read
    const Result r = Decode(s.bytes, kLh5Params, 1000);
    EXPECT_EQ(r.error, 0);
    EXPECT_EQ(r.produced, 2u);
    EXPECT_EQ(r.out, ToBytes("ok"));
}

TEST(StaticHuffman, OutputStopsAtTheOriginalSizeInsideAMatch) {
    LzhStream s;
    s.Block(2, 14, 4);
    s.Literal('=');
    s.Match(256, 0);
    const Result r = Decode(s.bytes, kLh5Params, 100);
    EXPECT_EQ(r.produced, 100u);
    EXPECT_EQ(r.out, Bytes(100, '='));
}

// 26624-byte window: matches whose source or destination crosses the wrap.
TEST(StaticHuffman, MatchesAcrossTheWindowWrap) {
    std::mt19937 rng(7);
    LzhStream s;
    Reference ref;
    s.Block(60000, 14, 4);
    unsigned codes = 0;
    while (ref.out.size() < 60000 && codes + 2 < 60000) {
        if (rng() % 3 != 0 || ref.out.size() < 8192) {
            const auto c = static_cast<std::uint8_t>(rng());
            s.Literal(c), ref.Literal(c);
        } else {
            const unsigned len = 3 + rng() % 254;
            const std::size_t dist = rng() % 8192;
            s.Match(len, static_cast<std::uint32_t>(dist)), ref.Match(len, dist);
        }
        ++codes;
    }
    const Result r = Decode(s.bytes, kLh5Params, ref.out.size());
    EXPECT_EQ(r.error, 0);
    EXPECT_EQ(r.out, ref.out);
}

// ARJ positions reach 65535 while the window has 26624 bytes: the source
// index is taken modulo the window, and the window starts zero-filled.
TEST(StaticHuffman, ArjDistancesBeyondTheWindowWrapModuloWindow) {
    LzhStream far;
    far.Block(22, 17, 5);
    LzhStream near;
    near.Block(22, 17, 5);
    for (std::uint8_t c = 'a'; c < 'a' + 20; ++c) far.Literal(c), near.Literal(c);
    far.Match(5, 26624 + 5);
    near.Match(5, 5);
    far.Match(4, 65535);  // lands in the not yet written, zero-filled window
    near.Match(4, 65535 - 2 * 26624);
    const Result a = Decode(far.bytes, kArjParams, 29);
    const Result b = Decode(near.bytes, kArjParams, 29);
    EXPECT_EQ(a.error, 0);
    EXPECT_EQ(a.out, b.out);
    EXPECT_EQ(Bytes(a.out.begin() + 25, a.out.end()), Bytes(4, 0));
}

// Each damaged table ends the data with 25110; the bytes decoded from the
// blocks before it are still written.
TEST(StaticHuffman, DamagedTablesGive25110) {
    struct Case {
        const char* name;
        void (*write)(LzhStream&);
    };
    const Case cases[] = {
        {"code-length count above 19", [](LzhStream& s) { s.Bits(20, 5); }},
        {"single code-length symbol 19", [](LzhStream& s) { s.Bits(0, 5), s.Bits(19, 5); }},
        {"code length 17",
         [](LzhStream& s) {
             s.Bits(1, 5);
             s.LengthField(17);
         }},
        {"code-length code incomplete",
         [](LzhStream& s) {
             s.Bits(3, 5);
             s.LengthField(1), s.LengthField(2), s.LengthField(0), s.Bits(0, 2);
         }},
        {"code-length code over-subscribed",
         [](LzhStream& s) {
             s.Bits(3, 5);
             s.LengthField(1), s.LengthField(1), s.LengthField(1), s.Bits(0, 2);
         }},
        {"character count 511", [](LzhStream& s) { s.LenCode(), s.Bits(511, 9); }},
        {"single character 510", [](LzhStream& s) { s.LenCode(), s.Bits(0, 9), s.Bits(510, 9); }},
        {"zero run past the character table",
         [](LzhStream& s) {
             s.LenCode();
             s.Bits(2, 9);
             s.Bits(2, 4), s.Bits(511, 9);  // 531 zeros
         }},
        {"character code incomplete",
         [](LzhStream& s) {
             s.LenCode();
             s.CharLens(std::vector<std::uint8_t>(kChars, 9));
         }},
        {"character lengths all zero",
         [](LzhStream& s) {
             s.LenCode();
             s.Bits(5, 9);
             for (int i = 0; i < 5; ++i) s.Bits(0, 4);
         }},
        {"position count above the position codes",
         [](LzhStream& s) {
             s.LenCode(), s.CharLens(CompleteLens(kChars));
             s.Bits(15, 4);
         }},
        {"single position symbol 14",
         [](LzhStream& s) {
             s.LenCode(), s.CharLens(CompleteLens(kChars));
             s.Bits(0, 4), s.Bits(14, 4);
         }},
        {"position code incomplete",
         [](LzhStream& s) {
             s.LenCode(), s.CharLens(CompleteLens(kChars));
             s.PosLens(std::vector<std::uint8_t>(14, 4), 4);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LzhStream s;
        s.Block(3, 14, 4);
        s.Literal('a'), s.Literal('b'), s.Literal('c');
        s.Bits(1, 16);  // the damaged block
        c.write(s);
        for (int i = 0; i < 8; ++i) s.Bits(0xFFFF, 16);
        const Result r = Decode(s.bytes, kLh5Params, 1000);
        EXPECT_EQ(r.error, 25110);
        EXPECT_EQ(r.out, ToBytes("abc"));
    }
}

// Hostile input: whatever the bytes, decoding ends with 25110 or within the
// original size, and the same way for any read chunking.
TEST(StaticHuffman, RandomInputEndsCleanly) {
    std::mt19937 rng(11);
    for (int round = 0; round < 300; ++round) {
        Bytes in(64 + rng() % 2000);
        for (auto& b : in) b = static_cast<std::uint8_t>(rng());
        if (round % 2) in[0] = 0, in[1] = 40, in[2] = 0x80;  // plausible block and counts
        const StaticHuffmanParams& p = round % 3 ? kLh5Params : kArjParams;
        const Result whole = Decode(in, p, 70000);
        const Result bytewise = Decode(in, p, 70000, 1);
        EXPECT_TRUE(whole.error == 0 || whole.error == 25110);
        EXPECT_LE(whole.out.size(), 70000u);
        EXPECT_EQ(whole.out, bytewise.out);
        EXPECT_EQ(whole.error, bytewise.error);
    }
}

}  // namespace
}  // namespace lumora::archive::test
