// lumora-cli scan and scan2, the filter options and the job log file, run as
// a separate program from a private copy, so that its program folder
// (LM_IDS.DAT, filter.cfg, filter2.cfg) belongs to the test.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/cli_runner.h"

namespace lumora {
namespace {

using test::Exists;
using test::ReadAll;
using test::RunResult;
using ::testing::HasSubstr;
using ::testing::Not;

long Lines(const std::string& text) {
    return std::count(text.begin(), text.end(), '\n');
}

class CliScanTest : public test::CliTest {
protected:
    CliScanTest() {
        UseProgramCopy();
        program.Write("LM_IDS.DAT", "FILE_ID.DIZ\r\nDESC.SDI\r\n");
    }
    // A filter.cfg marking exactly the given codes.
    void WriteSpecialChars(std::initializer_list<int> codes) {
        std::string text;
        for (int r = 0; r < 16; ++r) {
            for (int c = 0; c < 16; ++c)
                text +=
                    std::find(codes.begin(), codes.end(), 16 * r + c) != codes.end() ? '0' : '1';
            text += "\r\n";
        }
        program.Write("filter.cfg", text + "\r\n; a\r\n; b\r\n");
    }
};

// Only archive names are listed, every line ends in CR LF, and a group of
// similar names gets one separator after it. --log writes the job log:
// markers, then one line per archive in sorted order.
TEST_F(CliScanTest, FolderToListFileAndJobLog) {
    work.Write("arc/GAME2.ZIP", "y");
    work.Write("arc/GAME1.ZIP", "x");
    work.Write("arc/notes.txt", "not an archive");
    const RunResult r = Run("scan -o list.txt --divide --log log.txt arc");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string list = ReadAll(work / "list.txt");
    EXPECT_THAT(list, HasSubstr("GAME1.ZIP"));
    EXPECT_THAT(list, Not(HasSubstr("NOTES")));
    EXPECT_THAT(list, HasSubstr("LM : Keine FILE_ID gefunden"));
    EXPECT_EQ(list.find('\n'), list.find("\r\n") + 1);
    EXPECT_EQ(Lines(list), 3);

    const std::string log = ReadAll(work / "log.txt");
    const std::string dashes(27, '-');
    EXPECT_EQ(log.rfind("Neuer Job gestartet : ", 0), 0u) << log;
    EXPECT_THAT(log, HasSubstr(" Uhr\r\n" + dashes + "\r\n" + work / "arc/GAME1.ZIP" +
                               ", ... Keine FILE_ID gefunden\r\n" + work / "arc/GAME2.ZIP" +
                               ", ... Keine FILE_ID gefunden\r\n" + dashes + "\r\nJob beendet : "));
    EXPECT_EQ(Lines(log), 6);
    EXPECT_EQ(log.substr(log.size() - 6), " Uhr\r\n");
}

// Without -o the list goes to standard output, laid out by the options.
TEST_F(CliScanTest, ListGoesToStandardOutputWithoutOutputOption) {
    work.Write("A.ZIP", "x");
    const RunResult r = Run("scan --no-divide --width 10 --align left A.ZIP");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 12), "A.ZIP       ");
    EXPECT_EQ(r.out.size(), 12 + 8 + 9 + 1 + 10 + 2u) << r.out;  // C locale: 8-char dates
}

// Bad options, bad paths and finding nothing end with one line on stderr
// and leave an existing list file as it was.
TEST_F(CliScanTest, BadOptionsAndPathsWriteNothing) {
    work.Write("A.ZIP", "x");
    work.Write("empty/readme.txt", "x");
    work.Write("file.txt", "x");
    work.Write("list.txt", "old list");
    const struct {
        const char* args;
        int status;
    } rows[] = {
        {"scan -o list.txt --width 0 A.ZIP", 2},
        {"scan -o list.txt --bogus A.ZIP", 2},
        {"scan -o list.txt --align middle A.ZIP", 2},
        {"scan -o list.txt A.ZIP missing.zip", 2},
        {"scan", 2},
        {"scan2 -o list.txt empty", 1},
        {"scan2 -o list.txt file.txt", 2},
        {"scan2 -o list.txt missing", 2},
        {"scan2", 2},
        {"scan2 -o list.txt --bogus empty", 2},
        {"scan2 -o list.txt --names , empty", 2},
    };
    RunResult r;
    for (const auto& row : rows) {
        r = Run(row.args);
        EXPECT_EQ(r.status, row.status) << row.args;
        EXPECT_EQ(Lines(r.err), 1) << row.args << ": " << r.err;
        EXPECT_EQ(ReadAll(work / "list.txt"), "old list") << row.args;
    }
    EXPECT_THAT(r.err, HasSubstr("Markieren Sie mindestens eine Datei"));  // the last row
}

