// The Scan I job driven through a scripted host, without a screen.
#include "scan/scan_job.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "scan/description_extraction.h"
#include "scan/job_seams.h"
#include "scan/recording_host.h"

namespace lumora {
namespace {

using test::ReadAll;
using ::testing::EndsWith;
using ::testing::HasSubstr;

class ScanJobTest : public test::ScanJobFixture {};

// Totals that round the sum instead of each archive, or a gauge that counts
// from 1, show wrong progress.
TEST_F(ScanJobTest, TotalsCountWholeKilobytesOfEachArchive) {
    const struct {
        std::vector<std::size_t> sizes;
        std::string total;
        int gaugeMax;
    } rows[] = {{{1023, 1024, 2047}, "2", 2}, {{10}, "0", 0}};
    for (const auto& r : rows) {
        host = test::RecordingHost();
        host.saveAnswer = dir / "list.txt";
        std::vector<std::string> archives;
        for (std::size_t s : r.sizes)
            archives.push_back(dir.Write(std::to_string(s) + ".ZIP", std::string(s, 'x')));
        RunJob(archives);
        EXPECT_EQ(host.totalHistory, std::vector<std::string>{r.total});
        EXPECT_EQ(host.total, "") << "emptied at the end";
        EXPECT_EQ(host.statusPanel1, "Bearbeitet : " + std::to_string(r.sizes.size()) + " Dateien");
        EXPECT_EQ(host.gaugeMax, r.gaugeMax);
    }
}

// Sorting by file name alone, or with case, puts archives out of order.
TEST_F(ScanJobTest, SortsFullPathsWithoutCase) {
    const std::string b = dir.Write("A/b.zip", "1");
    const std::string a = dir.Write("B/a.zip", "1");
    RunJob({a, b});
    EXPECT_EQ(source.seen, (std::vector<std::string>{b, a}));
    EXPECT_THAT(ListLines()[0], HasSubstr("B.ZIP"));
}

// Yes to the cancel question ends the job without a list; No goes on with
// the archive at hand rather than skipping it.
TEST_F(ScanJobTest, CancelQuestion) {
    const auto archives = Archives({"A.ZIP", "B.ZIP"});
    for (const MsgAnswer answer : {MsgAnswer::Yes, MsgAnswer::No}) {
        SCOPED_TRACE(answer == MsgAnswer::Yes ? "yes" : "no");
        host = test::RecordingHost();
        host.saveAnswer = dir / "list.txt";
        source.seen.clear();
        ::unlink((dir / "list.txt").c_str());
        ScanJob job(Env());
        source.onExtract = [&job](const std::string& name) {
            if (name == "A.ZIP") job.RequestCancel();
        };
        host.answers = {answer};
        job.RunCommand(archives, dir.path());
        EXPECT_TRUE(host.HasBox("Den Vorgang wirklich abbrechen ?"));
        EXPECT_THAT(host.log.back().first, HasSubstr("Job beendet : "));
        if (answer == MsgAnswer::Yes) {
            EXPECT_FALSE(test::Exists(dir / "list.txt"));
            EXPECT_EQ(source.seen.size(), 1u);
            EXPECT_TRUE(host.HasBox("Die Erstellung der Liste ist abgeschlossen !"));
        } else {
            EXPECT_EQ(source.seen, archives);
            EXPECT_FALSE(job.cancelRequested());
            EXPECT_EQ(ListLines().size(), 2u);
        }
    }
}

// Closing the program mid-job: no question, no list, no completion message,
// but the end of the job is still logged.
TEST_F(ScanJobTest, QuitEndsJobWithoutQuestion) {
    const auto archives = Archives({"A.ZIP", "B.ZIP"});
    host.saveAnswer = dir / "list.txt";
    ScanJob job(Env());
    source.onExtract = [&job](const std::string& name) {
        if (name == "A.ZIP") job.RequestQuit();
    };
    job.RunCommand(archives, dir.path());
    EXPECT_EQ(source.seen.size(), 1u);
    EXPECT_FALSE(test::Exists(dir / "list.txt"));
    EXPECT_FALSE(host.HasBox("Den Vorgang wirklich abbrechen ?"));
    EXPECT_FALSE(host.HasBox("Die Erstellung der Liste ist abgeschlossen !"));
    EXPECT_THAT(host.log.back().first, HasSubstr("Job beendet : "));
}

// An archive gone during the run, or a folder with an archive name, gets
// unknown size and date instead of stopping the job; an older, longer list
// file is replaced completely.
TEST_F(ScanJobTest, VanishedArchiveAndFolderShowUnknownSizeAndDate) {
    dir.Write("list.txt", "old contents that are longer than the new list\n");
    const auto gone = dir.Write("GONE.ZIP", "12345");
    const auto folder = dir.MakeDir("FOLDER.ZIP");
    const auto good = dir.Write("GOOD.ZIP", "12345");
    source.onExtract = [&](const std::string&) { ::unlink(gone.c_str()); };
    RunJob({gone, folder.substr(0, folder.size() - 1), good});
    const auto lines = ListLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_THAT(lines[0], HasSubstr("FOLDER.ZIP   < ? >      < ? > LM : Keine"));
    EXPECT_THAT(lines[1], HasSubstr("GONE.ZIP   < ? >      < ? > LM : Keine"));
    EXPECT_THAT(lines[2], HasSubstr("GOOD.ZIP       5 "));
}

// Description lines, an empty description and a reader's error each reach
// the list and the log with the right text and colour; the log names the
// member as stored.
TEST_F(ScanJobTest, DescriptionLinesStatusAndLog) {
    source.descriptions["A.ZIP"] = {"file_id.diz", "Zeile 1\r\nZeile 2\r\n"};
    source.descriptions["E.ZIP"] = {"FILE_ID.DIZ", ""};
    source.failures["F.ZIP"] = "Fehler beim Lesen";
    config.settings.Design = static_cast<int>(DisplayMode::AllFull);
    RunJob(Archives({"A.ZIP", "E.ZIP", "F.ZIP"}));
    const auto lines = ListLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_THAT(lines[0], HasSubstr(" Zeile 1"));
    EXPECT_THAT(lines[1], HasSubstr("Zeile 2"));
    EXPECT_THAT(lines[2], HasSubstr("LM : Leere FILE_ID"));
    EXPECT_THAT(lines[3], HasSubstr("Fehler beim Lesen"));
    ASSERT_EQ(host.log.size(), 7u);
    EXPECT_EQ(host.log[2], std::make_pair(dir / "A.ZIP, file_id.diz... O.K.", LogKind::Success));
    EXPECT_EQ(host.log[3],
              std::make_pair(dir / "E.ZIP, FILE_ID.DIZ... Leere FILE_ID", LogKind::Failure));
    EXPECT_EQ(host.log[4].first, dir / "F.ZIP, ... Fehler beim Lesen");
}

// A member extracted as a link out of the folder must not be read, and each
// archive's extraction folder is removed.
TEST_F(ScanJobTest, ExtractionFoldersAreRemovedAndSymlinksNotRead) {
    const std::string secret = dir.Write("secret.txt", "geheim\r\n");
    source.onExtract = [&](const std::string&) {
        ::symlink(secret.c_str(), (temp / "a0/FILE_ID.DIZ").c_str());
    };
    RunJob(Archives({"A.ZIP"}));
    EXPECT_THAT(ListLines()[0], HasSubstr("Keine FILE_ID"));
    EXPECT_FALSE(test::Exists(temp / "a0"));
}

// A list that cannot be saved is reported, without the completion message,
// and the job still ends (log line, idle cursor).
TEST_F(ScanJobTest, UnwritableListFileIsReportedAndJobEnds) {
    host.saveAnswer = dir / "missing-folder/list.txt";
    RunJob(Archives({"A.ZIP"}));
    EXPECT_TRUE(host.HasBox("Die Liste kann nicht gespeichert werden"));
    EXPECT_FALSE(host.HasBox("abgeschlossen"));
    EXPECT_THAT(host.log.back().first, HasSubstr("Job beendet"));
    EXPECT_EQ(host.calls.back(), "idle");
}

// Without names to look for or a temporary folder the job must not start.
TEST_F(ScanJobTest, RefusesWithoutNamesOrTempFolder) {
    const auto archives = Archives({"A.ZIP"});
    config.InfoFileList.clear();
    RunJob(archives);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].caption, "Warnung");
    EXPECT_TRUE(host.calls.empty());

