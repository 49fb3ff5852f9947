// lumora-cli scan2, the filter options and the job log file, run as a
// separate program from a private copy, so that its program folder (LM_IDS.DAT,
// filter.cfg, filter2.cfg) belongs to the test.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "support/temp_folder.h"

namespace lumora {
namespace {

using test::Exists;
using test::ReadAll;
using test::TempFolder;
using ::testing::HasSubstr;
using ::testing::Not;

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

class CliScan2Test : public ::testing::Test {
protected:
    CliScan2Test() {
        const std::string copy = "cp '" LUMORA_BIN_DIR "/lumora-cli' '" + program.path() + "'";
        EXPECT_EQ(std::system(copy.c_str()), 0);
        program.Write("LM_IDS.DAT", "FILE_ID.DIZ\r\nDESC.SDI\r\n");
    }
    RunResult Run(const std::string& args) {
        const std::string cmd = "cd '" + work.path() + "' && LC_ALL=C XDG_CONFIG_HOME='" +
                                config.path() + "' '" + program.path() + "lumora-cli' " + args +
                                " >'" + (work / "out") + "' 2>'" + (work / "err") + "'";
        RunResult r;
        const int raw = std::system(cmd.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = ReadAll(work / "out");
        r.err = ReadAll(work / "err");
        return r;
    }
    // A filter.cfg marking exactly the given codes.
    void WriteSpecialChars(std::initializer_list<int> codes) {
        std::string text;
        for (int r = 0; r < 16; ++r) {
            for (int c = 0; c < 16; ++c) {
                bool marked = false;
                for (int code : codes) marked = marked || code == 16 * r + c;
                text += marked ? '0' : '1';
            }
            text += "\r\n";
        }
        program.Write("filter.cfg", text + "\r\n; a\r\n; b\r\n");
    }
    TempFolder work, config, program;
};

TEST_F(CliScan2Test, ListsLooseFilesWithSourceAndSeparator) {
    work.Write("tree/FILE_ID.DIZ", "Oben\r\n\r\n");
    work.Write("tree/sub/file_id.diz", "Unten");
    work.Write("tree/sub/DESC.SDI", "Desc");
    RunResult r = Run("scan2 -o list.txt --names FILE_ID.DIZ tree");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string sep(80, ' ');
    const std::string top = work / "tree/";
    EXPECT_EQ(ReadAll(work / "list.txt"),
              "Oben\r\nQuelle : " + top + "FILE_ID.DIZ\r\n" + sep + "\r\n");

    r = Run("scan2 --subdirs tree");  // every LM_IDS.DAT name, list on stdout
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Oben\r\nQuelle : " + top + "FILE_ID.DIZ\r\n" + sep + "\r\n" +
                         "Desc\r\nQuelle : " + top + "sub/DESC.SDI\r\n" + sep + "\r\n" +
                         "Unten\r\nQuelle : " + top + "sub/FILE_ID.DIZ\r\n" + sep + "\r\n");
    EXPECT_EQ(r.err, "");
}

TEST_F(CliScan2Test, FilterOptionsApplyForOneRun) {
    WriteSpecialChars({0xB0});
    program.Write("filter2.cfg", "werbung\r\n");
    work.Write("d/FILE_ID.DIZ", "Text\xB0\r\nWERBUNG hier\r\n\xB0\xB0\r\n   \r\nEnde\r\n");
    const std::string tail =
        "Quelle : " + work / "d/FILE_ID.DIZ" + "\r\n" + std::string(80, ' ') + "\r\n";
    struct Case {
        const char* options;
        std::string list;
    };
    const Case cases[] = {
        {"", "Text\xB0\r\nWERBUNG hier\r\n\xB0\xB0\r\nEnde\r\n"},  // stored: empty lines only
        {"--use-filter --remove --remove-char", "Text\r\nEnde\r\n"},
        {"--use-filter --case", "Text\xB0\r\nWERBUNG hier\r\n\xB0\xB0\r\nEnde\r\n"},
        {"--use-filter --filter-mode exact", "Text\xB0\r\nWERBUNG hier\r\n\xB0\xB0\r\nEnde\r\n"},
        {"--remove --remove-line --no-remove-empty", "WERBUNG hier\r\n   \r\nEnde\r\n"},
        {"--remove --remove-char --no-remove-empty", "Text\r\nWERBUNG hier\r\n\r\n   \r\nEnde\r\n"},
        {"--remove --no-remove-char --no-remove-line",
         "Text\xB0\r\nWERBUNG hier\r\n\xB0\xB0\r\nEnde\r\n"},
    };
    for (const Case& c : cases) {
        const RunResult r = Run(std::string("scan2 ") + c.options + " d");
        ASSERT_EQ(r.status, 0) << c.options << ": " << r.err;
        EXPECT_EQ(r.out, c.list + tail) << c.options;
    }
}

TEST_F(CliScan2Test, InvalidFilterFileIsReportedAndDeleted) {
    program.Write("filter.cfg", "0000000000000000\r\n");
    work.Write("d/FILE_ID.DIZ", "\x01Text\r\n");
    const RunResult r = Run("scan2 --remove --remove-char d");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.err, HasSubstr("Fehler: Die Konfigurations-Datei ist ung\xC3\xBCltig"));
    EXPECT_FALSE(Exists(program / "filter.cfg"));
    EXPECT_THAT(r.out, HasSubstr("\x01Text\r\n")) << "no character is special";
}

TEST_F(CliScan2Test, UnreadableFileIsReportedAndTheRunGoesOn) {
    work.Write("d/a/FILE_ID.DIZ", "A");
    work.MakeDir("d/b");
    ASSERT_EQ(::mkfifo((work / "d/b/FILE_ID.DIZ").c_str(), 0600), 0);
    work.Write("d/c/FILE_ID.DIZ", "C");
    const RunResult r = Run("scan2 --subdirs --log log.txt d");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("A\r\n"));
    EXPECT_THAT(r.out, HasSubstr("C\r\n"));
    EXPECT_THAT(r.out, Not(HasSubstr("d/b/")));
    EXPECT_THAT(r.err, HasSubstr("Lese " + work / "d/b/FILE_ID.DIZ... "));
    const std::string log = ReadAll(work / "log.txt");
    EXPECT_THAT(log, HasSubstr("Lese " + work / "d/a/FILE_ID.DIZ... OK\r\n"));
    EXPECT_THAT(log, HasSubstr("Lese " + work / "d/c/FILE_ID.DIZ... OK\r\n"));
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 7);
}

