// BLAKE2s against its published "abc" vector and BLAKE2sp against digests
// made with another implementation, for lengths around the block and
// stripe edges, given whole and in uneven pieces.
#include "archive/core/blake2sp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace lumora::archive {
namespace {

std::string Hex(const Blake2Digest& d) {
    char out[65];
    for (std::size_t i = 0; i < d.size(); ++i) std::snprintf(out + 2 * i, 3, "%02x", d[i]);
    return out;
}

TEST(Blake2sTest, AbcVector) {
    Blake2s h;
    h.Update(reinterpret_cast<const std::uint8_t*>("abc"), 3);
    EXPECT_EQ(Hex(h.Final()), "508c5e8c327c14e2e1a72ba34eeb452f37458b209ed63a294d999b4c86675982");
}

// Byte i of the input is i * 7 + 3 (mod 256). Pieces of 1, 7, 100 and 61
// bytes in turn cross every buffer edge at other places than whole input.
TEST(Blake2sTest, TreeModeOverStripeEdges) {
    const std::pair<std::size_t, const char*> cases[] = {
        {0, "dd0e891776933f43c7d032b08a917e25741f8aa9a12c12e1cac8801500f2ca4f"},
        {1, "456da349adc8eaa1ee5fd8397d9c181c21a8e9173ad90f22613fd34e1d576d44"},
        {63, "fe713f6ccd82f0c81ccd7a7d0c8ef83c631e2e394217859d4af5025202923578"},
        {64, "e375bba69fb1c84c7f202f06e71090695f81786b7413da0cd0126e15a0f80181"},
        {65, "11a6af420901450dd27b0babec0c484c4f7710330040136a17e79df6c54106ae"},
        {511, "63a8cc6d628b88d471d4f81035b367f62b8a14dbf55bd9cca0d945dae8e226cf"},
        {512, "201135254f94f0cf5307da6ae28daf819258fd08df8249684ffbbded6c23e0e5"},
        {513, "4524c7cfa3a7cde180691ba1a3c0d4b9fc20ced214f27e65f5c76dbb0ff44c91"},
        {4103, "519cfb4dcdccd2d0f7ab095289407c4b4d0d481139c2da326808dc973bba5006"},
    };
    for (const auto& [size, digest] : cases) {
        std::vector<std::uint8_t> data(size);
        for (std::size_t i = 0; i < data.size(); ++i)
            data[i] = static_cast<std::uint8_t>(i * 7 + 3);
        Blake2sp whole;
        whole.Update(data.data(), data.size());
        EXPECT_EQ(Hex(whole.Final()), digest) << size;

        Blake2sp pieces;
        const std::size_t steps[] = {1, 7, 100, 61};
        for (std::size_t at = 0, k = 0, n = 0; at < data.size(); at += n, ++k) {
            n = std::min(steps[k % 4], data.size() - at);
            pieces.Update(data.data() + at, n);
        }
        EXPECT_EQ(Hex(pieces.Final()), digest) << size << " in pieces";
    }
}

}  // namespace
}  // namespace lumora::archive
