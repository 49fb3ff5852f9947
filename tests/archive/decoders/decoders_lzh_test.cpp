// The LZH-family decoders on hand-built streams: the static-Huffman LZ
// decoder (block structure, the window, each caller's parameters, every way
// a table can be damaged), ARJ method 4 and -lh1-.
#include <gtest/gtest.h>

#include <bit>
#include <random>

#include "archive/core/error_codes.h"
#include "archive/decoders/arj_method4.h"
#include "archive/decoders/lh1.h"
#include "archive/decoders/static_huffman.h"
#include "archive/legacy_test_support.h"

namespace lumora::archive::test {
namespace {

constexpr unsigned kChars = 510;

// Lengths of a complete code over n symbols: the first ones one bit shorter.
std::vector<std::uint8_t> CompleteLens(unsigned n) {
    const unsigned k = static_cast<unsigned>(std::bit_width(n - 1));
    std::vector<std::uint8_t> lens(n, static_cast<std::uint8_t>(k));
    std::fill_n(lens.begin(), (1u << k) - n, static_cast<std::uint8_t>(k - 1));
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

// Writes blocks of the static-Huffman format, and keeps what the literals
// and matches stand for in `plain`. The code-length code is always 16 codes
// of 4 bits (code-length symbol k has code k), so character lengths up to
// 13 can be written.
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
    void Literals(const std::string& s) {
        for (unsigned char c : s) {
            Bits(charCodes_[c], charLens_[c]);
            plain.push_back(c);
        }
    }
    // `dist` counts back from the byte before: 0 repeats the last byte.
    void Match(unsigned len, std::uint32_t dist) {
        Bits(charCodes_[len + 253], charLens_[len + 253]);
        const unsigned p = static_cast<unsigned>(std::bit_width(dist));
        Bits(posCodes_[p], posLens_[p]);
        if (p > 1) Bits(dist - (1u << (p - 1)), p - 1);
        for (unsigned i = 0; i < len; ++i)
            plain.push_back(dist < plain.size() ? plain[plain.size() - dist - 1] : 0);
    }
    Bytes plain;

private:
    static std::size_t Used(const std::vector<std::uint8_t>& lens) {
        std::size_t n = lens.size();
        while (n > 0 && lens[n - 1] == 0) --n;
        return n;
    }
    std::vector<std::uint8_t> charLens_, posLens_;
    std::vector<std::uint32_t> charCodes_, posCodes_;
};

Outcome Decode(const Bytes& in, const StaticHuffmanParams& p, std::uint64_t size,
               std::size_t chunk = SIZE_MAX) {
    return RunDecoder(in, chunk, [&](ByteSource& src, OutputSink& out) {
        return DecodeStaticHuffman(src, out, p, size);
    });
}

// Literals and matches of every length class, for each caller's window and
// position code count, read in pieces of every size.
TEST(StaticHuffman, DecodesLiteralsAndMatchesForEveryCaller) {
    for (const StaticHuffmanParams& p : {kLh4Params, kLh5Params, kArjParams, kZooLzhParams}) {
        SCOPED_TRACE(p.dicBits);
        LzhStream s;
        s.Block(24, static_cast<unsigned>(p.dicBits) + 1, static_cast<unsigned>(p.posBits));
        s.Literals("LZH block data: ");
        for (auto [len, dist] : {std::pair{3u, 0u},
                                 {4u, 1u},
                                 {10u, 5u},
                                 {256u, 15u},
                                 {17u, 2u},
                                 {200u, 0u},
                                 {5u, 300u},
                                 {3u, 1u}})
            s.Match(len, dist);
        for (std::size_t chunk : {std::size_t{1}, std::size_t{7}, SIZE_MAX}) {
            const Outcome r = Decode(s.bytes, p, s.plain.size(), chunk);
            EXPECT_EQ(r.error, 0);
            EXPECT_EQ(r.out, s.plain);
        }
    }
}

// A new block follows when the count of codes runs out (this one has
// single-symbol tables: every code 0 bits); a block size of 0 ends the data
// early; the original size ends it inside a match.
TEST(StaticHuffman, BlocksAndTheEndOfTheData) {
    LzhStream s;
    s.Block(3, 14, 4);
    s.Literals("abc");
    s.Bits(4, 16);
    s.Bits(0, 5), s.Bits(3, 5);    // code-length code: every code is symbol 3
    s.Bits(0, 9), s.Bits('z', 9);  // character code: every code is 'z'
    s.Bits(0, 4), s.Bits(0, 4);
    s.Bits(0, 16);
    s.Bits(0xFFFF, 16);  // never read
    EXPECT_EQ(Decode(s.bytes, kLh5Params, 1000).out, ToBytes("abczzzz"));
    LzhStream m;
    m.Block(2, 14, 4);
    m.Literals("=");
    m.Match(256, 0);
    EXPECT_EQ(Decode(m.bytes, kLh5Params, 100).out, Bytes(100, '='));
}

// 26624-byte window: matches whose source or destination crosses the wrap.
TEST(StaticHuffman, MatchesAcrossTheWindowWrap) {
    std::mt19937 rng(7);
    LzhStream s;
    s.Block(60000, 14, 4);
    for (unsigned codes = 0; s.plain.size() < 60000 && codes + 2 < 60000; ++codes) {
        if (rng() % 3 != 0 || s.plain.size() < 8192)
            s.Literals(std::string(1, static_cast<char>(rng())));
        else
            s.Match(3 + rng() % 254, rng() % 8192);
    }
    const Outcome r = Decode(s.bytes, kLh5Params, s.plain.size());
    EXPECT_EQ(r.error, 0);
    EXPECT_EQ(r.out, s.plain);
}

// ARJ positions reach 65535 while the window has 26624 bytes: the source
// index is taken modulo the window, which starts zero-filled.
TEST(StaticHuffman, ArjDistancesBeyondTheWindowWrapModuloWindow) {
    LzhStream s;
    s.Block(22, 17, 5);
    s.Literals("abcdefghijklmnopqrst");
    s.Match(5, 26624 + 5);
    s.Match(4, 65535);  // lands in the not yet written part
    const Outcome r = Decode(s.bytes, kArjParams, 29);
    EXPECT_EQ(r.error, 0);
    EXPECT_EQ(r.out, ToBytes(std::string("abcdefghijklmnopqrstopqrs") + std::string(4, '\0')));
}

// Each damaged table ends the data with its code; the bytes decoded from
// the block before it are still written.
TEST(StaticHuffman, DamagedTables) {
    const struct {
        const char* name;
        void (*write)(LzhStream&);
    } cases[] = {
        {"code-length count above 19", [](LzhStream& s) { s.Bits(20, 5); }},
        {"single code-length symbol 19", [](LzhStream& s) { s.Bits(0, 5), s.Bits(19, 5); }},
        {"code length 17", [](LzhStream& s) { s.Bits(1, 5), s.LengthField(17); }},
        {"code-length code incomplete",
         [](LzhStream& s) {
             s.Bits(3, 5);
             s.LengthField(1), s.LengthField(2), s.LengthField(0), s.Bits(0, 2);
         }},
        {"character count 511", [](LzhStream& s) { s.LenCode(), s.Bits(511, 9); }},
        {"single character 510", [](LzhStream& s) { s.LenCode(), s.Bits(0, 9), s.Bits(510, 9); }},
        {"zero run past the character table",
         [](LzhStream& s) { s.LenCode(), s.Bits(2, 9), s.Bits(2, 4), s.Bits(511, 9); }},
        {"character code incomplete",
         [](LzhStream& s) { s.LenCode(), s.CharLens(std::vector<std::uint8_t>(kChars, 9)); }},
        {"character lengths all zero",
         [](LzhStream& s) { s.LenCode(), s.Bits(5, 9), s.Bits(0, 20); }},
        {"position count above the position codes",
         [](LzhStream& s) { s.LenCode(), s.CharLens(CompleteLens(kChars)), s.Bits(15, 4); }},
        {"single position symbol 14",
         [](LzhStream& s) {
             s.LenCode(), s.CharLens(CompleteLens(kChars)), s.Bits(0, 4), s.Bits(14, 4);
         }},
        {"position code incomplete",
         [](LzhStream& s) {
             s.LenCode(), s.CharLens(CompleteLens(kChars));
             s.PosLens(std::vector<std::uint8_t>(14, 4), 4);
         }},
    };
    for (const auto& c : cases) {
        LzhStream s;
        s.Block(3, 14, 4);
        s.Literals("abc");
        s.Bits(1, 16);  // the damaged block
        c.write(s);
        for (int i = 0; i < 8; ++i) s.Bits(0xFFFF, 16);
        const Outcome r = Decode(s.bytes, kLh5Params, 1000);
        EXPECT_EQ(r.error, ecode::BadHuffmanCode) << c.name;
        EXPECT_EQ(r.out, ToBytes("abc")) << c.name;
    }
}

// Hostile input: whatever the bytes, decoding ends with the table error, the
// read error or within the original size, and the same way for any read chunking.
TEST(StaticHuffman, RandomInputEndsCleanly) {
    std::mt19937 rng(11);
    for (int round = 0; round < 300; ++round) {
        Bytes in(64 + rng() % 2000);
        for (auto& b : in) b = static_cast<std::uint8_t>(rng());
        if (round % 2) in[0] = 0, in[1] = 40, in[2] = 0x80;  // plausible block and counts
        const StaticHuffmanParams& p = round % 3 ? kLh5Params : kArjParams;
        const Outcome whole = Decode(in, p, 70000);
        const Outcome bytewise = Decode(in, p, 70000, 1);
        EXPECT_TRUE(whole.error == 0 || whole.error == ecode::BadHuffmanCode ||
                    whole.error == ecode::ReadError);
        EXPECT_LE(whole.out.size(), 70000u);
        EXPECT_EQ(whole.out, bytewise.out);
        EXPECT_EQ(whole.error, bytewise.error);
    }
}

// ---- ARJ method 4 ----

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
        for (std::uint32_t step = 1u << width; width < maxWidth && value >= step; step <<= 1) {
            Bit(1);
            value -= step;
            ++width;
        }
        if (width < maxWidth) Bit(0);
        Bits(value, width);
    }
};

