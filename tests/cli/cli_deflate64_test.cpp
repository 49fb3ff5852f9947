// A ZIP whose members 7-Zip packs with Deflate64 at test time: contents,
// extract and desc of lumora-cli, run as a separate program.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "archive/core/crc.h"
#include "cli/cli_runner.h"

namespace lumora {
namespace {

using test::ReadAll;

std::string CrcHex(const std::string& bytes) {
    archive::Crc32 crc;
    crc.Update(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08X", crc.Value());
    return hex;
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream in(line);
    for (std::string f; std::getline(in, f, '\t');) fields.push_back(f);
    return fields;
}

class CliDeflate64Test : public test::CliTest {};

// A random 40 KB block five times over can only shrink through matches more
// than 32 KB back; the description is small text. Both are listed with
// method, sizes and CRC, extracted byte for byte, and desc finds FILE_ID.DIZ.
TEST_F(CliDeflate64Test, ZipMembersAreListedExtractedAndDescribed) {
    if (std::system("command -v 7zz >/dev/null 2>&1") != 0) GTEST_SKIP() << "no 7zz";
    std::mt19937 rng(64);
    std::string block(40960, '\0');
    for (char& c : block) c = static_cast<char>(rng());
    std::string big;
    for (int i = 0; i < 5; ++i) big += block;
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
    std::stringstream lines(list.out);
    std::string line;
    std::getline(lines, line);  // the header
    const struct {
        const char* name;
        const std::string& bytes;
        std::size_t maxPacked;
    } members[] = {{"BIG.BIN", big, 60000}, {"FILE_ID.DIZ", diz, diz.size() / 2}};
    for (const auto& m : members) {
        SCOPED_TRACE(m.name);
        ASSERT_TRUE(std::getline(lines, line));
        const std::vector<std::string> f = Fields(line);
        ASSERT_EQ(f.size(), 8u) << line;
        EXPECT_EQ(f[0], m.name);
        EXPECT_EQ(f[1], std::to_string(m.bytes.size()));
        EXPECT_LT(std::stoul(f[2]), m.maxPacked);
        EXPECT_EQ(f[5], "Deflate64");
        EXPECT_EQ(f[6], CrcHex(m.bytes));
    }

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