TEST_F(CliScan2Test, ExitStatus) {
    work.Write("empty/readme.txt", "x");
    work.Write("file.txt", "x");
    RunResult r = Run("scan2 -o list.txt empty");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_FALSE(Exists(work / "list.txt"));
    for (const char* args : {"scan2 file.txt", "scan2 missing", "scan2", "scan2 --bogus empty"}) {
        r = Run(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << args << ": " << r.err;
    }
    r = Run("scan2 --names , empty");
    EXPECT_EQ(r.status, 2);
    EXPECT_THAT(r.err, HasSubstr("Markieren Sie mindestens eine Datei"));
}

TEST_F(CliScan2Test, ScanWritesTheJobLog) {
    work.Write("B.ZIP", "x");
    work.Write("A.ZIP", "x");
    const RunResult r = Run("scan -o list.txt --log log.txt B.ZIP A.ZIP");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string log = ReadAll(work / "log.txt");
    const std::string dashes(27, '-');
    EXPECT_EQ(log.rfind("Neuer Job gestartet : ", 0), 0u) << log;
    EXPECT_THAT(log,
                HasSubstr(" Uhr\r\n" + dashes + "\r\n" + work.path() +
                          "A.ZIP, ... Keine FILE_ID gefunden\r\n" + work.path() +
                          "B.ZIP, ... Keine FILE_ID gefunden\r\n" + dashes + "\r\nJob beendet : "));
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 6);
    EXPECT_EQ(log.substr(log.size() - 6), " Uhr\r\n");
}

}  // namespace
}  // namespace lumora
