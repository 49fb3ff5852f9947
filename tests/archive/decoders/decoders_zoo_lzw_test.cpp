// The ZOO LZW decoder against a plain LZW encoder written here: a full
// table with and without a clear, the original size, input that ends
// early, and the stack bound.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "archive/core/error_codes.h"
#include "archive/decoders/zoo_lzw.h"
#include "archive/legacy_test_support.h"

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
        const unsigned next = std::min(258u + (sinceClear_ ? sinceClear_ - 1 : 0), 8192u);
        unsigned width = 9;
        while (width < 13 && next >= (1u << width)) ++width;
        acc_ |= std::uint64_t{code} << used_;
        for (used_ += width; used_ >= 8; used_ -= 8, acc_ >>= 8)
            bytes.push_back(static_cast<std::uint8_t>(acc_));
        sinceClear_ = code == kClear ? 0 : sinceClear_ + 1;
    }
    Bytes Finish() {
        if (used_ > 0) bytes.push_back(static_cast<std::uint8_t>(acc_));
        return bytes;
    }

private:
    Bytes bytes;
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
    return w.Finish();
}

Outcome Decode(const Bytes& in, std::uint64_t size, std::size_t chunk = SIZE_MAX) {
    return RunDecoder(
        in, chunk, [&](ByteSource& src, OutputSink& out) { return DecodeZooLzw(src, out, size); });
}

Bytes Sample(std::size_t n, unsigned seed, unsigned alphabet) {
    std::mt19937 rng(seed);
    Bytes b;
    while (b.size() < n) {
        if (b.size() > 50 && rng() % 2) {  // repeat an earlier piece
            const std::size_t from = rng() % (b.size() - 20);
            b.insert(b.end(), b.begin() + static_cast<long>(from),
                     b.begin() + static_cast<long>(from + 3 + rng() % 17));
        } else {
            b.push_back(static_cast<std::uint8_t>('A' + rng() % alphabet));
        }
    }
    b.resize(n);
    return b;
}

// Round trips read in pieces of 5 bytes, from empty input to a table that
// fills up with and without a clear.
TEST(ZooLzw, RoundTrips) {
    const struct {
        const char* name;
        Bytes data;
        bool clearWhenFull;
    } cases[] = {
        {"empty", {}, true},
        {"one byte", ToBytes("x"), true},
        {"code equal to the next free entry", Bytes(30, 'a'), true},
        {"alternating", ToBytes("abababababababababab"), true},
        {"grows to 13 bits", Sample(60000, 1, 20), true},
        {"clears when full", Sample(400000, 2, 250), true},
        {"table full without a clear", Sample(400000, 3, 250), false},
    };
    for (const auto& c : cases) {
        const Outcome r = Decode(Encode(c.data, c.clearWhenFull), c.data.size() + 10, 5);
        EXPECT_EQ(r.error, 0) << c.name;
        EXPECT_EQ(r.out, c.data) << c.name;
    }
}

// Output stops at the original size; without the end code the input runs
// out with ReadError, after the bytes decoded.
TEST(ZooLzw, StopsAtTheSizeOrFailsWhenTheInputEnds) {
    const Bytes data = Sample(20000, 4, 10);
    const Bytes in = Encode(data, true);
    const Outcome r = Decode(in, 12345);
    EXPECT_EQ(r.error, 0);
    EXPECT_EQ(r.out, Bytes(data.begin(), data.begin() + 12345));
    for (std::size_t cut : {std::size_t{0}, std::size_t{1}, in.size() / 2, in.size() - 2}) {
        const Outcome c = Decode(Bytes(in.begin(), in.begin() + static_cast<long>(cut)), 20000);
        EXPECT_EQ(c.error, ecode::ReadError) << cut;
        ASSERT_LE(c.out.size(), data.size());
        EXPECT_TRUE(std::equal(c.out.begin(), c.out.end(), data.begin())) << cut;
    }
}

// Clear, 'a', then codes 258, 259, ...: each the previous string plus its
// first byte, code 258 + k giving k + 2 bytes. The longest string that fits
// the stack is 2005 bytes; one more gives StackOverflow after the bytes
// before it.
TEST(ZooLzw, StringsUpToTheStackSize) {
    for (const unsigned codes : {2004u, 2005u}) {
        CodeWriter w;
        w.Code(kClear);
        w.Code('a');
        for (unsigned k = 0; k < codes; ++k) w.Code(258 + k);
        w.Code(kEnd);
        const Outcome r = Decode(w.Finish(), 1u << 30);
        const bool fits = codes == 2004;
        EXPECT_EQ(r.error, fits ? 0 : ecode::StackOverflow);
        const std::size_t done = fits ? codes : codes - 1;  // codes fully written
        EXPECT_EQ(r.out, Bytes(1 + (done + 3) * done / 2, 'a'));
    }
}

// Hostile input: codes past the next free entry, cycles in the table, no
// end code. Decoding ends with one of the two codes or within the size.
TEST(ZooLzw, RandomInputEndsCleanly) {
    std::mt19937 rng(9);
    for (int round = 0; round < 200; ++round) {
        Bytes in(1 + rng() % 6000);
        for (auto& b : in) b = static_cast<std::uint8_t>(rng());
        const Outcome r = Decode(in, 100000);
        EXPECT_TRUE(r.error == 0 || r.error == ecode::ReadError || r.error == ecode::StackOverflow)
            << r.error;
        EXPECT_LE(r.out.size(), 100000u);
    }
}

}  // namespace
}  // namespace lumora::archive::test
