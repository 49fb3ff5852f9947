// lumora-cli scan, run as a separate program.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "support/temp_folder.h"

namespace lumora {
namespace {

using test::ReadAll;
using test::TempFolder;
using ::testing::HasSubstr;
using ::testing::Not;

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

class CliScanTest : public ::testing::Test {
protected:
    RunResult Run(const std::string& args) {
        const std::string cmd = "cd '" + work.path() + "' && LC_ALL=C XDG_CONFIG_HOME='" +
                                config.path() + "' '" LUMORA_BIN_DIR "/lumora-cli' " + args +
                                " >'" + (work / "out") + "' 2>'" + (work / "err") + "'";
        RunResult r;
        const int raw = std::system(cmd.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = ReadAll(work / "out");
        r.err = ReadAll(work / "err");
        return r;
    }
    TempFolder work;
    TempFolder config;
};

TEST_F(CliScanTest, HelpDocumentsTheLayoutOptions) {
    const RunResult r = Run("scan --help");
    EXPECT_EQ(r.status, 0);
    for (const char* opt :
         {"--design", "--width2", "--space3", "--align", "--no-divide", "--no-resume", "--oem",
          "--short-names", "--separator-char", "--info-files", "-r"})
        EXPECT_THAT(r.out, HasSubstr(opt));
}

TEST_F(CliScanTest, FolderToListFileWithCrLf) {
    work.Write("arc/GAME1.ZIP", "x");
    work.Write("arc/GAME2.ZIP", "y");
    work.Write("arc/notes.txt", "not an archive");
    const RunResult r = Run("scan -o list.txt --divide arc");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string list = ReadAll(work / "list.txt");
    EXPECT_THAT(list, HasSubstr("GAME1.ZIP"));
    EXPECT_THAT(list, Not(HasSubstr("NOTES")));
    EXPECT_THAT(list, HasSubstr("LM : Keine FILE_ID gefunden"));
    // Two entries of one group, one separator closing it.
    EXPECT_EQ(list.find('\n'), list.find("\r\n") + 1);
    EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), 3);
}

TEST_F(CliScanTest, ListGoesToStandardOutputWithoutOutputOption) {
    work.Write("A.ZIP", "x");
    const RunResult r = Run("scan --no-divide --width 10 --align left A.ZIP");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 12), "A.ZIP       ");
    EXPECT_EQ(r.out.size(), 12 + 8 + 9 + 1 + 10 + 2u) << r.out;  // C locale: 8-char dates
}

TEST_F(CliScanTest, BadOptionsAndPathsWriteNothing) {
    work.Write("A.ZIP", "x");
    work.Write("list.txt", "old list");
    for (const char* args :
         {"scan -o list.txt --width 0 A.ZIP", "scan -o list.txt --bogus A.ZIP",
          "scan -o list.txt --align middle A.ZIP", "scan -o list.txt A.ZIP missing.zip", "scan"}) {
        const RunResult r = Run(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << args << ": " << r.err;
        EXPECT_EQ(ReadAll(work / "list.txt"), "old list") << args;
    }
}

TEST_F(CliScanTest, RecursionSkipsLinkedFolders) {
    work.Write("top/A.ZIP", "x");
    work.Write("top/sub/B.ZIP", "x");
    ASSERT_EQ(::symlink((work / "top").c_str(), (work / "top/sub/loop").c_str()), 0);
    RunResult r = Run("scan --no-divide top");
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1);
    r = Run("scan --no-divide -r top");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2) << r.out;
}

TEST_F(CliScanTest, OptionsLastForOneRunOnly) {
    work.Write("A.ZIP", "x");
    ASSERT_EQ(Run("scan --resume --separator-char '*' --width2 5 A.ZIP").status, 0);
    const RunResult r = Run("scan A.ZIP");
    EXPECT_THAT(r.out, Not(HasSubstr("Zusammenfassung")));
    EXPECT_THAT(r.out, Not(HasSubstr("*****")));
    EXPECT_THAT(r.out, HasSubstr(std::string(80, ' ') + "\r\n"));
}

}  // namespace
}  // namespace lumora
