// The RAR bit input: the data as it came, then zeros however far the
// decoder runs past the end, also over a buffer that held other bytes before.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "archive/decoders/memory_source.h"
#include "archive/decoders/rar_unpack.h"

namespace lumora::archive::test {
namespace {

TEST(RarBitInputTest, DataThenZerosToTheEndOfTheBuffer) {
    // Sizes: none, a few bytes, and enough for a refill that moves the rest.
    for (const std::size_t size : {std::size_t{0}, std::size_t{3}, RarBitInput::kBufSize + 100}) {
        SCOPED_TRACE(size);
        std::vector<std::uint8_t> data(size);
        for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<std::uint8_t>(i * 7 + 1);
        {
            // Leaves non-zero bytes in memory the next input is likely given.
            const std::vector<std::uint8_t> ones(RarBitInput::kBufSize, 0xFF);
            MemorySource src(ones);
            RarBitInput in(src);
            in.Fill();
        }
        MemorySource src(data);
        RarBitInput in(src);
        for (std::size_t i = 0; i < size; ++i) ASSERT_EQ(in.GetByte(), data[i]) << i;
        EXPECT_EQ(in.GetByte(), -1);
        EXPECT_TRUE(in.AtEnd());
        // A decoder that does not stop reads 16 bits a symbol, past the pad.
        for (int i = 0; i < 2000; ++i) {
            in.Fill();
            ASSERT_EQ(in.Get(16), 0u) << i;
        }
        EXPECT_TRUE(in.Overrun());
    }
}

}  // namespace
}  // namespace lumora::archive::test
