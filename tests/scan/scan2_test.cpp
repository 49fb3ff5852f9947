// Scan II: the search for loose description files, the list and the command.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/text.h"
#include "scan/loose_files.h"
#include "scan/recording_host.h"
#include "scan/scan2_command.h"
#include "support/temp_folder.h"

namespace lumora {
namespace {

using test::RecordingHost;
using test::TempFolder;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using Lines = std::vector<std::string>;

std::vector<std::string> Shown(const std::vector<LooseFile>& files) {
    std::vector<std::string> shown;
    for (const auto& f : files) shown.push_back(f.shownPath);
    return shown;
}

class Scan2Test : public ::testing::Test {
protected:
    Scan2Test() {
        config.InfoFileList = {"FILE_ID.DIZ", "DESC.SDI"};
        config.settings.Divide = false;
        config.settings.Width2 = 10;
        config.settings.DivisionChar = "=";
        FillSeparatorLine(config);
        host.folderAnswer = dir.path().substr(0, dir.path().size() - 1);  // no trailing slash
        host.saveAnswer = dir / "list.txt";
    }
    ScanIIResult Run() { return RunScanIICommand({config, host, log, nullptr}); }
    Lines ListLines() const { return test::SplitCrLf(test::ReadAll(dir / "list.txt")); }
    TempFolder dir;
    Configuration config;
    LocaleFormats formats = LocaleFormats::German();
    RecordingHost host;
    JobLog log{host, formats};
};

// The top folder's file comes before those of subfolders, subfolders are
// searched only when asked, and names are shown upper-cased while the file
// is read under its real lower-case name.
TEST_F(Scan2Test, TopFolderFirstAndNamesUpperCasedWhileTheRealFileIsRead) {
    dir.Write("sub/file_id.diz", "unten\r\n");
    dir.Write("FILE_ID.DIZ", "oben\r\n");
    const auto files = FindLooseFiles(dir.path(), true, {"FILE_ID.DIZ"});
    EXPECT_THAT(Shown(files), ElementsAre(dir / "FILE_ID.DIZ", dir / "sub/FILE_ID.DIZ"));
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[1].path, dir / "sub/file_id.diz");
    EXPECT_THAT(Shown(FindLooseFiles(dir.path(), false, {"FILE_ID.DIZ"})),
                ElementsAre(dir / "FILE_ID.DIZ"));