    config.InfoFileList = {"FILE_ID.DIZ"};
    ScanEnvironment env = Env();
    env.tempDir = "";
    ScanJob(env).RunCommand(archives, dir.path());
    EXPECT_TRUE(host.HasBox("Temp - Verzeichnis kann nicht ermittelt werden !"));
    EXPECT_TRUE(source.seen.empty());
}

// The short-name setting is read at each run.
TEST_F(ScanJobTest, ShortNamesShowTheAlias) {
    const auto archives = Archives({"Long File Name.zip"});
    config.settings.ShortName = true;
    RunJob(archives);
    EXPECT_THAT(ListLines()[0], HasSubstr("LONGFI~1.ZIP"));
    config.settings.ShortName = false;
    RunJob(archives);
    EXPECT_THAT(ListLines()[0], HasSubstr("LONG FILE NAME.ZIP"));
}

// 32-bit sizes would wrap beyond 4 GiB.
TEST_F(ScanJobTest, SizesBeyondFourGibibytesAreExact) {
    const std::string big = dir.Write("BIG.ZIP", "");
    if (::truncate(big.c_str(), 5368709120LL) != 0) GTEST_SKIP() << "no sparse files here";
    RunJob({big});
    EXPECT_THAT(ListLines()[0], HasSubstr("5368709120"));
    EXPECT_EQ(host.totalHistory.at(0), "5.242.880");
}

