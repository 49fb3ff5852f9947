// The ARC decoders on their own: the run-length step, squeezed trees, the
// crunch table (against a small encoder with the same slot placement), and
// the dynamic LZW methods against data written by the compress program,
// whose code stream they share. Damaged streams end with their codes.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "archive/archive_test_support.h"
#include "archive/cabarc_test_support.h"
#include "archive/decoders/arc_lzw.h"
#include "archive/decoders/arc_rle.h"
#include "archive/decoders/arc_squeeze.h"
#include "archive/formats/arc/arc_decode.h"

namespace lumora::archive {
namespace {

using Bytes = std::string;

struct Outcome {
    Bytes out;
    int error = 0;  // DecodeError code, 0 when none
};

Outcome RunMethod(int method, const Bytes& data) {
    cabarc::StringSource src(data);
    cabarc::StringSink sink;
    Outcome o;
    try {
        DecodeArcMember(method, src, sink);
    } catch (const DecodeError& e) {
        o.error = e.code;
    }
    o.out = sink.bytes;
    return o;
}

Bytes DecodeLzw(const Bytes& data, ArcLzwKind kind) {
    cabarc::StringSource src(data);
    cabarc::StringSink sink;
    DecodeArcLzw(src, sink, kind);
    return sink.bytes;
}

Bytes Text(std::size_t n, unsigned seed) {
    static const char* const words[] = {"the ", "archive ", "list ",        "of ",  "files ",
                                        "BBS ", "\r\n",     "description ", "aaaa", "zz"};
    std::mt19937 rng(seed);
    Bytes b;
    while (b.size() < n) b += words[rng() % 10];
    b.resize(n);
    return b;
}

// Text, a run of `gap` bytes that uses none of its strings, and the same
// text again: its strings are written from the table, their last
// appearance in the output being too far back.
Bytes Stale(std::size_t gap) {
    const Bytes text = Text(30000, 8);
    return text + Bytes(gap, 'a') + text;
}

// Runs, the escaped marker, and a run with nothing before it, split at
// every point between two writes.
TEST(ArcRunLength, ExpandsRunsAcrossWrites) {
    const std::pair<Bytes, Bytes> cases[] = {
        {"\x41\x90\x05", "AAAAA"},
        {Bytes("\x90\x00", 2), "\x90"},
        {"\x41\x90\x01", "A"},  // a count of 1 adds nothing
        {Bytes("\x41\x90\x00\x90\x03", 5),
         "A\x90"
         "AA"},  // 0x90 itself is not remembered
        {"\x42\x90\xFF", Bytes(255, 'B')},
        {"\x90\x03", Bytes(2, '\0')},
    };
    for (const auto& [in, out] : cases) {
        for (std::size_t split = 0; split <= in.size(); ++split) {
            cabarc::StringSink sink;
            ArcRleSink rle(sink);
            const auto* p = reinterpret_cast<const std::uint8_t*>(in.data());
            rle.Write(p, split);
            rle.Write(p + split, in.size() - split);
            rle.Flush();
            EXPECT_EQ(sink.bytes, out) << "split at " << split;
        }
    }
}

// Squeezed data: node count, nodes (two 16-bit entries each), code bits.
Bytes Squeezed(std::initializer_list<int> entries, const Bytes& bits) {
    Bytes b;
    auto put16 = [&b](int v) {
        b += static_cast<char>(v & 0xFF);
        b += static_cast<char>((v >> 8) & 0xFF);
    };
    put16(static_cast<int>(entries.size() / 2));
    for (int e : entries) put16(e);
    return b + bits;
}

int Leaf(int value) {
    return -(value + 1);
}

// ---- Crunch (methods 5 to 7) ----

// The compressor's side of crunch: an LZW over 4096 slots placed with the
// same hash and collision rule, written as 12-bit codes in pairs.
class CrunchEncoder {
public:
    explicit CrunchEncoder(bool oldHash) : oldHash_(oldHash) {
        for (int c = 0; c < 256; ++c) Enter(0xFFFF, c);
    }

