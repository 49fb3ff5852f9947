// The Scan I job driven through a scripted host, without a screen.
#include "scan/scan_job.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <stdexcept>

#include "platform/locale_formats.h"
#include "platform/text.h"
#include "scan/recording_host.h"
#include "support/temp_folder.h"

namespace lumora {
namespace {

using test::ReadAll;
using test::RecordingHost;
using test::TempFolder;
using ::testing::HasSubstr;

// Hands out prepared descriptions: archive file name -> (member, bytes).
class ScriptedSource : public DescriptionSource {
public:
    ExtractionOutcome ExtractDescription(const std::string& archive,
                                         const std::vector<std::string>&,
                                         const std::string& dest) override {
        seen.push_back(archive);
        const std::string name = archive.substr(archive.rfind('/') + 1);
        if (onExtract) onExtract(name);
        if (failures.count(name)) return {"", true, failures[name]};
        const auto it = descriptions.find(name);
        if (it == descriptions.end()) return {};
        std::ofstream(dest + it->second.first, std::ios::binary) << it->second.second;
        return {it->second.first, false, ""};
    }
    std::map<std::string, std::pair<std::string, std::string>> descriptions;
    std::map<std::string, std::string> failures;
    std::vector<std::string> seen;
    std::function<void(const std::string&)> onExtract;
};

class ScanJobTest : public ::testing::Test {
protected:
    ScanJobTest() {
        config.InfoFileList = {"FILE_ID.DIZ"};
        config.settings.ShortName = false;
        config.settings.Divide = false;
        FillSeparatorLine(config);
        host.saveAnswer = dir / "list.txt";
    }

    ScanJob MakeJob() {
        ScanEnvironment env{config,      formats, host,    log,    source,
                            temp.path(), nullptr, nullptr, nullptr};
        env.onCrash = [this](const std::string& m, const CrashContext& c) {
            crashMessage = m;
            crashContext = c;
        };
        return ScanJob(env);
    }

    std::string Archive(const std::string& name, std::size_t size) {
        return dir.Write(name, std::string(size, 'x'));
    }

    std::vector<std::string> ListLines() {
        const std::string bytes = ReadAll(dir / "list.txt");
        std::vector<std::string> lines;
        std::size_t start = 0;
        for (std::size_t p; (p = bytes.find("\r\n", start)) != std::string::npos; start = p + 2)
            lines.push_back(bytes.substr(start, p - start));
        EXPECT_EQ(start, bytes.size()) << "every line must end in CR LF";
        return lines;
    }

    bool HasBox(const std::string& text) const {
        for (const auto& b : host.boxes)
            if (b.text.find(text) != std::string::npos) return true;
        return false;
    }

