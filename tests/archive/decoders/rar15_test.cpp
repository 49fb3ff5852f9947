#include "archive/decoders/rar15.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "archive/decoders/rar20.h"
#include "archive/decoders/rar50.h"
#include "archive/decoders/rar_decode_test_util.h"

namespace lumora::archive {
namespace {

using test::BitWriter;

// Flags 0xE0 (three literals, then a short match); the literal ranks start
// as the byte values and move up with use; the short match of two bytes
// takes the second-ranked short distance, 2.
TEST(Rar15Test, LiteralsMoveUpTheirRanksAndShortMatchesCopy) {
    BitWriter w;
    w.Put(0x2B, 7);                   // flag byte at rank 32: 1110 0000
    w.Put(3, 5).Put(0, 5).Put(3, 5);  // ranks 3, 0, 3
    w.Put(0, 1).Put(1, 5);            // length code 0, distance rank 1
    auto unpacker = MakeRar15Unpacker(1 << 16);
    const test::RarRun run = test::RunRar(*unpacker, w.Bytes() + std::string(4, '\0'), 5, false);
    EXPECT_EQ(run.result.status, RarUnpackStatus::kDone);
    EXPECT_EQ(run.bytes, std::string("\x03\x03\x00\x03\x00", 5));
}

TEST(Rar15Test, EndsCleanlyOnMissingDataAndOversizedWindows) {
    auto small = MakeRar15Unpacker(1 << 16);
    EXPECT_EQ(test::RunRar(*small, "", 10, false).result.status, RarUnpackStatus::kTruncated);
    auto huge = MakeRar15Unpacker(kRarMaxWindow + 1);
    EXPECT_EQ(test::RunRar(*huge, "abc", 10, false).result.status, RarUnpackStatus::kNoMemory);
}

// Random bytes through every unpacker, fresh and continuing: each stops by
// itself within the output limit and reports what it wrote.
TEST(RarUnpackersTest, RandomDataEndsWithinTheOutputLimit) {
    using Maker = std::unique_ptr<RarUnpacker> (*)(std::size_t);
    const Maker makers[] = {MakeRar15Unpacker, MakeRar20Unpacker, MakeRar50Unpacker};
    std::mt19937 rng(23);
    for (int round = 0; round < 40; ++round) {
        std::string data(4096, '\0');
        for (char& c : data) c = static_cast<char>(rng());
        for (Maker make : makers) {
            auto unpacker = make(1 << 20);
            const test::RarRun run = test::RunRar(*unpacker, data, 1 << 20, round % 2 == 1, 70000);
            EXPECT_LE(run.bytes.size(), 70000u);
            EXPECT_EQ(run.result.produced, run.bytes.size());
            EXPECT_NE(run.result.status, RarUnpackStatus::kDone);
        }
    }
}

}  // namespace
}  // namespace lumora::archive
