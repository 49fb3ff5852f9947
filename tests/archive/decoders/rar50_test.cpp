#include "archive/decoders/rar50.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/decoders/rar_decode_test_util.h"
#include "support/corpus.h"

namespace lumora::archive {
namespace {

using test::RunRar;

TEST(Rar50CorpusTest, UnpacksEveryCompressedMemberByteForByte) {
    LUMORA_REQUIRE_CORPUS();
    for (const char* file :
         {"LA_R5C.RAR", "LA_R5M.RAR", "testfile.rar5.cbr", "testfile.rar5.rr.cbr",
          "testfile.rar5.locked.cbr", "testfile.rar5.solid.cbr"}) {
        const auto members = test::RarMembers((lumora::test::CorpusDir() / "rar" / file).string());
        ASSERT_FALSE(members.empty()) << file;
        auto unpacker = MakeRar50Unpacker(members[0].dictionary);
        for (const auto& m : members) {
            SCOPED_TRACE(std::string(file) + "/" + m.name);
            ASSERT_EQ(m.version, 50u);
            if (m.stored) continue;
            const test::RarRun run = RunRar(*unpacker, m.packed, m.unpacked, m.solid);
            EXPECT_EQ(run.result.status, RarUnpackStatus::kDone);
            EXPECT_EQ(run.bytes.size(), m.unpacked);
            EXPECT_EQ(test::Crc32(run.bytes), m.crc);
        }
    }
}

}  // namespace
}  // namespace lumora::archive
