// The ZOO LZW decoder against a plain LZW encoder written here, and the
// mended faults: end of input, the original size, a full table, the stack.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "archive/decoders/zoo_lzw.h"
#include "archive/lzh_test_support.h"

namespace lumora::archive::test {
namespace {

constexpr unsigned kClear = 256;
constexpr unsigned kEnd = 257;

// Writes codes least significant bit first, at the width the decoder reads
// them: 9 bits after a clear, one more each time its next free entry
// reaches 512, 1024, 2048 and 4096. The decoder adds an entry for every
// code but the first after a clear, and none beyond 8191.
class CodeWriter {
public:
    void Code(unsigned code) {
        acc_ |= std::uint64_t{code} << used_;
        used_ += Width();
        while (used_ >= 8) {
            bytes.push_back(static_cast<std::uint8_t>(acc_));
            acc_ >>= 8;
            used_ -= 8;
        }
        if (code == kClear) {
            sinceClear_ = 0;
        } else {
            ++sinceClear_;
        }
    }
    void Finish() {
        if (used_ > 0) bytes.push_back(static_cast<std::uint8_t>(acc_));
        acc_ = used_ = 0;
    }
    // The next free entry of the decoder when it reads the next code.
    unsigned NextFree() const {
        return std::min(258u + (sinceClear_ ? sinceClear_ - 1 : 0), 8192u);
    }
    Bytes bytes;

private:
    unsigned Width() const {
        unsigned width = 9;
        while (width < 13 && NextFree() >= (1u << width)) ++width;
        return width;
    }
    std::uint64_t acc_ = 0;
    unsigned used_ = 0;
    unsigned sinceClear_ = 0;
};

// Plain LZW. With `clearWhenFull` the table is cleared once it is full, as
// the archiver does; without, the decoder must go on at 13 bits.
Bytes Encode(const Bytes& data, bool clearWhenFull) {
    CodeWriter w;
    w.Code(kClear);
    std::map<std::pair<unsigned, std::uint8_t>, unsigned> table;
    unsigned next = 258;
    if (!data.empty()) {
        unsigned cur = data[0];
        for (std::size_t i = 1; i < data.size(); ++i) {
            const auto it = table.find({cur, data[i]});
            if (it != table.end()) {
                cur = it->second;
                continue;
            }
            w.Code(cur);
            if (next < 8192) table[{cur, data[i]}] = next++;
            if (next == 8192 && clearWhenFull) {
                w.Code(kClear);
                table.clear();
                next = 258;
            }
            cur = data[i];
        }
        w.Code(cur);
    }
    w.Code(kEnd);
    w.Finish();
    return w.bytes;
}

struct Result {
    Bytes out;
    int error = 0;
};

Result Decode(const Bytes& in, std::uint64_t size, std::size_t chunk = SIZE_MAX) {
    MemorySource src(in, chunk);
    VectorSink sink;
    Result r;
    try {
        const std::uint64_t produced = DecodeZooLzw(src, sink, size);
        EXPECT_EQ(produced, sink.bytes.size());
    } catch (const DecodeError& e) {
        r.error = e.code;
    }
    r.out = std::move(sink.bytes);
    return r;
}

Bytes Sample(std::size_t n, unsigned seed, unsigned alphabet) {
    std::mt19937 rng(seed);
    Bytes b;
    while (b.size() < n) {
        if (b.size() > 50 && rng() % 2) {  // repeat an earlier piece
            const std::size_t from = rng() % (b.size() - 20);
            b.insert(b.end(), b.begin() + from, b.begin() + from + 3 + rng() % 17);
        } else {
            b.push_back(static_cast<std::uint8_t>('A' + rng() % alphabet));
        }
    }
    b.resize(n);
    return b;
}

TEST(ZooLzw, RoundTrips) {
    struct Case {
        const char* name;
        Bytes data;
        bool clearWhenFull;
    };
    const Case cases[] = {
        {"empty", {}, true},
        {"one byte", ToBytes("x"), true},
        {"code equal to the next free entry", ToBytes("aaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"), true},
        {"alternating", ToBytes("abababababababababab"), true},
        {"grows to 13 bits", Sample(60000, 1, 20), true},
        {"clears when full", Sample(400000, 2, 250), true},
        {"table full without a clear", Sample(400000, 3, 250), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes in = Encode(c.data, c.clearWhenFull);
        const Result r = Decode(in, c.data.size() + 10, 5);
        EXPECT_EQ(r.error, 0);
        EXPECT_EQ(r.out, c.data);
    }
}

TEST(ZooLzw, StopsAtTheOriginalSize) {
    const Bytes data = Sample(20000, 4, 10);
    const Result r = Decode(Encode(data, true), 12345);
    EXPECT_EQ(r.error, 0);
    EXPECT_EQ(r.out, Bytes(data.begin(), data.begin() + 12345));
}

// Without the end code the input runs out: 25135, after the bytes decoded.
TEST(ZooLzw, InputEndingBeforeTheEndCodeGives25135) {
    const Bytes data = Sample(20000, 5, 10);
    const Bytes in = Encode(data, true);
    for (std::size_t cut : {std::size_t{0}, std::size_t{1}, in.size() / 2, in.size() - 2}) {
        SCOPED_TRACE(cut);
        const Result r =
            Decode(Bytes(in.begin(), in.begin() + static_cast<std::ptrdiff_t>(cut)), data.size());
        EXPECT_EQ(r.error, 25135);
        ASSERT_LE(r.out.size(), data.size());
        EXPECT_EQ(r.out,
                  Bytes(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(r.out.size())));
    }
}

// Clear, 'a', then codes 258, 259, ...: each is the previous string plus
// its first byte, one byte longer each time (code 258 + k: k + 2 bytes).
Bytes GrowingRun(unsigned codes) {
    CodeWriter w;
    w.Code(kClear);
    w.Code('a');
    for (unsigned k = 0; k < codes; ++k) w.Code(258 + k);
    w.Code(kEnd);
    w.Finish();
    return w.bytes;
}

TEST(ZooLzw, StringsUpToTheStackSizeDecode) {
    const unsigned codes = 2004;  // the longest string: 2005 bytes
    const std::size_t total = 1 + (codes + 3) * std::size_t{codes} / 2;
    const Result r = Decode(GrowingRun(codes), total);
    EXPECT_EQ(r.error, 0);
    EXPECT_EQ(r.out, Bytes(total, 'a'));
}

TEST(ZooLzw, StringLongerThanTheStackGives25196) {
    const unsigned codes = 2005;  // the last string would take 2006 bytes
    const std::size_t before = 1 + (codes + 2) * std::size_t{codes - 1} / 2;
    const Result r = Decode(GrowingRun(codes), 1u << 30);
    EXPECT_EQ(r.error, 25196);
    EXPECT_EQ(r.out, Bytes(before, 'a'));
}

// Hostile input: codes past the next free entry, cycles in the table, no
// end code. Decoding ends with one of the two codes or within the size.
TEST(ZooLzw, RandomInputEndsCleanly) {
    std::mt19937 rng(9);
    for (int round = 0; round < 200; ++round) {
        Bytes in(1 + rng() % 6000);
        for (auto& b : in) b = static_cast<std::uint8_t>(rng());
        const Result r = Decode(in, 100000);
        EXPECT_TRUE(r.error == 0 || r.error == 25135 || r.error == 25196) << r.error;
        EXPECT_LE(r.out.size(), 100000u);
    }
}

}  // namespace
}  // namespace lumora::archive::test