Bytes DecodeArj4(const Bytes& in, std::uint64_t size, std::size_t chunk = SIZE_MAX) {
    return RunDecoder(
               in, chunk,
               [&](ByteSource& src, OutputSink& out) { return DecodeArjMethod4(src, out, size); })
        .out;
}

// Every width of the length and distance codes, read whole and in pieces.
TEST(ArjMethod4, EveryLengthAndDistanceWidth) {
    Method4Stream s;
    for (int i = 0; i < 200; ++i) s.Literal(static_cast<std::uint8_t>(i * 7));
    for (unsigned len : {3u, 4u, 5u, 6u, 9u, 10u, 17u, 18u, 33u, 66u, 129u, 130u, 256u})
        s.Match(len, len % 200);
    for (int i = 0; i < 16000; ++i) s.Literal(static_cast<std::uint8_t>(i));
    for (std::size_t dist : {0u, 511u, 512u, 1535u, 1536u, 3583u, 3584u, 7679u, 7680u, 15871u})
        s.Match(3, dist);
    EXPECT_EQ(DecodeArj4(s.bytes, s.plain.size()), s.plain);
    EXPECT_EQ(DecodeArj4(s.bytes, s.plain.size(), 3), s.plain);
}

// Matches that write across the 26624-byte window's wrap, read across it,
// and read from the previous round.
TEST(ArjMethod4, MatchesAcrossTheWindowWrap) {
    std::mt19937 rng(5);
    Method4Stream s;
    while (s.plain.size() < 26600) s.Literal(static_cast<std::uint8_t>(rng()));
    s.Match(100, 1000);
    while (s.plain.size() < 26624 + 2000) s.Literal(static_cast<std::uint8_t>(rng()));
    s.Match(256, 2100);
    s.Match(200, 15871);
    EXPECT_EQ(DecodeArj4(s.bytes, s.plain.size()), s.plain);
}