    Bytes Encode(const Bytes& in) {
        if (in.empty()) return {};
        int pred = strings_.at({0xFFFF, static_cast<std::uint8_t>(in[0])});
        for (std::size_t i = 1; i < in.size(); ++i) {
            const auto c = static_cast<std::uint8_t>(in[i]);
            const auto it = strings_.find({pred, c});
            if (it != strings_.end()) {
                pred = it->second;
                continue;
            }
            Emit(pred);
            if (strings_.size() < 4096) Enter(pred, c);
            pred = strings_.at({0xFFFF, c});
        }
        Emit(pred);
        if (half_) out_ += static_cast<char>(held_ << 4);
        return out_;
    }

private:
    unsigned Hash(unsigned p, unsigned f) const {
        const unsigned sum = (p + f) & 0xFFFF;
        if (!oldHash_) return (sum * 15073u) & 0xFFF;
        const std::uint32_t m = (sum | 0x800) & 0xFFFF;
        return ((m * m) >> 6) & 0xFFF;
    }
    void Enter(int p, int f) {
        unsigned h = Hash(static_cast<unsigned>(p), static_cast<unsigned>(f));
        if (used_[h]) {
            while (next_[h] != 0) h = next_[h];
            unsigned t = (h + 101) & 0xFFF;
            while (used_[t]) t = (t + 1) & 0xFFF;
            next_[h] = t;
            h = t;
        }
        used_[h] = true;
        strings_[{p, f}] = static_cast<int>(h);
    }
    void Emit(int code) {
        if (!half_) {
            out_ += static_cast<char>(code >> 4);
            held_ = code & 0xF;
        } else {
            out_ += static_cast<char>(held_ << 4 | code >> 8);
            out_ += static_cast<char>(code & 0xFF);
        }
        half_ = !half_;
    }