    TempFolder dir;
    TempFolder temp;
    Configuration config;
    LocaleFormats formats = LocaleFormats::German();
    RecordingHost host;
    JobLog log{host, formats};
    ScriptedSource source;
    std::string crashMessage;
    CrashContext crashContext;
};

TEST_F(ScanJobTest, TotalsCountWholeKilobytesOfEachArchive) {
    const std::vector<std::string> archives = {Archive("A.ZIP", 1023), Archive("B.ZIP", 1024),
                                               Archive("C.ZIP", 2047)};
    MakeJob().RunCommand(archives, dir.path());
    EXPECT_EQ(host.totalHistory, std::vector<std::string>{"2"});
    EXPECT_EQ(host.total, "") << "emptied at the end";
    EXPECT_EQ(host.statusPanel1, "Bearbeitet : 3 Dateien");
    EXPECT_EQ(host.gaugeMax, 2);
}

TEST_F(ScanJobTest, SortsFullPathsWithoutCase) {
    const std::string b = dir.Write("A/b.zip", "1");
    const std::string a = dir.Write("B/a.zip", "1");
    MakeJob().RunCommand({a, b}, dir.path());
    ASSERT_EQ(source.seen.size(), 2u);
    EXPECT_EQ(source.seen[0], b);
    EXPECT_EQ(source.seen[1], a);
    const auto lines = ListLines();
    EXPECT_THAT(lines[0], HasSubstr("B.ZIP"));
}

TEST_F(ScanJobTest, OneArchiveGivesGaugeMaximumZeroAndItsEntry) {
    config.settings.Divide = true;
    config.settings.Resume = true;
    MakeJob().RunCommand({Archive("ONE.ZIP", 10)}, dir.path());
    EXPECT_EQ(host.gaugeMax, 0);
    EXPECT_EQ(host.gaugePos, 0);
    const auto lines = ListLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_THAT(lines[0], HasSubstr("LM : Keine FILE_ID gefunden"));
    EXPECT_EQ(lines[1], std::string(80, ' '));
    EXPECT_EQ(lines[2], "");
    EXPECT_THAT(ReadAll(dir / "list.txt"), HasSubstr("Anzahl der Archive      :"));
}

TEST_F(ScanJobTest, CancelYesWritesNothingButEndsTheJob) {
    const auto a = Archive("A.ZIP", 1), b = Archive("B.ZIP", 1);
    ScanJob job = MakeJob();
    source.onExtract = [&job](const std::string&) { job.RequestCancel(); };
    host.answers = {MsgAnswer::Yes};
    job.RunCommand({a, b}, dir.path());
    EXPECT_FALSE(test::Exists(dir / "list.txt"));
    EXPECT_EQ(source.seen.size(), 1u);
    EXPECT_TRUE(HasBox("Den Vorgang wirklich abbrechen ?"));
    EXPECT_TRUE(HasBox("Die Erstellung der Liste ist abgeschlossen !"));
    EXPECT_THAT(host.log.back().first, HasSubstr("Job beendet : "));
}

TEST_F(ScanJobTest, CancelNoGoesOnWithTheSameArchive) {
    const auto a = Archive("A.ZIP", 1), b = Archive("B.ZIP", 1);
    ScanJob job = MakeJob();
    source.onExtract = [&job](const std::string& name) {
        if (name == "A.ZIP") job.RequestCancel();
    };
    host.answers = {MsgAnswer::No};
    job.RunCommand({a, b}, dir.path());
    EXPECT_EQ(source.seen, (std::vector<std::string>{a, b}));
    EXPECT_FALSE(job.cancelRequested());
    EXPECT_EQ(ListLines().size(), 2u);
}

TEST_F(ScanJobTest, VanishedArchiveAndFolderShowUnknownSizeAndDate) {
    const auto gone = Archive("GONE.ZIP", 5);
    const auto folder = dir.MakeDir("FOLDER.ZIP");
    const auto good = Archive("GOOD.ZIP", 5);
    source.onExtract = [&](const std::string&) { ::unlink(gone.c_str()); };
    MakeJob().RunCommand({gone, folder.substr(0, folder.size() - 1), good}, dir.path());
    const auto lines = ListLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_THAT(lines[0], HasSubstr("FOLDER.ZIP   < ? >      < ? > LM : Keine"));
    EXPECT_THAT(lines[1], HasSubstr("GONE.ZIP   < ? >      < ? > LM : Keine"));
    EXPECT_THAT(lines[2], HasSubstr("GOOD.ZIP       5 "));
}

TEST_F(ScanJobTest, DescriptionLinesStatusAndLog) {
    const auto a = Archive("A.ZIP", 1), e = Archive("E.ZIP", 1), f = Archive("F.ZIP", 1);
    source.descriptions["A.ZIP"] = {"file_id.diz", "Zeile 1\r\nZeile 2\r\n"};
    source.descriptions["E.ZIP"] = {"FILE_ID.DIZ", ""};
    source.failures["F.ZIP"] = "Fehler beim Lesen";
    config.settings.Design = static_cast<int>(DisplayMode::AllFull);
    MakeJob().RunCommand({a, e, f}, dir.path());
    const auto lines = ListLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_THAT(lines[0], HasSubstr(" Zeile 1"));
    EXPECT_THAT(lines[1], HasSubstr("Zeile 2"));
    EXPECT_THAT(lines[2], HasSubstr("LM : Leere FILE_ID"));
    EXPECT_THAT(lines[3], HasSubstr("Fehler beim Lesen"));
    ASSERT_EQ(host.log.size(), 7u);
    EXPECT_EQ(host.log[2].first, dir.path() + "A.ZIP, file_id.diz... O.K.");
    EXPECT_EQ(host.log[2].second, LogKind::Success);
    EXPECT_EQ(host.log[3].first, dir.path() + "E.ZIP, FILE_ID.DIZ... Leere FILE_ID");
    EXPECT_EQ(host.log[3].second, LogKind::Failure);
    EXPECT_EQ(host.log[4].first, dir.path() + "F.ZIP, ... Fehler beim Lesen");
}

TEST_F(ScanJobTest, ExtractionFoldersAreRemovedAndSymlinksNotRead) {
    const auto a = Archive("A.ZIP", 1);
    const std::string secret = dir.Write("secret.txt", "geheim\r\n");
    source.onExtract = [&](const std::string&) {
        // A member that is a link out of the folder must not be read.
        ::symlink(secret.c_str(), (temp.path() + "a0/FILE_ID.DIZ").c_str());
    };
    source.failures.clear();
    ScanJob job = MakeJob();
    ScriptedSource* s = &source;
    s->descriptions.clear();
    job.RunCommand({a}, dir.path());
    EXPECT_THAT(ListLines()[0], HasSubstr("Keine FILE_ID"));
    EXPECT_FALSE(test::Exists(temp.path() + "a0"));
}

TEST_F(ScanJobTest, ListReplacesExistingFileWithCrLfLines) {
    dir.Write("list.txt", "old contents that are longer than the new list\n");
    MakeJob().RunCommand({Archive("A.ZIP", 1)}, dir.path());
    const std::string bytes = ReadAll(dir / "list.txt");
    EXPECT_EQ(bytes.find("old"), std::string::npos);
    EXPECT_EQ(ListLines().size(), 1u);
}

TEST_F(ScanJobTest, UnwritableListFileIsReportedAndJobEnds) {
    host.saveAnswer = dir.path() + "missing-folder/list.txt";
    MakeJob().RunCommand({Archive("A.ZIP", 1)}, dir.path());
    EXPECT_TRUE(HasBox("Die Liste kann nicht gespeichert werden"));
    EXPECT_FALSE(HasBox("abgeschlossen"));
    EXPECT_THAT(host.log.back().first, HasSubstr("Job beendet"));
    EXPECT_EQ(host.calls.back(), "idle");
}

TEST_F(ScanJobTest, EmptyInfoFileListRefusesTheJob) {
    config.InfoFileList.clear();
    MakeJob().RunCommand({Archive("A.ZIP", 1)}, dir.path());
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].caption, "Warnung");
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(ScanJobTest, MissingTempFolderRefusesTheJob) {
    ScanEnvironment env{config, formats, host, log, source, "", nullptr, nullptr, nullptr};
    ScanJob(env).RunCommand({Archive("A.ZIP", 1)}, dir.path());
    EXPECT_TRUE(HasBox("Temp - Verzeichnis kann nicht ermittelt werden !"));
    EXPECT_TRUE(source.seen.empty());
}

TEST_F(ScanJobTest, UnexpectedErrorGoesToTheCrashSeam) {
    const auto a = Archive("A.ZIP", 1), b = Archive("B.ZIP", 1);
    source.onExtract = [](const std::string& name) {
        if (name == "B.ZIP") throw std::runtime_error("kaputt");
    };
    MakeJob().RunCommand({a, b}, dir.path());
    EXPECT_EQ(crashMessage, "kaputt");
    EXPECT_EQ(crashContext.currentName, "B.ZIP");
    EXPECT_EQ(crashContext.currentIndex, 1);
    EXPECT_EQ(crashContext.archiveCount, 2);
    EXPECT_FALSE(test::Exists(dir / "list.txt"));
}

TEST_F(ScanJobTest, OemConvertsErrorEntriesButNotTheSeparator) {
    config.settings.OEM = true;
    config.settings.Divide = true;
    config.settings.DivisionChar = "\xC4";
    FillSeparatorLine(config);
    source.failures["A.ZIP"] =
        "Pr\xFC"
        "fung";
    MakeJob().RunCommand({Archive("A.ZIP", 1)}, dir.path());
    const auto lines = ListLines();
    EXPECT_THAT(lines[0], HasSubstr("Pr\x81"
                                    "fung"));
    EXPECT_EQ(lines[1], std::string(80, '\xC4'));
}

TEST_F(ScanJobTest, ShortNamesShowTheAlias) {
    config.settings.ShortName = true;
    MakeJob().RunCommand({Archive("Long File Name.zip", 1)}, dir.path());
    EXPECT_THAT(ListLines()[0], HasSubstr("LONGFI~1.ZIP"));
    config.settings.ShortName = false;
    MakeJob().RunCommand({dir / "Long File Name.zip"}, dir.path());
    EXPECT_THAT(ListLines()[0], HasSubstr("LONG FILE NAME.ZIP"));
}

TEST_F(ScanJobTest, SizesBeyondFourGibibytesAreExact) {
    const std::string big = dir / "BIG.ZIP";
    { std::ofstream f(big, std::ios::binary); }
    if (::truncate(big.c_str(), 5368709120LL) != 0) GTEST_SKIP() << "no sparse files here";
    MakeJob().RunCommand({big}, dir.path());
    EXPECT_THAT(ListLines()[0], HasSubstr("5368709120"));
    EXPECT_EQ(host.totalHistory.at(0), "5.242.880");
}

}  // namespace
}  // namespace lumora