// The configured filter runs on every description right after reading and
// before the layout, stage by stage: special characters, filtered lines,
// then empty lines; a description filtered away counts as empty. Switching
// the filter off takes effect at the next run.
TEST_F(ScanJobTest, FilterSeamCleansEveryDescriptionBeforeItsLayout) {
    AppSettings& s = config.settings;
    s.Design = static_cast<int>(DisplayMode::AllFull);
    s.UseFilter = true;
    s.Mode = static_cast<int>(LineFilterMode::ExactMatch);
    s.Remove = s.RemoveLine = s.RemoveEmpty = true;
    config.LineFilterList = {"WWW.BBS.DE"};
    config.SpecialCharSet.set(0xDB);
    source.descriptions["A.ZIP"] = {
        "FILE_ID.DIZ", "Tolles Spiel\r\n\xDB\xDB\xDB\r\nwww.bbs.de\r\n\r\nVersion 2\r\n"};
    source.descriptions["B.ZIP"] = {"FILE_ID.DIZ", "\xDB\xDB\r\nWWW.BBS.DE\r\n  \t\r\n"};
    ScanEnvironment env = Env();
    env.filterDescription = ConfiguredFilter(config);
    const auto archives = Archives({"A.ZIP", "B.ZIP"});
    ScanJob(env).RunCommand(archives, dir.path());

    const auto lines = ListLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_THAT(lines[0], HasSubstr(" Tolles Spiel"));
    EXPECT_EQ(lines[1].find("Version 2"), 32u);  // after 10-character German dates
    EXPECT_THAT(lines[2], HasSubstr("LM : Leere FILE_ID"));
    EXPECT_THAT(host.log[3].first, EndsWith("B.ZIP, FILE_ID.DIZ... Leere FILE_ID"));
    EXPECT_EQ(host.log[3].second, LogKind::Failure);

    s.UseFilter = false;
    ScanJob(env).RunCommand({archives[0]}, dir.path());
    EXPECT_THAT(ReadAll(dir / "list.txt"), HasSubstr("www.bbs.de"));
}

// An older list stays as it was, with no temporary file beside it, when
// the job is cancelled or ended by an error; a finished list replaces it.
TEST_F(ScanJobTest, OlderListStaysUntilTheNewOneIsComplete) {
    const auto archives = Archives({"A.ZIP", "B.ZIP"});
    source.descriptions["A.ZIP"] = {"FILE_ID.DIZ", "Neu\r\n"};
    for (const std::string end : {"cancel", "error", "done"}) {
        SCOPED_TRACE(end);
        host = test::RecordingHost();
        host.saveAnswer = dir / "list.txt";
        host.answers = {MsgAnswer::Yes};
        const std::string old = dir.Write("list.txt", "alte Liste\r\n");
        ScanJob job(Env());
        source.onExtract = [&](const std::string& name) {
            if (name == "B.ZIP" && end == "error") throw std::runtime_error("kaputt");
            if (name == "A.ZIP" && end == "cancel") job.RequestCancel();
        };
        job.RunCommand(archives, dir.path());
        const std::string list = ReadAll(old);
        EXPECT_EQ(list == "alte Liste\r\n", end != "done") << list;
        std::size_t entries = 0;
        for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
            EXPECT_EQ(e.path().filename().string().rfind(".list.txt", 0), std::string::npos);
            ++entries;
        }
        EXPECT_EQ(entries, 3u);  // A.ZIP, B.ZIP, list.txt
    }
}

// Paths are sorted by their Windows-1252 letters without case (bytes above
// 0x7F after the ASCII letters), names equal but for case by their bytes.
TEST(SortAndMark, SortsWithoutCaseThenByBytes) {
    PathList given;
    for (const char* name :
         {"b.zip", "\xC3\xA4.zip", "B.zip", "ab.zip", "a.zip", "\xC3\x84.zip", "A.zip"})
        given.Add(std::string("/d/") + name);
    const SortedArchives sorted = SortAndMark(std::move(given));
    std::vector<std::string> order;
    for (std::size_t i = 0; i < sorted.size(); ++i) order.push_back(sorted.Path(i).substr(3));
    EXPECT_EQ(order, (std::vector<std::string>{"A.zip", "a.zip", "ab.zip", "B.zip", "b.zip",
                                               "\xC3\x84.zip", "\xC3\xA4.zip"}));
    EXPECT_EQ(sorted.marks.size(), 7u);
}

