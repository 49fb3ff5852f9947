// CRC folding and slicing against references, every length and alignment.
#include <gtest/gtest.h>
#include <zlib.h>

#include <array>
#include <random>
#include <vector>

#include "archive/core/crc.h"
#include "archive/core/crc_paths.h"

namespace lumora::archive {
namespace {

using namespace crc_paths;

// x^e mod P by plain long division (normal bit order, P with its top bit),
// mirrored over 33 bits as the folding code stores it.
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
    const auto powers = [](std::uint64_t poly, unsigned width) {
        std::array<std::uint64_t, 6> keys{};
        const unsigned exponents[] = {2080, 2016, 544, 480, 160, 96};
        for (std::size_t i = 0; i < keys.size(); ++i) keys[i] = PowerKey(exponents[i], poly, width);
        return keys;
    };
    const auto keys = [](const FoldKeys& k) {
        return std::array{k.x2080, k.x2016, k.x544, k.x480, k.x160, k.x96};
    };
    EXPECT_EQ(keys(kCrc32Keys), powers(0x104C11DB7, 32));
    EXPECT_EQ(keys(kCrc16Keys), powers(0x18005, 16));
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

// Every length up to several rounds of each folding loop plus partial lanes
// and a tail, from every alignment, on every path this CPU has, with a
// register that is not the initial one (the folding adds it to the first lane).
TEST(CrcTest, PathsAgreeForEveryLengthAndAlignment) {
    const auto data = Noise(616);
    for (const CrcPath path : {CrcPath::Slicing, CrcPath::Folding128, CrcPath::Folding512}) {
        if (!PathAvailable(path)) continue;
        for (std::size_t at = 0; at < 16; ++at) {
            for (std::size_t n = 0; n <= 600; ++n) {
                SCOPED_TRACE(testing::Message()
                             << static_cast<int>(path) << " at " << at << ", length " << n);
                const std::uint8_t* p = data.data() + at;
                const auto zlib = ::crc32(0x5EED, p, static_cast<uInt>(n));
                ASSERT_EQ(~Crc32On(path, ~0x5EEDu, p, n), zlib);
                ASSERT_EQ(Crc16On(path, 0xBEEF, p, n), BitwiseCrc16(0xBEEF, p, n));
            }
        }
    }
}

// Pieces under, at and over the folding minimum, fed one after another.
TEST(CrcTest, UnevenPiecesGiveTheWholeRegister) {
    const auto data = Noise(20000);
    const std::size_t pieces[] = {1, 63, 64, 65, 7, 200, 1000, 15, 16, 17, 4096, 129, 0, 300};
    Crc32 crc32;
    Crc16 crc16(0x1234);
    for (std::size_t i = 0, at = 0; at < data.size(); at += pieces[i++ % std::size(pieces)]) {
        const std::size_t n = std::min(pieces[i % std::size(pieces)], data.size() - at);
        crc32.Update(data.data() + at, n);
        crc16.Update(data.data() + at, n);
    }
    EXPECT_EQ(crc32.Value(), ::crc32(0, data.data(), static_cast<uInt>(data.size())));
    EXPECT_EQ(crc16.Value(), BitwiseCrc16(0x1234, data.data(), data.size()));
}

}  // namespace
}  // namespace lumora::archive