// -r enters subfolders but not a link back up the tree.
TEST_F(CliScanTest, RecursionSkipsLinkedFolders) {
    work.Write("top/A.ZIP", "x");
    work.Write("top/sub/B.ZIP", "x");
    ASSERT_EQ(::symlink((work / "top").c_str(), (work / "top/sub/loop").c_str()), 0);
    EXPECT_EQ(Lines(Run("scan --no-divide top").out), 1);
    const RunResult r = Run("scan --no-divide -r top");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Lines(r.out), 2) << r.out;
}

// Options are not stored as settings for the next run.
TEST_F(CliScanTest, OptionsLastForOneRunOnly) {
    work.Write("A.ZIP", "x");
    ASSERT_EQ(Run("scan --resume --separator-char '*' --width2 5 A.ZIP").status, 0);
    const RunResult r = Run("scan A.ZIP");
    EXPECT_THAT(r.out, Not(HasSubstr("Zusammenfassung")));
    EXPECT_THAT(r.out, Not(HasSubstr("*****")));
    EXPECT_THAT(r.out, HasSubstr(std::string(80, ' ') + "\r\n"));
}

// scan2 with --names looks only in the folder; --subdirs adds subfolders,
// takes every LM_IDS.DAT name, and lists each file with its source line and
// the separator.
TEST_F(CliScanTest, Scan2ListsLooseFilesWithSourceAndSeparator) {
    work.Write("tree/FILE_ID.DIZ", "Oben\r\n\r\n");
    work.Write("tree/sub/file_id.diz", "Unten");
    work.Write("tree/sub/DESC.SDI", "Desc");
    RunResult r = Run("scan2 -o list.txt --names FILE_ID.DIZ tree");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string sep = std::string(80, ' ') + "\r\n";
    const std::string top = work / "tree/";
    EXPECT_EQ(ReadAll(work / "list.txt"), "Oben\r\nQuelle : " + top + "FILE_ID.DIZ\r\n" + sep);

    r = Run("scan2 --subdirs tree");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Oben\r\nQuelle : " + top + "FILE_ID.DIZ\r\n" + sep +
                         "Desc\r\nQuelle : " + top + "sub/DESC.SDI\r\n" + sep +
                         "Unten\r\nQuelle : " + top + "sub/FILE_ID.DIZ\r\n" + sep);
    EXPECT_EQ(r.err, "");
}

// The filter options, grouped by stage, hold for one run each: special
// characters (filter.cfg), filtered lines (filter2.cfg), empty lines.
TEST_F(CliScanTest, FilterOptionsApplyForOneRun) {
    WriteSpecialChars({0xB0});
    program.Write("filter2.cfg", "werbung\r\n");
    work.Write("d/FILE_ID.DIZ", "Text\xB0\r\nWERBUNG hier\r\n\xB0\xB0\r\n   \r\nEnde\r\n");
    const std::string tail =
        "Quelle : " + work / "d/FILE_ID.DIZ" + "\r\n" + std::string(80, ' ') + "\r\n";
    const std::string unfiltered = "Text\xB0\r\nWERBUNG hier\r\n\xB0\xB0\r\nEnde\r\n";
    const struct {
        const char* options;
        std::string list;
    } rows[] = {
        // Stored settings: empty lines go, nothing else.
        {"", unfiltered},
        // Special characters: removed from lines, or whole lines of them.
        {"--remove --remove-char --no-remove-empty", "Text\r\nWERBUNG hier\r\n\r\n   \r\nEnde\r\n"},
        {"--remove --remove-line --no-remove-empty", "WERBUNG hier\r\n   \r\nEnde\r\n"},
        {"--remove --no-remove-char --no-remove-line", unfiltered},
        // Line filter: contains without case by default; --case and exact
        // matching keep the line.
        {"--use-filter --remove --remove-char", "Text\r\nEnde\r\n"},
        {"--use-filter --case", unfiltered},
        {"--use-filter --filter-mode exact", unfiltered},
    };
    for (const auto& row : rows) {
        const RunResult r = Run(std::string("scan2 ") + row.options + " d");
        ASSERT_EQ(r.status, 0) << row.options << ": " << r.err;
        EXPECT_EQ(r.out, row.list + tail) << row.options;
    }
}

// An invalid filter.cfg is reported and deleted, and no character counts
// as special.
TEST_F(CliScanTest, InvalidFilterFileIsReportedAndDeleted) {
    program.Write("filter.cfg", "0000000000000000\r\n");
    work.Write("d/FILE_ID.DIZ", "\x01Text\r\n");
    const RunResult r = Run("scan2 --remove --remove-char d");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.err, HasSubstr("Fehler: Die Konfigurations-Datei ist ung\xC3\xBCltig"));
    EXPECT_FALSE(Exists(program / "filter.cfg"));
    EXPECT_THAT(r.out, HasSubstr("\x01Text\r\n"));
}

// A FIFO named like a description neither hangs the run nor stops it: it
// is reported on stderr and in the log, and the other files are listed.
TEST_F(CliScanTest, Scan2UnreadableFileIsReportedAndTheRunGoesOn) {
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
    EXPECT_EQ(Lines(log), 7);
}

}  // namespace
}  // namespace lumora
