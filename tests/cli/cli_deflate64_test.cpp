// A ZIP whose members 7-Zip packs with Deflate64 at test time: contents,
// extract and desc of lumora-cli, run as a separate program.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

#include "cli/cli_runner.h"

namespace lumora {
namespace {

using test::ReadAll;
using ::testing::HasSubstr;

class CliDeflate64Test : public test::CliTest {};

// A random 40 KB block five times over can only shrink through matches more
// than 32 KB back; the description is small text. Both are listed with the
// method's name, extracted byte for byte, and desc finds FILE_ID.DIZ.
TEST_F(CliDeflate64Test, ZipMembersAreListedExtractedAndDescribed) {
    if (std::system("command -v 7zz >/dev/null 2>&1") != 0) GTEST_SKIP() << "no 7zz";
    std::mt19937 rng(64);
    std::string block(40960, '\0');
    for (char& c : block) c = static_cast<char>(rng());
    const std::string big = block + block + block + block + block;
    std::string diz;
    for (int i = 1; i <= 12; ++i)
        diz += "Deflate64 upload, disk " + std::to_string(i) + " of 12 - BBS file area\r\n";
    work.Write("src/BIG.BIN", big);
    work.Write("src/FILE_ID.DIZ", diz);
    ASSERT_EQ(std::system(("cd '" + work / "src" +
                           "' && 7zz a -tzip -mm=Deflate64 ../D64.ZIP BIG.BIN FILE_ID.DIZ "
                           ">/dev/null 2>&1")
                              .c_str()),
              0);

    const test::RunResult list = Run("contents D64.ZIP");
    ASSERT_EQ(list.status, 0) << list.err;
    EXPECT_THAT(list.out, HasSubstr("BIG.BIN\t204800\t"));
    EXPECT_THAT(list.out, HasSubstr("\tDeflate64\t"));

    const test::RunResult extract = Run("extract D64.ZIP -d out");
    EXPECT_EQ(extract.status, 0) << extract.err;
    EXPECT_TRUE(ReadAll(work / "out/BIG.BIN") == big);
    EXPECT_EQ(ReadAll(work / "out/FILE_ID.DIZ"), diz);

    const test::RunResult desc = Run("desc D64.ZIP");
    EXPECT_EQ(desc.status, 0) << desc.err;
    EXPECT_EQ(desc.out, diz);
}

}  // namespace
}  // namespace lumora