// Output stops at the original size inside a match; input that ends early
// is the read error, with what was decoded before it written.
TEST(ArjMethod4, StopsAtTheOriginalSizeOrFailsAtTheEndOfTheInput) {
    Method4Stream s;
    s.Literal('-');
    s.Match(256, 0);
    EXPECT_EQ(DecodeArj4(s.bytes, 50), Bytes(50, '-'));
    EXPECT_TRUE(DecodeArj4(s.bytes, 0).empty());
    Method4Stream x;
    x.Literal('x');
    const Outcome o = RunDecoder(x.bytes, SIZE_MAX, [](ByteSource& src, OutputSink& out) {
        return DecodeArjMethod4(src, out, 40);
    });
    EXPECT_EQ(o.error, ecode::ReadError);
    EXPECT_EQ(o.out, ToBytes("x"));
}

// ---- -lh1- ----

Bytes DecodeLh1(const Bytes& in, std::uint64_t size, std::size_t chunk = SIZE_MAX) {
    const Outcome o = RunDecoder(in, chunk, [&](ByteSource& src, OutputSink& out) {
        return lumora::archive::DecodeLh1(src, out, size);
    });
    EXPECT_EQ(o.out.size(), size);
    return o.out;
}

// The first symbol is a 60-byte match: its source lies in the 4036 blank
// bytes before the start, or in the zero-filled rest of the window.
TEST(Lh1, FirstMatchReadsTheBlankStartOfTheWindow) {
    const struct {
        std::uint32_t prefix;  // code of the upper six distance bits
        unsigned prefixLen;
        unsigned low;  // the lower six bits
        std::uint8_t expected;
    } cases[] = {
        {0b000, 3, 10, ' '},        // distance 10
        {0b11111110, 8, 32, ' '},   // upper bits 62: distance 4000
        {0b11111111, 8, 63, 0x00},  // distance 4095: the byte being written
    };
    for (const auto& c : cases) {
        // Symbol 313 (length 60) in the starting tree, where the leaves stand
        // in symbol order and each inner node joins the next two nodes.
        std::vector<unsigned> path;
        for (unsigned node = 256 + 60 - 3; node != 626; node = 314 + node / 2)
            path.push_back(node & 1);
        MsbBitWriter w;
        for (auto it = path.rbegin(); it != path.rend(); ++it) w.Bit(*it);
        w.Bits(c.prefix, c.prefixLen);
        w.Bits(c.low, 6);
        EXPECT_EQ(DecodeLh1(w.bytes, 60), Bytes(60, c.expected)) << c.low;
    }
}

// Every input is valid -lh1- data. Two megabytes from random bits rebuild the
// tree many times; read chunking must not matter. Input that ends early is
// the read error, whatever the chunking.
TEST(Lh1, LongRandomInputDecodesToTheOriginalSize) {
    std::mt19937 rng(3);
    Bytes in(600000);
    for (auto& b : in) b = static_cast<std::uint8_t>(rng());
    EXPECT_EQ(DecodeLh1(in, 2000000, 1), DecodeLh1(in, 2000000));
    const Bytes head(in.begin(), in.begin() + 1000);
    const auto decode = [](ByteSource& src, OutputSink& out) {
        return lumora::archive::DecodeLh1(src, out, 50000);
    };
    const Outcome whole = RunDecoder(head, SIZE_MAX, decode);
    const Outcome bytewise = RunDecoder(head, 1, decode);
    EXPECT_EQ(whole.error, ecode::ReadError);
    EXPECT_EQ(whole.out, bytewise.out);
    EXPECT_EQ(bytewise.error, ecode::ReadError);
}

}  // namespace
}  // namespace lumora::archive::test