    bool oldHash_;
    std::map<std::pair<int, int>, int> strings_;
    std::vector<bool> used_ = std::vector<bool>(4096);
    std::vector<unsigned> next_ = std::vector<unsigned>(4096);
    Bytes out_;
    int held_ = 0;
    bool half_ = false;
};

// Both hashes, up to a full table; method 5 writes the codes as they are,
// 6 and 7 pass the run-length step.
TEST(ArcCrunch, DecodesWhatTheEncoderWrites) {
    for (bool oldHash : {true, false}) {
        for (const Bytes& in : {Bytes("A"), Bytes("ABABABA"), Bytes(25, 'a'), Text(3000, 1),
                                Text(200000, 2), Stale(1600000)}) {
            SCOPED_TRACE((oldHash ? "old hash, " : "new hash, ") + std::to_string(in.size()));
            const auto kind = oldHash ? ArcLzwKind::CrunchOldHash : ArcLzwKind::CrunchNewHash;
            EXPECT_EQ(DecodeLzw(CrunchEncoder(oldHash).Encode(in), kind), in);
        }
    }
    const Bytes runs = "\x41\x90\x05";
    EXPECT_EQ(RunMethod(5, CrunchEncoder(true).Encode(runs)).out, runs);
    EXPECT_EQ(RunMethod(6, CrunchEncoder(true).Encode(runs)).out, "AAAAA");
    EXPECT_EQ(RunMethod(7, CrunchEncoder(false).Encode(runs)).out, "AAAAA");
}

// ---- Dynamic LZW (methods 8 and 9) ----

class ArcDynamicLzw : public test::TempDirTest {
protected:
    // The code stream of compress with `bits` bits, its three-byte header
    // removed.
    Bytes Compressed(const Bytes& in, int bits) {
        test::WriteFile(Path("in.dat"), in);
        const std::string cmd = "compress -c -b " + std::to_string(bits) + " '" +
                                Path("in.dat").string() + "' >'" + Path("out.Z").string() + "'";
        EXPECT_EQ(std::system(cmd.c_str()), 0);
        const Bytes out = test::ReadFile(Path("out.Z"));
        return out.size() > 3 ? out.substr(3) : Bytes{};
    }
};

// 12 and 13 bits, up to a table the compressor clears (noise between
// text), long strings of one byte, and strings last seen long before;
// method 8 passes the run-length step.
TEST_F(ArcDynamicLzw, DecodesTheCodeStreamOfCompress) {
    if (!test::HaveTool("compress")) GTEST_SKIP() << "the compress program is not installed";
    std::mt19937 rng(7);
    Bytes clearing = Text(150000, 3);
    for (int i = 0; i < 60000; ++i) clearing += static_cast<char>(rng());
    clearing += Text(150000, 4);
    const Bytes runs = Bytes(3 << 20, 'a') + Text(100000, 6) + Bytes(1 << 20, 'b');
    for (const Bytes& in : {Bytes("a"), Bytes("hello hello hello hello\n"), Text(5000, 5), clearing,
                            runs, Stale(1600000)}) {
        SCOPED_TRACE(in.size());
        EXPECT_TRUE(DecodeLzw("\x0C" + Compressed(in, 12), ArcLzwKind::Dynamic12) == in);
        EXPECT_TRUE(DecodeLzw(Compressed(in, 13), ArcLzwKind::Dynamic13) == in);
    }
    EXPECT_EQ(RunMethod(8, "\x0C" + Compressed("\x41\x90\x05 and more", 12)).out, "AAAAA and more");
    // Runs and strings that cross the output's 64 KiB pieces.
    Bytes packedRuns, expanded;
    for (int i = 0; i < 2000; ++i) {
        const Bytes word = Text(1 + i % 37, static_cast<unsigned>(i));
        const auto runLength = static_cast<unsigned char>(2 + i % 250);
        packedRuns += word + "\x90" + static_cast<char>(runLength);
        expanded += word + Bytes(runLength - 1u, word.back());
    }
    EXPECT_TRUE(RunMethod(8, "\x0C" + Compressed(packedRuns, 12)).out == expanded);
}

// 9-bit codes, least significant bit first.
Bytes Codes9(std::initializer_list<int> codes) {
    Bytes b;
    std::uint32_t acc = 0;
    int n = 0;
    for (int c : codes) {
        acc |= static_cast<std::uint32_t>(c) << n;
        for (n += 9; n >= 8; n -= 8, acc >>= 8) b += static_cast<char>(acc & 0xFF);
    }
    if (n > 0) b += static_cast<char>(acc);
    return b;
}

// Squeezed trees (method 4): a walk that stops at the end code, the
// run-length step, and every damaged tree; dynamic LZW (8 and 9): the
// special cases of the table and damaged codes.
TEST(ArcDecoders, StreamsAndTheirDamage) {
    const struct {
        const char* what;
        int method;
        Bytes data;
        int error;
        Bytes out;
    } cases[] = {
        // node 0: 0 -> 'A', 1 -> node 1; node 1: 0 -> 'B', 1 -> end. A B A end
        // = 0 10 0 11, least significant first; the byte after is not read.
        {"end code", 4, Squeezed({Leaf('A'), 1, Leaf('B'), Leaf(256)}, "\x32\xFF"), 0, "ABA"},
        // A 0x90 0x05 end = 0 10 110 111.
        {"runs", 4, Squeezed({Leaf('A'), 1, Leaf(0x90), 2, Leaf(5), Leaf(256)}, "\xDA\x01"), 0,
         "AAAAA"},
        {"node count 0: no bytes", 4, Bytes("\x00\x00\x00\x00", 4), 0, ""},
        {"no data at all", 4, "", 0, ""},
        {"node count 257", 4, Bytes("\x01\x01", 2), ecode::BadDecodingTree, ""},
        {"negative node count", 4, "\xFF\xFF", ecode::BadDecodingTree, ""},
        {"node index beyond the count", 4, Squeezed({Leaf('A'), 5}, "\x02"), ecode::BadDecodingTree,
         "A"},
        {"leaf beyond the end code", 4, Squeezed({Leaf('A'), Leaf(300)}, "\x02"),
         ecode::BadDecodingTree, "A"},
        {"data ends without the end code", 4, Squeezed({Leaf('A'), Leaf('B')}, "\x02"), 0,
         "ABAAAAAA"},
        {"method 8 without the leading 12", 8, "\x0B" + Codes9({'A'}), ecode::BadBitCount, ""},
        {"string plus its first byte", 9, Codes9({'A', 257}), 0, "AAA"},
        {"code beyond the next free one", 9, Codes9({'A', 'B', 300}), ecode::BadCode, "AB"},
        {"first code not a byte", 9, Codes9({258}), ecode::BadCode, ""},
        // A clear drops the rest of its group of eight codes.
        {"code after a clear not a byte", 9, Codes9({'A', 256, 1, 1, 1, 1, 1, 1, 257}),
         ecode::BadCode, "A"},
        {"code after a clear", 9, Codes9({'A', 256, 1, 1, 1, 1, 1, 1, 'B', 'C'}), 0, "ABC"},
        {"empty data", 8, "", 0, ""},
    };
    for (const auto& c : cases) {
        const Outcome o = RunMethod(c.method, c.data);
        EXPECT_EQ(o.error, c.error) << c.what;
        EXPECT_EQ(o.out, c.out) << c.what;
    }
}

// Random data through every method ends, with an error or without, and never
// produces more than the run-length step allows.
TEST(ArcDecoders, RandomDataEnds) {
    std::mt19937 rng(11);
    for (int round = 0; round < 200; ++round) {
        Bytes data(static_cast<std::size_t>(rng() % 3000), '\0');
        for (char& c : data) c = static_cast<char>(rng());
        if (round % 2 == 0 && !data.empty()) data[0] = '\x0C';
        for (int method = 1; method <= 9; ++method)
            EXPECT_LE(RunMethod(method, data).out.size(), 255 * 8192 * (data.size() + 1));
    }
}

}  // namespace
}  // namespace lumora::archive
