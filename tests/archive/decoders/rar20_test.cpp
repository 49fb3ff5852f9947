#include "archive/decoders/rar20.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/decoders/rar_decode_test_util.h"
#include "support/corpus.h"

namespace lumora::archive {
namespace {

using test::BitWriter;
using test::RunRar;

std::vector<test::RarMember> Rar250() {
    return test::RarMembers("RAR250.RAR");
}

TEST(Rar20CorpusTest, UnpacksTheSolidArchiveMemberByMemberWithOneUnpacker) {
    LUMORA_REQUIRE_CORPUS();
    const auto members = Rar250();
    ASSERT_EQ(members.size(), 3u);
    EXPECT_TRUE(members[2].solid);
    auto unpacker = MakeRar20Unpacker(members[0].dictionary);
    for (const auto& m : members) {
        SCOPED_TRACE(m.name);
        ASSERT_EQ(m.version, 20u);
        const test::RarRun run = RunRar(*unpacker, m.packed, m.unpacked, m.solid);
        EXPECT_EQ(run.result.status, RarUnpackStatus::kDone);
        EXPECT_EQ(run.bytes.size(), m.unpacked);
        EXPECT_EQ(test::Crc32(run.bytes), m.crc);
    }
}

TEST(Rar20CorpusTest, StopsCleanlyAtTheOutputLimitAndAtCutData) {
    LUMORA_REQUIRE_CORPUS();
    const auto m = Rar250()[0];
    auto full = MakeRar20Unpacker(m.dictionary);
    const std::string all = RunRar(*full, m.packed, m.unpacked, false).bytes;

    auto limited = MakeRar20Unpacker(m.dictionary);
    const test::RarRun part = RunRar(*limited, m.packed, m.unpacked, false, 1000);
    EXPECT_EQ(part.result.status, RarUnpackStatus::kOutputLimit);
    EXPECT_EQ(part.bytes, all.substr(0, 1000));

    auto cut = MakeRar20Unpacker(m.dictionary);
    const test::RarRun half =
        RunRar(*cut, m.packed.substr(0, m.packed.size() / 2), m.unpacked, false);
    EXPECT_EQ(half.result.status, RarUnpackStatus::kTruncated);
    // Only the last match may come from bits past the end.
    ASSERT_GT(half.bytes.size(), 300u);
    EXPECT_EQ(half.bytes.substr(0, half.bytes.size() - 300),
              all.substr(0, half.bytes.size() - 300));
}

// Audio mode, two channels, one code per channel table: channel 0 sends
// difference 0xFF (samples rise by one), channel 1 sends 1 (they fall).
TEST(Rar20Test, AudioModeInterleavesChannelsWithTheirOwnPredictors) {
    BitWriter w;
    w.Put(1, 1).Put(0, 1).Put(1, 2);  // audio, fresh lengths, two channels
    // Level code lengths: 0 -> "0", 1 -> "10", 18 -> "11".
    for (unsigned sym = 0; sym < 19; ++sym)
        w.Put(sym == 0 ? 1 : (sym == 1 || sym == 18) ? 2 : 0, 4);
    auto zeros = [&](unsigned n) { w.Put(3, 2).Put(n - 11, 7); };
    zeros(138), zeros(117);           // lengths 0..254
    w.Put(2, 2);                      // 255: one bit
    w.Put(0, 1).Put(0, 1).Put(2, 2);  // 256, 257 zero; 258 (channel 1, code 1): one bit
    zeros(138), zeros(117);           // 259..513
    w.Put(0, 40);
    auto unpacker = MakeRar20Unpacker(1 << 16);
    const test::RarRun run = RunRar(*unpacker, w.Bytes(), 40, false);
    ASSERT_EQ(run.result.status, RarUnpackStatus::kDone);
    std::string want;
    for (int i = 0; i < 20; ++i) want += {static_cast<char>(i + 1), static_cast<char>(255 - i)};
    EXPECT_EQ(run.bytes, want);
}

TEST(Rar20Test, RefusesBadTablesAndOversizedWindows) {
    struct Case {
        const char* what;
        std::string data;
        std::size_t window;
        RarUnpackStatus want;
    };
    BitWriter oversubscribed;
    oversubscribed.Put(0, 2);
    for (int i = 0; i < 19; ++i) oversubscribed.Put(1, 4);  // 19 level codes of one bit
    BitWriter repeatFirst;
    repeatFirst.Put(0, 2);
    for (unsigned sym = 0; sym < 19; ++sym) repeatFirst.Put(sym == 16 ? 1 : 0, 4);
    repeatFirst.Put(0, 1).Put(0, 2);  // "repeat the previous length" with none before
    const Case cases[] = {
        {"over-subscribed level code", oversubscribed.Bytes() + std::string(8, '\0'), 1 << 16,
         RarUnpackStatus::kDataError},
        {"repeat at the start", repeatFirst.Bytes() + std::string(8, '\0'), 1 << 16,
         RarUnpackStatus::kDataError},
        {"window too large", std::string(16, '\0'), kRarMaxWindow + 1, RarUnpackStatus::kNoMemory},
        {"no data", std::string(), 1 << 16, RarUnpackStatus::kTruncated},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto unpacker = MakeRar20Unpacker(c.window);
        EXPECT_EQ(RunRar(*unpacker, c.data, 100, false).result.status, c.want);
    }
}

}  // namespace
}  // namespace lumora::archive
