// The CRC accumulators: folding and slicing give the same registers for every
// length and start alignment, fed at once or in uneven pieces.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <vector>

#include "archive/core/crc.h"
#include "archive/core/crc_paths.h"

namespace lumora::archive {
namespace {

using namespace crc_paths;

// x^e mod P by plain long division (normal bit order, P with its top bit),
// then mirrored over 33 bits as the folding code stores it.
std::uint64_t PowerKey(unsigned e, std::uint64_t poly, unsigned width) {
    std::uint64_t r = 1;
    for (unsigned i = 0; i < e; ++i) {
        r <<= 1;
        if (r >> width & 1) r ^= poly;
    }
    std::uint64_t mirrored = 0;
    for (unsigned bit = 0; bit < 33; ++bit) mirrored |= (r >> bit & 1) << (32 - bit);
    return mirrored;
}

TEST(CrcTest, FoldKeysArePowersOfX) {
    const struct {
        FoldKeys keys;
        std::uint64_t poly;
        unsigned width;
    } cases[] = {{kCrc32Keys, 0x104C11DB7, 32}, {kCrc16Keys, 0x18005, 16}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.keys.x544, PowerKey(544, c.poly, c.width)) << c.width;
        EXPECT_EQ(c.keys.x480, PowerKey(480, c.poly, c.width)) << c.width;
        EXPECT_EQ(c.keys.x160, PowerKey(160, c.poly, c.width)) << c.width;
        EXPECT_EQ(c.keys.x96, PowerKey(96, c.poly, c.width)) << c.width;
    }
}

std::vector<std::uint8_t> Noise(std::size_t n) {
    std::mt19937 gen(2718);
    std::vector<std::uint8_t> v(n);
    for (auto& b : v) b = static_cast<std::uint8_t>(gen());
    return v;
}

// CRC-16 bit by bit, the reference the tables are not involved in.
std::uint16_t BitwiseCrc16(std::uint16_t reg, const std::uint8_t* p, std::size_t n) {
    unsigned c = reg;
    while (n--) {
        c ^= *p++;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xA001u : c >> 1;
    }
    return static_cast<std::uint16_t>(c);
}

// Every length up to several rounds of the four-lane loop plus a partial
// lane and a tail, from every alignment, with a register that is not the
// initial one (the folding adds it to the first lane).
TEST(CrcTest, PathsAgreeForEveryLengthAndAlignment) {
    const auto data = Noise(640);
    const bool folding = CarrylessAvailable();
    for (std::size_t at = 0; at < 16; ++at) {
        for (std::size_t n = 0; n + at <= data.size() && n <= 600; ++n) {
            const std::uint8_t* p = data.data() + at;
            const auto zlib = static_cast<std::uint32_t>(::crc32(0x5EED, p, static_cast<uInt>(n)));
            const std::uint32_t reg = ~std::uint32_t{0x5EED};
            ASSERT_EQ(~Crc32Slicing(reg, p, n), zlib) << at << " " << n;
            if (folding) {
                ASSERT_EQ(~Crc32Folding(reg, p, n), zlib) << at << " " << n;
            }

            const std::uint16_t want = BitwiseCrc16(0xBEEF, p, n);
            ASSERT_EQ(Crc16Slicing(0xBEEF, p, n), want) << at << " " << n;
            if (folding) {
                ASSERT_EQ(Crc16Folding(0xBEEF, p, n), want) << at << " " << n;
            }
        }
    }
}

// Pieces of every size class (under and over the folding minimum) fed one
// after another give the register of the whole.
TEST(CrcTest, UnevenPiecesGiveTheWholeRegister) {
    const auto data = Noise(20000);
    const std::size_t pieces[] = {1, 63, 64, 65, 7, 200, 1000, 15, 16, 17, 4096, 129, 0, 300};
    Crc32 whole32, parts32;
    Crc16 whole16(0x1234), parts16(0x1234);
    whole32.Update(data.data(), data.size());
    whole16.Update(data.data(), data.size());
    std::size_t at = 0;
    for (std::size_t i = 0; at < data.size(); ++i) {
        const std::size_t n = std::min(pieces[i % std::size(pieces)], data.size() - at);
        parts32.Update(data.data() + at, n);
        parts16.Update(data.data() + at, n);
        at += n;
    }
    EXPECT_EQ(parts32.Value(), whole32.Value());
    EXPECT_EQ(whole32.Value(), ::crc32(0, data.data(), static_cast<uInt>(data.size())));
    EXPECT_EQ(parts16.Value(), whole16.Value());
    EXPECT_EQ(whole16.Value(), BitwiseCrc16(0x1234, data.data(), data.size()));
}

}  // namespace
}  // namespace lumora::archive
