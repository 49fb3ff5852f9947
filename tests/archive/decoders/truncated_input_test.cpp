// Every decoder on a valid stream cut short while the header still claims
// 300 MB: the output stops within one window of where the input ends, what
// came before is the original, and the decoder ends with its format's error
// for data that ends early (or ends normally where it has no end code).
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <functional>
#include <random>

#include "archive/core/error_codes.h"
#include "archive/decoders/arc_squeeze.h"
#include "archive/decoders/arj_method4.h"
#include "archive/decoders/implode.h"
#include "archive/decoders/inflate.h"
#include "archive/decoders/lh1.h"
#include "archive/decoders/reduce.h"
#include "archive/decoders/shrink.h"
#include "archive/decoders/static_huffman.h"
#include "archive/decoders/zoo_lzw.h"
#include "archive/legacy_test_support.h"

namespace lumora::archive::test {
namespace {

constexpr std::uint64_t kClaimed = 300u << 20;
constexpr std::size_t kLongestString = 258;  // that one symbol of any format stands for

// Stops a decoder that runs away: 8 MB is far beyond any right answer here.
struct CappedSink : VectorSink {
    struct Overflow {};
    void Write(const std::uint8_t* data, std::size_t n) override {
        if (bytes.size() + n > (8u << 20)) throw Overflow{};
        VectorSink::Write(data, n);
    }
};

using Decoder = std::function<void(ByteSource&, OutputSink&, std::uint64_t claimed)>;

// The output and the DecodeError code (0 for none, -1 for a runaway).
Outcome Decode(const Decoder& decode, const Bytes& in, std::uint64_t claimed = kClaimed) {
    MemorySource src(in);
    CappedSink sink;
    Outcome r;
    try {
        decode(src, sink, claimed);
    } catch (const DecodeError& e) {
        r.error = e.code;
    } catch (const CappedSink::Overflow&) {
        r.error = -1;
    }
    r.out = std::move(sink.bytes);
    return r;
}

Bytes RawDeflate(const Bytes& data) {  // zlib's stream without its header and checksum
    uLongf n = compressBound(static_cast<uLong>(data.size()));
    Bytes z(n);
    EXPECT_EQ(compress2(z.data(), &n, data.data(), static_cast<uLong>(data.size()), 9), Z_OK);
    return Bytes(z.begin() + 2, z.begin() + static_cast<std::ptrdiff_t>(n) - 4);
}

// Each encoder below writes every byte as a literal. This one: `head` (whole
// bytes), then `width` bits a byte, after a 1 bit when `flagged`.
template <typename Writer>
Bytes Literals(const Bytes& data, Bytes head, unsigned width, bool flagged = false) {
    Writer w;
    w.bytes = std::move(head);
    for (auto b : data) w.Bits(flagged ? 1u | b << 1 : b, width);
    return w.bytes;
}

// Blocks of 16 KB whose code-length code and position code have one symbol
// each (taking no bits), so the 256 literals get 8-bit codes equal to their
// value.
Bytes StaticHuffmanLiterals(const Bytes& data, unsigned posBits) {
    MsbBitWriter w;
    for (std::size_t at = 0; at < data.size(); at += 16384) {
        const std::size_t n = std::min<std::size_t>(16384, data.size() - at);
        w.Bits(static_cast<std::uint32_t>(n), 16);
        w.Bits(10, 10);  // no code-length code lengths: its one symbol is 10
        w.Bits(256, 9);
        w.Bits(0, 2 * posBits);
        for (std::size_t i = 0; i < n; ++i) w.Bits(data[at + i], 8);
    }
    return w.bytes;
}

Bytes ZooLzwLiterals(const Bytes& data) {  // widened as the table grows; 257 ends
    LsbBitWriter w;
    unsigned width = 9, next = 258;
    for (auto b : data) {
        w.Bits(b, width);
        if (next < 8192 && ++next >= (1u << width) && width < 13) ++width;
    }
    w.Bits(257, width);
    return w.bytes;
}

// A complete tree of 255 nodes: node i has children 2i + 1 and 2i + 2, from
// 255 on they are the leaves, so a byte's code is its 8 bits.
Bytes SqueezeLiterals(const Bytes& data) {
    LsbBitWriter w;
    w.Bits(255, 16);
    for (int child = 1; child <= 510; ++child) w.Bits(child < 255 ? child : 254 - child, 16);
    for (auto b : data) w.Code(b, 8);
    return w.bytes;
}

std::size_t CommonPrefix(const Bytes& a, const Bytes& b) {
    return static_cast<std::size_t>(std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first -
                                    a.begin());
}

// Where the input ends in the output: the bytes decoded alike whatever
// follows the cut (two random continuations part at the first symbol that
// reads past it).
std::size_t OutputAtCut(const Decoder& decode, const Bytes& head) {
    std::mt19937 rng(static_cast<unsigned>(head.size()));
    Bytes a = head, b = head;
    for (int i = 0; i < 64; ++i) {
        a.push_back(static_cast<std::uint8_t>(rng()));
        b.push_back(static_cast<std::uint8_t>(rng()));
    }
    return CommonPrefix(Decode(decode, a).out, Decode(decode, b).out);
}

TEST(TruncatedInput, EveryDecoderStopsWithinAWindowOfTheEnd) {
    std::mt19937 rng(1);
    Bytes text(200000), noise(20000);
    for (auto& c : text) c = static_cast<std::uint8_t>("etaoin shrdlu\r\n"[rng() % 15]);  // ASCII
    for (auto& b : noise) b = static_cast<std::uint8_t>(rng());
    const struct {
        const char* name;
        Decoder decode;
        Bytes stream;
        Bytes original;  // empty: any input is data of this format
        std::size_t window;
        int error;  // when the input is cut short
    } cases[] = {
        {"deflate",
         [](ByteSource& in, OutputSink& out, std::uint64_t) {
             const InflateResult r = Inflate(in, out);
             if (r.status == InflateStatus::kTruncated) throw DecodeError{ecode::ReadError};
             if (r.errorCode != 0) throw DecodeError{r.errorCode};
         },
         RawDeflate(text), text, 32768, ecode::ReadError},
        {"shrink", DecodeShrink, Literals<LsbBitWriter>(text, {}, 9), text, 32768, 0},
        {"reduce",  // 256 empty follower sets; the text has no 144 to escape
         [](ByteSource& in, OutputSink& out, std::uint64_t n) { DecodeReduce(in, out, n, 2); },
         Literals<LsbBitWriter>(text, Bytes(192), 8), text, 4096, 0},
        {"implode",  // no literal tree; two trees of 64 six-bit codes in 4 runs
         [](ByteSource& in, OutputSink& out, std::uint64_t n) {
             DecodeImplode(in, out, n, {true, false});
         },
         Literals<LsbBitWriter>(text, {3, 0xF5, 0xF5, 0xF5, 0xF5, 3, 0xF5, 0xF5, 0xF5, 0xF5}, 9,
                                true),
         text, 8192, 0},
        {"lh5",  // the static-Huffman decoder of the LZH family and ARJ methods 1-3
         [](ByteSource& in, OutputSink& out, std::uint64_t n) {
             DecodeStaticHuffman(in, out, kLh5Params, n);
         },
         StaticHuffmanLiterals(text, 4), text, 26624, ecode::ReadError},
        {"arj4", DecodeArjMethod4, Literals<MsbBitWriter>(text, {}, 9), text, 26624,
         ecode::ReadError},
        {"lh1", DecodeLh1, noise, {}, 4096, ecode::ReadError},
        {"zoo lzw", DecodeZooLzw, ZooLzwLiterals(text), text, 4096, ecode::ReadError},
        {"arc squeeze", [](ByteSource& in, OutputSink& out, std::uint64_t) { Unsqueeze(in, out); },
         SqueezeLiterals(text), text, 4096, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // The encoders are right (decoders without an end code stop at the size).
        if (!c.original.empty()) {
            ASSERT_EQ(Decode(c.decode, c.stream, c.original.size()).out, c.original);
        }
        for (std::size_t cut : {c.stream.size() / 4, c.stream.size() / 2, c.stream.size() - 1}) {
            SCOPED_TRACE(cut);
            const Bytes head(c.stream.begin(), c.stream.begin() + static_cast<std::ptrdiff_t>(cut));
            const Outcome r = Decode(c.decode, head);
            EXPECT_NE(r.error, -1) << "kept writing past the end of the input";
            EXPECT_EQ(r.error, c.error);
            const std::size_t atCut = OutputAtCut(c.decode, head);
            EXPECT_LE(r.out.size(), atCut + c.window);
            // What came before the end is the original (but for the symbol
            // the random continuations may have completed alike).
            const std::size_t sure = std::min({r.out.size(), atCut, c.original.size()});
            EXPECT_GE(CommonPrefix(r.out, c.original) + kLongestString, sure);
        }
    }
}

}  // namespace
}  // namespace lumora::archive::test
