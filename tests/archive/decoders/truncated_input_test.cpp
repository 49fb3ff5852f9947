// Every decoder on a valid stream cut short while the header still claims
// 300 MB: the output stops within one window of where the input ends, and
// the decoder ends with its format's error for data that ends early (or
// ends normally where the end of the input is the end of the data).
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
constexpr std::size_t kSinkCap = 8u << 20;   // far beyond any right answer here
constexpr std::size_t kLongestString = 258;  // that one symbol of any format stands for

// Keeps what it is given, and stops a decoder that runs away.
class CappedSink : public OutputSink {
public:
    struct Overflow {};
    void Write(const std::uint8_t* data, std::size_t n) override {
        if (bytes.size() + n > kSinkCap) throw Overflow{};
        bytes.insert(bytes.end(), data, data + n);
    }
    Bytes bytes;
};

// A decoder behind one signature: the error it ended with (0 for none).
using Decoder = std::function<int(ByteSource&, OutputSink&, std::uint64_t claimed)>;

struct Decoded {
    Bytes out;
    int error = 0;
    bool ranAway = false;
};

Decoded Decode(const Decoder& decode, const Bytes& in, std::size_t chunk = SIZE_MAX) {
    MemorySource src(in, chunk);
    CappedSink sink;
    Decoded r;
    try {
        r.error = decode(src, sink, kClaimed);
    } catch (const DecodeError& e) {
        r.error = e.code;
    } catch (const CappedSink::Overflow&) {
        r.ranAway = true;
    }
    r.out = std::move(sink.bytes);
    return r;
}

template <typename F>
Decoder Returning(F f) {
    return [f](ByteSource& in, OutputSink& out, std::uint64_t n) {
        f(in, out, n);
        return 0;
    };
}

// Text-like bytes from a small alphabet: every compressor packs them evenly.
Bytes Sample(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto& c : b) c = static_cast<std::uint8_t>("etaoin shrdlu\r\n"[rng() % 15]);
    return b;
}

Bytes RawDeflate(const Bytes& data) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
    Bytes out(deflateBound(&z, data.size()));
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// Shrink: 9-bit literal codes (the table fills, but no code names it).
Bytes ShrinkLiterals(const Bytes& data) {
    LsbBitWriter w;
    for (auto b : data) w.Bits(b, 9);
    return w.bytes;
}

// Reduce: 256 empty follower sets, then every byte literal; 144 escaped.
Bytes ReduceLiterals(const Bytes& data) {
    LsbBitWriter w;
    for (int i = 0; i < 256; ++i) w.Bits(0, 6);
    for (auto b : data) {
        w.Bits(b, 8);
        if (b == 144) w.Bits(0, 8);
    }
    return w.bytes;
}

// Implode without a literal tree: length and distance trees of 64 six-bit
// codes each (four runs of 16), then a 1 bit and 8 plain bits per byte.
Bytes ImplodeLiterals(const Bytes& data) {
    LsbBitWriter w;
    for (int tree = 0; tree < 2; ++tree) {
        w.Bits(3, 8);
        for (int run = 0; run < 4; ++run) w.Bits(15 << 4 | 5, 8);
    }
    for (auto b : data) {
        w.Bit(1);
        w.Bits(b, 8);
    }
    return w.bytes;
}

// The static-Huffman block format with one block per 16 KB: the code-length
// code has one symbol (10, taking no bits), so the 256 literals get 8-bit
// codes equal to their value; the position code has one symbol too.
Bytes StaticHuffmanLiterals(const Bytes& data, unsigned posBits) {
    MsbBitWriter w;
    for (std::size_t at = 0; at < data.size(); at += 16384) {
        const std::size_t n = std::min<std::size_t>(16384, data.size() - at);
        w.Bits(static_cast<std::uint32_t>(n), 16);
        w.Bits(0, 5);
        w.Bits(10, 5);
        w.Bits(256, 9);
        w.Bits(0, posBits);
        w.Bits(0, posBits);
        for (std::size_t i = 0; i < n; ++i) w.Bits(data[at + i], 8);
    }
    return w.bytes;
}

Bytes ArjMethod4Literals(const Bytes& data) {
    MsbBitWriter w;
    for (auto b : data) {
        w.Bit(0);
        w.Bits(b, 8);
    }
    return w.bytes;
}

// ZOO LZW: literal codes, widened as the decoder's table grows, then 257.
Bytes ZooLzwLiterals(const Bytes& data) {
    LsbBitWriter w;
    unsigned width = 9, next = 258;
    for (auto b : data) {
        w.Bits(b, width);
        if (next < 8192 && ++next >= (1u << width) && width < 13) ++width;
    }
    w.Bits(257, width);
    return w.bytes;
}

