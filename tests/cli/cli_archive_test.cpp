// lumora-cli type and extract, run as a separate program.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "archive/zip_builder.h"
#include "support/temp_folder.h"

namespace lumora {
namespace {

using test::ReadAll;
using test::TempFolder;
using ::testing::HasSubstr;

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

class CliArchiveTest : public ::testing::Test {
protected:
    RunResult Run(const std::string& args) {
        const std::string cmd = "cd '" + work.path() +
                                "' && LC_ALL=C '" LUMORA_BIN_DIR "/lumora-cli' " + args + " >'" +
                                (work / "stdout") + "' 2>'" + (work / "stderr") + "'";
        RunResult r;
        const int raw = std::system(cmd.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = ReadAll(work / "stdout");
        r.err = ReadAll(work / "stderr");
        return r;
    }
    TempFolder work;
};

TEST_F(CliArchiveTest, TypeNamesTheDetectedType) {
    archive::test::ZipBuilder zb;
    zb.Add(archive::test::Member("A.TXT", "a"));
    work.Write("A.ZIP", zb.Build());
    work.Write("N.TXT", "plain text file");
    RunResult r = Run("type A.ZIP");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "atZIP\n");
    r = Run("type N.TXT");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "atUnknown\n");
    r = Run("type missing.zip");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "atFileError\n");
    EXPECT_EQ(Run("type").status, 2);
}

TEST_F(CliArchiveTest, ExtractWithSpecsFoldersAndPasswords) {
    archive::test::ZipBuilder zb;
    auto secret = archive::test::Member("DOC/SECRET.TXT", "hidden", 8);
    secret.password = "BBS1995";
    zb.Add(archive::test::Member("FILE_ID.DIZ", "desc")).Add(secret);
    work.Write("A.ZIP", zb.Build());

    RunResult r = Run("extract A.ZIP -d out FILE_ID.DIZ");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadAll(work / "out/FILE_ID.DIZ"), "desc");

    r = Run("extract A.ZIP -d out2 --stored-dirs --password wrong --password BBS1995");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadAll(work / "out2/DOC/SECRET.TXT"), "hidden");

    r = Run("extract A.ZIP -d out3 '*.EXE'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "26999 Leeres Archiv ?! A.ZIP\n");

    r = Run("extract A.ZIP -d out4 'DOC\\*'");  // no password: the run ends
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("25170 Event nicht zugewiesen SECRET.TXT"));
}

TEST_F(CliArchiveTest, ReportsAreUtf8Lines) {
    archive::test::ZipBuilder zb;
    auto bad = archive::test::Member("BAD.TXT", "data");
    bad.crc = 1;
    zb.Add(bad);
    work.Write("B.ZIP", zb.Build());
    const RunResult r = Run("extract B.ZIP -d out");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err,
              "25117 Fehler bei der CRC \xC3\x9C"
              "berpr\xC3\xBC"
              "fung BAD.TXT\n");
}

TEST_F(CliArchiveTest, UnreadableOrUnknownInput) {
    work.Write("N.TXT", "plain text file");
    EXPECT_EQ(Run("extract missing.zip").status, 2);
    EXPECT_EQ(Run("extract N.TXT").status, 2);
    EXPECT_EQ(Run("extract").status, 2);
}

}  // namespace
}  // namespace lumora
