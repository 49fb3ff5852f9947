// The linear window against the ring window it stands in for: the same
// literals and matches (distances past the window and past the start, long
// copies, a cut at the original size) give the same bytes.
#include "archive/decoders/linear_window.h"

#include <gtest/gtest.h>

#include <random>

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
    for (const Case c : {Case{26624, 700000, 260}, Case{8192, 300000, 3000},
                         Case{65536, 123457, 40}, Case{1, 5000, 300}}) {
        SCOPED_TRACE(c.window);
        VectorSink ringOut;
        VectorSink linearOut;
        RingWindow ring(ringOut, c.window, c.limit);
        LinearWindow linear(linearOut, c.window, c.limit);
        std::mt19937 rng(static_cast<unsigned>(c.window));
        while (!ring.Full()) {
            ASSERT_FALSE(linear.Full());
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

}  // namespace
}  // namespace lumora::archive::test