// ARC squeeze: 255 nodes of a complete tree whose 256 leaves are the bytes
// (node i has children 2i + 1 and 2i + 2; from 255 on they are leaves).
Bytes SqueezeLiterals(const Bytes& data) {
    Bytes out = {255, 0};
    for (int i = 0; i < 255; ++i) {
        for (int child : {2 * i + 1, 2 * i + 2}) {
            const int e = child < 255 ? child : -(child - 255 + 1);
            out.push_back(static_cast<std::uint8_t>(e & 0xFF));
            out.push_back(static_cast<std::uint8_t>((e >> 8) & 0xFF));
        }
    }
    LsbBitWriter w;
    for (auto b : data) {
        std::vector<unsigned> path;
        for (unsigned n = b + 255u; n != 0; n = (n - 1) / 2) path.push_back((n - 1) % 2);
        for (auto it = path.rbegin(); it != path.rend(); ++it) w.Bit(*it);
    }
    out.insert(out.end(), w.bytes.begin(), w.bytes.end());
    return out;
}

struct Case {
    const char* name;
    Decoder decode;
    Bytes stream;
    Bytes original;  // empty: any input is data of this format
    std::size_t window;
    int error;  // when the input is cut short
};

std::vector<Case> Cases() {
    const Bytes text = Sample(200000, 1);
    std::mt19937 rng(2);
    Bytes noise(20000);
    for (auto& b : noise) b = static_cast<std::uint8_t>(rng());
    const auto huffman = [](const StaticHuffmanParams& p) -> Decoder {
        return Returning([p](ByteSource& in, OutputSink& out, std::uint64_t n) {
            DecodeStaticHuffman(in, out, p, n);
        });
    };
    return {
        {"deflate",
         [](ByteSource& in, OutputSink& out, std::uint64_t) {
             const InflateResult r = Inflate(in, out);
             return r.status == InflateStatus::kTruncated ? ecode::ReadError : r.errorCode;
         },
         RawDeflate(text), text, 32768, ecode::ReadError},
        {"shrink", Returning(DecodeShrink), ShrinkLiterals(text), text, 32768, 0},
        {"reduce", Returning([](ByteSource& in, OutputSink& out, std::uint64_t n) {
             DecodeReduce(in, out, n, 2);
         }),
         ReduceLiterals(text), text, 4096, 0},
        {"implode", Returning([](ByteSource& in, OutputSink& out, std::uint64_t n) {
             DecodeImplode(in, out, n, {true, false});
         }),
         ImplodeLiterals(text), text, 8192, 0},
        {"lh5", huffman(kLh5Params), StaticHuffmanLiterals(text, 4), text, 26624, ecode::ReadError},
        {"arj1", huffman(kArjParams), StaticHuffmanLiterals(text, 5), text, 26624,
         ecode::ReadError},
        {"arj4", Returning(DecodeArjMethod4), ArjMethod4Literals(text), text, 26624,
         ecode::ReadError},
        {"lh1", Returning(DecodeLh1), noise, {}, 4096, ecode::ReadError},
        {"zoo lzw", Returning(DecodeZooLzw), ZooLzwLiterals(text), text, 4096, ecode::ReadError},
        {"arc squeeze",
         Returning([](ByteSource& in, OutputSink& out, std::uint64_t) { Unsqueeze(in, out); }),
         SqueezeLiterals(text), text, 4096, 0},
    };
}

std::size_t CommonPrefix(const Bytes& a, const Bytes& b) {
    return static_cast<std::size_t>(std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first -
                                    a.begin());
}

// Where the input ends in the output: the bytes decoded alike whatever
// follows the cut (two random continuations; they part at the first symbol
// that reads past the cut).
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
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        if (!c.original.empty()) {
            // The whole stream is the original (decoders without an end code
            // stop at its size).
            MemorySource src(c.stream);
            CappedSink sink;
            c.decode(src, sink, c.original.size());
            ASSERT_EQ(sink.bytes, c.original);
        }
        for (std::size_t cut : {c.stream.size() / 4, c.stream.size() / 2, c.stream.size() - 1}) {
            SCOPED_TRACE(cut);
            const Bytes head(c.stream.begin(), c.stream.begin() + static_cast<std::ptrdiff_t>(cut));
            const Decoded r = Decode(c.decode, head);
            if (r.ranAway) {
                ADD_FAILURE() << "kept writing past the end of the input";
                continue;
            }
            EXPECT_EQ(r.error, c.error);
            // Where the decoder stops does not depend on how the input arrives.
            const Decoded bytewise = Decode(c.decode, head, 1);
            EXPECT_EQ(bytewise.out, r.out);
            EXPECT_EQ(bytewise.error, r.error);
            const std::size_t atCut = OutputAtCut(c.decode, head);
            EXPECT_LE(r.out.size(), atCut + c.window);
            if (!c.original.empty()) {
                // What came before the end is the original (but for the
                // symbol the random continuations may have completed alike).
                const std::size_t sure = std::min({r.out.size(), atCut, c.original.size()});
                EXPECT_GE(CommonPrefix(r.out, c.original) + kLongestString, sure);
            }
        }
    }
}

}  // namespace
}  // namespace lumora::archive::test