    const Lines list = BuildLooseList(files, config, host, log);
    EXPECT_EQ(list, (Lines{"oben", "Quelle : " + dir / "FILE_ID.DIZ", "==========", "unten",
                           "Quelle : " + dir / "sub/FILE_ID.DIZ", "=========="}));
}

// Folders are walked in name order, names compared without case, hidden
// folders and folders named like a file skipped; a linked file is found and
// read, but a linked folder is not entered, so a link back up the tree does
// not loop. Of two ticked names only the one present counts.
TEST_F(Scan2Test, SearchRules) {
    dir.Write("a/FILE_ID.DIZ", "a");
    dir.Write("b/deep/FILE_ID.DIZ", "b");
    dir.Write("b/FILE_ID.DIZ", "b top");
    dir.Write("DESC.SDI", "desc");
    dir.Write(".hidden/FILE_ID.DIZ", "hidden folder");
    dir.Write("other.txt", "not searched");
    dir.MakeDir("FILE_ID.DIZ.d");
    dir.MakeDir("c/FILE_ID.DIZ");
    dir.MakeDir("d");
    ASSERT_EQ(::symlink(dir.path().c_str(), (dir / "b/loop").c_str()), 0);
    ASSERT_EQ(::symlink((dir / "other.txt").c_str(), (dir / "d/FILE_ID.DIZ").c_str()), 0);
    const auto files = FindLooseFiles(dir.path(), true, {"file_id.diz", "NOTHERE.TXT"});
    EXPECT_THAT(Shown(files), ElementsAre(dir / "a/FILE_ID.DIZ", dir / "b/FILE_ID.DIZ",
                                          dir / "b/deep/FILE_ID.DIZ", dir / "d/FILE_ID.DIZ"));
    EXPECT_THAT(BuildLooseList(files, config, host, log), testing::Contains("not searched"));
    EXPECT_THAT(Shown(FindLooseFiles(dir.path(), false, {"DESC.SDI", "FILE_ID.DIZ"})),
                ElementsAre(dir / "DESC.SDI"));
}

// The filter applies, but loose files get no OEM conversion, width limit or
// indent; a file left empty still gets its source line.
TEST_F(Scan2Test, FilteredButOtherwiseUnchangedAndEmptyOneStillListed) {
    config.settings.RemoveEmpty = true;
    config.settings.UseFilter = true;
    config.settings.OEM = true;
    config.settings.Width = 5;
    config.LineFilterList = {"werbung"};
    const std::string first = "  \xC4rger mit einer sehr langen Zeile";
    dir.Write("x/FILE_ID.DIZ", first + "\r\n\r\nWERBUNG hier\r\nDrei");
    dir.Write("y/FILE_ID.DIZ", "  \r\n");
    const auto files = FindLooseFiles(dir.path(), true, {"FILE_ID.DIZ"});
    EXPECT_EQ(BuildLooseList(files, config, host, log),
              (Lines{first, "Drei", "Quelle : " + dir / "x/FILE_ID.DIZ",
                     "==========", "Quelle : " + dir / "y/FILE_ID.DIZ", "=========="}));
}

// A file gone between search and reading gets a red log line with the
// reason, and the next file is still listed.
TEST_F(Scan2Test, UnreadableFileIsReportedAndTheRunGoesOn) {
    dir.Write("a/FILE_ID.DIZ", "a");
    dir.Write("b/FILE_ID.DIZ", "b");
    const auto files = FindLooseFiles(dir.path(), true, {"FILE_ID.DIZ"});
    ASSERT_EQ(::unlink((dir / "a/FILE_ID.DIZ").c_str()), 0);
    const Lines list = BuildLooseList(files, config, host, log);
    EXPECT_EQ(list, (Lines{"b", "Quelle : " + dir / "b/FILE_ID.DIZ", "=========="}));
    ASSERT_EQ(host.log.size(), 2u);
    EXPECT_THAT(host.log[0].first, StartsWith("Lese " + dir / "a/FILE_ID.DIZ... "));
    EXPECT_GT(host.log[0].first.size(), ("Lese " + dir / "a/FILE_ID.DIZ... ").size());
    EXPECT_EQ(host.log[0].second, LogKind::Failure);
    EXPECT_EQ(host.log[1], std::make_pair("Lese " + dir / "b/FILE_ID.DIZ... OK", LogKind::Success));
}

// A huge loose file is read only up to the 1 MiB limit.
TEST_F(Scan2Test, HugeLooseFileIsReadOnlyToTheLimit) {
    std::string huge;
    const std::string line(99, 'x');
    while (huge.size() < 3 * kLooseFileReadLimit) huge += line + "\r\n";
    dir.Write("FILE_ID.DIZ", huge);
    const Lines list =
        BuildLooseList(FindLooseFiles(dir.path(), false, {"FILE_ID.DIZ"}), config, host, log);
    std::size_t bytes = 0;
    for (const auto& l : list) bytes += l.size();
    EXPECT_LE(bytes, kLooseFileReadLimit + 200);
    EXPECT_GT(bytes, kLooseFileReadLimit / 2);
}

// The whole command: folder, options (shown again after a notice while no
// name is ticked), save dialog, then the list with its separator although
// Divide is off, framed by the job's log lines.
TEST_F(Scan2Test, CommandWritesTheListBetweenTheLogLines) {
    dir.Write("FILE_ID.DIZ", "Zeile 1\r\nZeile 2\r\nZeile 3\r\n");
    host.optionsAnswers = {ScanIIOptions{{}, false}, ScanIIOptions{{"FILE_ID.DIZ"}, false}};
    EXPECT_EQ(Run(), ScanIIResult::Written);
    EXPECT_EQ(ListLines(), (Lines{"Zeile 1", "Zeile 2", "Zeile 3",
                                  "Quelle : " + dir / "FILE_ID.DIZ", "=========="}));
    const std::string options = "options " + dir.path();
    EXPECT_THAT(host.calls,
                ElementsAre("busy", "folder browser Scan II: Welches Verzeichnis durchsuchen ?",
                            options, options, "save dialog", "idle"));
    EXPECT_EQ(host.optionsNames, config.InfoFileList);
    EXPECT_EQ(host.saveRequest.initialFolder, dir.path());
    EXPECT_EQ(host.saveRequest.defaultExtension, "txt");
    EXPECT_EQ(host.saveRequest.title, "") << "the dialog keeps its title";
    ASSERT_EQ(host.log.size(), 5u);
    EXPECT_THAT(host.log[0].first, StartsWith("Neuer Job gestartet"));
    EXPECT_EQ(host.log[2].first, "Lese " + dir / "FILE_ID.DIZ... OK");
    EXPECT_THAT(host.log[4].first, StartsWith("Job beendet"));
    ASSERT_EQ(host.boxes.size(), 2u);
    EXPECT_EQ(host.boxes[0].caption, "Hinweis");
    EXPECT_EQ(host.boxes[0].text, kNoNameTickedText);
    EXPECT_EQ(host.boxes[1].text, "Die Erstellung der Liste ist abgeschlossen.");
    EXPECT_EQ(host.boxes[1].icon, MsgIcon::Information);
    EXPECT_EQ(host.gaugePos, 0);
}

// Cancelling any dialog, or finding nothing, ends without a message, log
// line or file, and always returns the cursor to idle.
TEST_F(Scan2Test, QuietEndings) {
    struct Case {
        const char* what;
        bool folderChosen;
        std::optional<ScanIIOptions> options;
        bool saveConfirmed;
        ScanIIResult result;
    };
    const Case cases[] = {
        {"no folder", false, ScanIIOptions{{"FILE_ID.DIZ"}, false}, true, ScanIIResult::Cancelled},
        {"options cancelled", true, std::nullopt, true, ScanIIResult::Cancelled},
        {"nothing found", true, ScanIIOptions{{"DESC.SDI"}, false}, true,
         ScanIIResult::NothingFound},
        {"save cancelled", true, ScanIIOptions{{"FILE_ID.DIZ"}, false}, false,
         ScanIIResult::Cancelled},
    };
    dir.Write("FILE_ID.DIZ", "x");
    for (const Case& c : cases) {
        host = RecordingHost();
        host.folderAnswer = c.folderChosen ? std::optional<std::string>(dir.path()) : std::nullopt;
        host.optionsAnswers = {c.options};
        if (c.saveConfirmed) host.saveAnswer = dir / "list.txt";
        EXPECT_EQ(Run(), c.result) << c.what;
        EXPECT_TRUE(host.boxes.empty()) << c.what;
        EXPECT_TRUE(host.log.empty()) << c.what;
        EXPECT_EQ(host.calls.back(), "idle") << c.what;
        EXPECT_EQ(host.gaugePos, 0) << c.what;
        EXPECT_FALSE(test::Exists(dir / "list.txt")) << c.what;
    }
}

// A list that cannot be written is reported instead of "completed".
TEST_F(Scan2Test, UnwritableListIsReportedWithoutCompletionMessage) {
    dir.Write("FILE_ID.DIZ", "x");
    host.optionsAnswers = {ScanIIOptions{{"FILE_ID.DIZ"}, false}};
    host.saveAnswer = dir / "missing/list.txt";
    EXPECT_EQ(Run(), ScanIIResult::WriteFailed);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].caption, "Fehler");
    EXPECT_THAT(host.log.back().first, StartsWith("Job beendet"));
    EXPECT_EQ(host.calls.back(), "idle");
}

}  // namespace
}  // namespace lumora
