// The job log: markers of a job, hiding, the line limit and saving.
#include "scan/job_log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "platform/text.h"
#include "scan/recording_host.h"
#include "scan/scan_job.h"
#include "support/temp_folder.h"

namespace lumora {
namespace {

using test::RecordingHost;
using test::TempFolder;
using ::testing::HasSubstr;
using ::testing::StartsWith;

// Archives named in `described` get a FILE_ID.DIZ of one line.
class OneLineSource : public DescriptionSource {
public:
    ExtractionOutcome ExtractDescription(const std::string& archive,
                                         const std::vector<std::string>&,
                                         const std::string& dest) override {
        const std::string name = archive.substr(archive.rfind('/') + 1);
        if (!described.count(name)) return {};
        std::ofstream(dest + "FILE_ID.DIZ", std::ios::binary) << "Beschreibung\r\n";
        return {"FILE_ID.DIZ", false, ""};
    }
    std::map<std::string, bool> described;
};

class JobLogTest : public ::testing::Test {
protected:
    JobLogTest() {
        config.InfoFileList = {"FILE_ID.DIZ"};
        config.settings.ShortName = false;
        host.saveAnswer = dir / "list.txt";
    }
    void RunJob(const std::vector<std::string>& names) {
        std::vector<std::string> archives;
        for (const auto& n : names) archives.push_back(dir.Write(n, "x"));
        ScanEnvironment env{config,      formats, host,    log,    source,
                            temp.path(), nullptr, nullptr, nullptr};
        ScanJob(env).RunCommand(archives, dir.path());
    }
    std::vector<LogKind> Kinds() const {
        std::vector<LogKind> kinds;
        for (const auto& [text, kind] : host.log) kinds.push_back(kind);
        return kinds;
    }
    int BoxesWithCaption(const std::string& caption) const {
        int n = 0;
        for (const auto& b : host.boxes) n += b.caption == caption;
        return n;
    }

    TempFolder dir, temp;
    Configuration config;
    LocaleFormats formats = LocaleFormats::German();
    RecordingHost host;
    JobLog log{host, formats};
    OneLineSource source;
};

TEST_F(JobLogTest, ThreeArchiveJobGivesMarkersInSortedOrder) {
    source.described = {{"A.ZIP", true}, {"C.ZIP", true}};
    RunJob({"C.ZIP", "B.ZIP", "A.ZIP"});
    const LogKind blue = LogKind::Neutral, green = LogKind::Success, red = LogKind::Failure;
    EXPECT_EQ(Kinds(), (std::vector<LogKind>{blue, blue, green, red, green, blue, blue}));
    ASSERT_EQ(host.log.size(), 7u);
    EXPECT_THAT(host.log[0].first, StartsWith("Neuer Job gestartet : "));
    EXPECT_THAT(host.log[0].first, testing::EndsWith(" Uhr"));
    EXPECT_EQ(host.log[1].first, std::string(27, '-'));
    EXPECT_EQ(host.log[2].first, dir.path() + "A.ZIP, FILE_ID.DIZ... O.K.");
    EXPECT_EQ(host.log[3].first, dir.path() + "B.ZIP, ... Keine FILE_ID gefunden");
    EXPECT_EQ(host.log[4].first, dir.path() + "C.ZIP, FILE_ID.DIZ... O.K.");
    EXPECT_EQ(host.log[5].first, std::string(27, '-'));
    EXPECT_THAT(host.log[6].first, StartsWith("Job beendet : "));
    EXPECT_EQ(log.lines().size(), 7u);
    EXPECT_EQ(log.kinds(), Kinds());
}

TEST_F(JobLogTest, HiddenLogGetsNoLineAtAll) {
    log.SetShown(false);
    log.SetLineLimit(1);
    RunJob({"A.ZIP", "B.ZIP"});
    log.AddLogLine("direct", LogKind::Neutral);
    EXPECT_TRUE(host.log.empty());
    EXPECT_TRUE(log.lines().empty());
    EXPECT_EQ(BoxesWithCaption("Protokoll"), 0) << "no limit check while hidden";
}

TEST_F(JobLogTest, LimitAsksBeforeTheFourthArchiveLineAndNoKeepsEverything) {
    log.SetLineLimit(5);
    RunJob({"A.ZIP", "B.ZIP", "C.ZIP", "D.ZIP"});
    ASSERT_EQ(BoxesWithCaption("Protokoll"), 1);
    const auto notice = std::find_if(host.boxes.begin(), host.boxes.end(),
                                     [](const auto& b) { return b.caption == "Hinweis"; });
    ASSERT_NE(notice, host.boxes.end());
    EXPECT_EQ(notice->text, Utf8ToAnsi("Das Protokoll hat die definierte Zeilenanzahl erreicht "
                                       "und wird nun gelöscht."));
    EXPECT_EQ(notice->buttons, MsgButtons::Ok);
    const auto question = notice + 1;
    EXPECT_EQ(question->text, Utf8ToAnsi("Den Inhalt des Protokolls wirklich löschen ?"));
    EXPECT_EQ(question->buttons, MsgButtons::YesNoDefaultNo);
    EXPECT_EQ(question->icon, MsgIcon::Question);
    EXPECT_EQ(log.lines().size(), 8u);
}

TEST_F(JobLogTest, LimitNagsAgainAfterNoAndClearsOnYes) {
    log.SetLineLimit(3);
    host.answers = {MsgAnswer::No, MsgAnswer::Yes};
    RunJob({"A.ZIP", "B.ZIP", "C.ZIP"});
    // Before B: 3 lines, No. Before C: 4 lines, Yes: cleared, then C's line.
    EXPECT_EQ(BoxesWithCaption("Protokoll"), 2);
    ASSERT_EQ(log.lines().size(), 3u);
    EXPECT_THAT(log.lines()[0], HasSubstr("C.ZIP"));
    EXPECT_EQ(host.log.size(), 3u) << "the view was emptied too";
}

TEST_F(JobLogTest, SavedLogHasEveryLineWithCrLf) {
    log.AddLogLine("eins", LogKind::Success);
    log.AddLogLine("zw\xF6lf", LogKind::Failure);
    ASSERT_TRUE(log.SaveTo(dir / "log.txt", nullptr));
    EXPECT_EQ(test::ReadAll(dir / "log.txt"), "eins\r\nzw\xF6lf\r\n");
}

TEST_F(JobLogTest, SaveCommandUsesTheDialogAndReportsFailures) {
    log.AddLogLine("eins", LogKind::Success);
    host.saveAnswer = std::nullopt;
    EXPECT_FALSE(log.SaveWithDialog("/prog/"));
    EXPECT_EQ(host.saveRequest.title, "Protokoll speichern");
    EXPECT_EQ(host.saveRequest.initialFolder, "/prog/");
    EXPECT_EQ(host.saveRequest.defaultExtension, "") << "the dialog keeps its extension";
    EXPECT_TRUE(host.boxes.empty());

    host.saveAnswer = dir.path() + "missing/log.txt";
    EXPECT_FALSE(log.SaveWithDialog("/prog/"));
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].caption, "Fehler");
    EXPECT_EQ(host.boxes[0].icon, MsgIcon::Error);
    EXPECT_FALSE(host.boxes[0].text.empty());
    EXPECT_EQ(log.lines().size(), 1u);

    host.saveAnswer = dir / "log.txt";
    EXPECT_TRUE(log.SaveWithDialog("/prog/"));
    EXPECT_EQ(test::ReadAll(dir / "log.txt"), "eins\r\n");
}

}  // namespace
}  // namespace lumora
