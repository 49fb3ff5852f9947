// The linear window against the ring window it stands in for: the same
// literals and matches (distances past the window and past the start, long
// copies, a cut at the original size, members shorter than a match or than
// the window, flushes between symbols) give the same bytes.
#include "archive/decoders/linear_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "archive/decoders/ring_window.h"
#include "archive/legacy_test_support.h"

namespace lumora::archive::test {
namespace {

TEST(LinearWindow, MatchesTheRingWindow) {
    struct Case {
        std::size_t window;
        std::uint64_t limit;
        std::size_t maxLen;
    };
    for (const Case c :
         {Case{26624, 700000, 260}, Case{8192, 300000, 3000}, Case{65536, 123457, 40},
          Case{1, 5000, 300}, Case{26624, 442, 300}, Case{8192, 1, 20}, Case{65536, 3000, 3000}}) {
        SCOPED_TRACE(c.window);
        VectorSink ringOut;
        VectorSink linearOut;
        RingWindow ring(ringOut, c.window, c.limit);
        LinearWindow linear(linearOut, c.window, c.limit);
        std::mt19937 rng(static_cast<unsigned>(c.window));
        while (!ring.Full()) {
            ASSERT_FALSE(linear.Full());
            if (rng() % 64 == 0) {
                ring.Flush();
                linear.Flush();
                ASSERT_TRUE(linearOut.bytes == ringOut.bytes);
            }
            if (rng() % 3 == 0) {
                const auto byte = static_cast<std::uint8_t>(rng() % 4);
                ring.Put(byte);
                linear.Put(byte);
                continue;
            }
            // Short periods, the window's edge and distances beyond it.
            const std::size_t dists[] = {rng() % 8, rng() % (2 * c.window + 2), c.window - 1,
                                         c.window, rng() % 70000};
            const std::size_t dist = dists[rng() % 5];
            const std::size_t len = 3 + rng() % c.maxLen;
            ring.Copy(dist, len);
            linear.Copy(dist, len);
        }
        EXPECT_TRUE(linear.Full());
        ring.Flush();
        linear.Flush();
        EXPECT_EQ(linear.Produced(), c.limit);
        EXPECT_TRUE(linearOut.bytes == ringOut.bytes);
    }
}

// Every short distance (patterns built in a register or by shuffle, words,
// double words) at lengths around the word sizes, for both match copies:
// the bytes of a byte-by-byte copy, and nothing written past the promised
// 15 bytes of overrun.
TEST(LinearWindow, MatchCopyRepeatsEveryPeriod) {
    constexpr std::size_t kFront = 40;
    constexpr std::size_t kRoom = 15;
    for (const auto copy : {&CopyMatch, &CopyMatchShuffled}) {
        for (std::size_t dist = 1; dist <= 33; ++dist) {
            for (std::size_t len = 1; len <= 70; ++len) {
                std::vector<std::uint8_t> buf(kFront + len + kRoom + 8, 0xEE);
                for (std::size_t i = 0; i < kFront; ++i)
                    buf[i] = static_cast<std::uint8_t>(i * 7 + 1);
                std::vector<std::uint8_t> want = buf;
                for (std::size_t i = kFront; i < kFront + len; ++i) want[i] = want[i - dist];
                copy(buf.data() + kFront, dist, len);
                const bool shuffled = copy != &CopyMatch;
                ASSERT_TRUE(std::equal(want.begin(), want.begin() + kFront + len, buf.begin()))
                    << dist << " " << len << " " << shuffled;
                ASSERT_TRUE(std::all_of(buf.end() - 8, buf.end(), [](auto b) { return b == 0xEE; }))
                    << dist << " " << len << " " << shuffled;
            }
        }
    }
}

}  // namespace
}  // namespace lumora::archive::test