// A source whose answer follows from the archive's name alone, so any number
// of them can read side by side: "N" none, "E" a failure, "B" a box and a
// description, "T" an exception; the others finish late or early by turns.
class NamedSource : public DescriptionSource {
public:
    explicit NamedSource(ExtractionHooks hooks) : hooks_(std::move(hooks)) {}
    ExtractionOutcome ExtractDescription(const std::string& archive,
                                         const std::vector<std::string>&,
                                         const std::string&) override {
        const std::string name = archive.substr(archive.rfind('/') + 1);
        if (name[1] % 2 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(3));
        switch (name[0]) {
            case 'N':
                return {};
            case 'E':
                return {"FILE_ID.DIZ", true, "broken " + name, std::nullopt};
            case 'T':
                throw std::runtime_error("thrown at " + name);
            case 'B':
                hooks_.messageBox("Info", "box of " + name);
                break;
        }
        return {"FILE_ID.DIZ", false, "", "text of " + name + "\r\n"};
    }

private:
    ExtractionHooks hooks_;
};

// Read by several workers, the list, the log lines, the boxes and where an
// exception ended the job are what reading in turn gives.
TEST_F(ScanJobTest, ParallelReadingChangesNothingVisible) {
    struct Seen {
        std::vector<std::string> list, log, boxes;
        std::string crash;
    };
    const auto run = [this](const std::vector<std::string>& names, int workers) {
        host = test::RecordingHost();
        host.saveAnswer = dir / "list.txt";
        ::unlink((dir / "list.txt").c_str());
        NamedSource inTurn(HostHooks(host));
        ScanEnvironment env = Env(&inTurn);
        env.workers = workers;
        env.makeSource = [](ExtractionHooks h) { return std::make_unique<NamedSource>(h); };
        Seen seen;
        env.onCrash = [&seen](const std::string& m, const CrashContext& c) {
            seen.crash = m + " at " + c.currentName;
        };
        ScanJob(env).RunCommand(Archives(names), dir.path());
        if (test::Exists(dir / "list.txt")) seen.list = ListLines();
        for (std::size_t i = 2; i + 2 < host.log.size(); ++i) seen.log.push_back(host.log[i].first);
        for (const auto& b : host.boxes) seen.boxes.push_back(b.caption + ": " + b.text);
        return seen;
    };
    const std::vector<std::vector<std::string>> collections = {
        {"A1.ZIP", "B2.ZIP", "N3.ZIP", "E4.ZIP", "A5.ZIP", "B6.ZIP", "A7.ZIP", "N8.ZIP", "A9.ZIP"},
        {"A1.ZIP", "A2.ZIP", "T3.ZIP", "A4.ZIP", "A5.ZIP"},
    };
    for (const auto& names : collections) {
        const Seen one = run(names, 1);
        for (int workers : {2, 3}) {
            SCOPED_TRACE(std::to_string(workers) + " workers, " + names[2]);
            const Seen many = run(names, workers);
            EXPECT_EQ(many.list, one.list);
            EXPECT_EQ(many.log, one.log);
            EXPECT_EQ(many.boxes, one.boxes);
            EXPECT_EQ(many.crash, one.crash);
        }
    }
}

// Workers sharing the first pass give the totals and the summary that one
// gives: sizes summed in whole kilobytes, the oldest and newest dates found
// in any share.
TEST_F(ScanJobTest, FirstPassSharedByWorkersGivesTheSameTotals) {
    std::vector<std::string> names;
    for (int i = 0; i < 300; ++i) names.push_back("A1" + std::to_string(1000 + i) + ".ZIP");
    const auto archives = Archives(names);
    for (std::size_t i = 0; i < archives.size(); ++i) {
        ASSERT_EQ(::truncate(archives[i].c_str(), static_cast<off_t>(i * 700)), 0);
        const timespec times[2] = {{0, UTIME_OMIT},
                                   {static_cast<time_t>(1e9 + ((i * 7919) % 300) * 86400), 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, archives[i].c_str(), times, 0), 0);
    }
    config.settings.Resume = true;
    std::vector<std::string> totals, summaries;
    for (int workers : {1, 3}) {
        host = test::RecordingHost();
        host.saveAnswer = dir / "list.txt";
        ScanEnvironment env = Env();
        env.workers = workers;
        env.makeSource = [](ExtractionHooks h) { return std::make_unique<NamedSource>(h); };
        ScanJob(env).RunCommand(archives, dir.path());
        totals.push_back(host.totalHistory.at(0));
        const auto lines = ListLines();
        std::string summary;
        for (std::size_t i = archives.size(); i < lines.size(); ++i) summary += lines[i] + "\n";
        summaries.push_back(summary);
    }
    EXPECT_EQ(totals[0], "30.510");
    EXPECT_EQ(totals[1], totals[0]);
    EXPECT_THAT(summaries[0], HasSubstr("300"));
    EXPECT_EQ(summaries[1], summaries[0]);
}

}  // namespace
}  // namespace lumora
