// The job log: markers of a job, hiding, the line limit and saving.
#include "scan/job_log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/text.h"
#include "scan/recording_host.h"

namespace lumora {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::StartsWith;

class JobLogTest : public test::ScanJobFixture {
protected:
    JobLogTest() {
        for (const char* name : {"A.ZIP", "C.ZIP"})
            source.descriptions[name] = {"FILE_ID.DIZ", "Beschreibung\r\n"};
    }
    std::vector<LogKind> Kinds() const {
        std::vector<LogKind> kinds;
        for (const auto& [text, kind] : host.log) kinds.push_back(kind);
        return kinds;
    }
};

// A three-archive job: start and end markers in blue, one line per archive
// in sorted order, green when described and red when not; the log keeps
// what the view shows.
TEST_F(JobLogTest, ThreeArchiveJobGivesMarkersInSortedOrder) {
    RunJob(Archives({"C.ZIP", "B.ZIP", "A.ZIP"}));
    const LogKind blue = LogKind::Neutral, green = LogKind::Success, red = LogKind::Failure;
    EXPECT_EQ(Kinds(), (std::vector<LogKind>{blue, blue, green, red, green, blue, blue}));
    ASSERT_EQ(host.log.size(), 7u);
    EXPECT_THAT(host.log[0].first, StartsWith("Neuer Job gestartet : "));
    EXPECT_THAT(host.log[0].first, EndsWith(" Uhr"));
    EXPECT_EQ(host.log[1].first, std::string(27, '-'));
    EXPECT_EQ(host.log[2].first, dir / "A.ZIP, FILE_ID.DIZ... O.K.");
    EXPECT_EQ(host.log[3].first, dir / "B.ZIP, ... Keine FILE_ID gefunden");
    EXPECT_EQ(host.log[4].first, dir / "C.ZIP, FILE_ID.DIZ... O.K.");
    EXPECT_EQ(host.log[5].first, std::string(27, '-'));
    EXPECT_THAT(host.log[6].first, StartsWith("Job beendet : "));
    EXPECT_EQ(log.kinds(), Kinds());
}

// With the log switched off nothing is added, and the limit never asks.
TEST_F(JobLogTest, HiddenLogGetsNoLineAtAll) {
    log.SetShown(false);
    log.SetLineLimit(1);
    RunJob(Archives({"A.ZIP", "B.ZIP"}));
    log.AddLogLine("direct", LogKind::Neutral);
    EXPECT_TRUE(host.log.empty());
    EXPECT_TRUE(log.lines().empty());
    EXPECT_EQ(host.BoxesWithCaption("Protokoll"), 0);
}

// At the limit the user is told, then asked (default No) before the next
// archive line. No keeps every line, so the next archive asks again; Yes
// empties the log and its view before that archive's line.
TEST_F(JobLogTest, LineLimitQuestion) {
    log.SetLineLimit(3);
    host.answers = {MsgAnswer::No, MsgAnswer::Yes};
    RunJob(Archives({"A.ZIP", "B.ZIP", "C.ZIP", "D.ZIP"}));
    EXPECT_EQ(host.BoxesWithCaption("Protokoll"), 2);
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
    ASSERT_EQ(log.lines().size(), 4u);
    EXPECT_THAT(log.lines()[0], HasSubstr("C.ZIP"));
    EXPECT_EQ(host.log.size(), 4u);
}

// Saving: a cancelled dialog does nothing, a failed write is reported and
// keeps the log, and the file holds every line in CR LF, bytes unchanged.
TEST_F(JobLogTest, SaveCommandUsesTheDialogAndReportsFailures) {
    log.AddLogLine("eins", LogKind::Success);
    log.AddLogLine("zw\xF6lf", LogKind::Failure);
    host.saveAnswer = std::nullopt;
    EXPECT_FALSE(log.SaveWithDialog("/prog/"));
    EXPECT_EQ(host.saveRequest.title, "Protokoll speichern");
    EXPECT_EQ(host.saveRequest.initialFolder, "/prog/");
    EXPECT_EQ(host.saveRequest.defaultExtension, "") << "the dialog keeps its extension";
    EXPECT_TRUE(host.boxes.empty());

    host.saveAnswer = dir / "missing/log.txt";
    EXPECT_FALSE(log.SaveWithDialog("/prog/"));
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].caption, "Fehler");
    EXPECT_EQ(host.boxes[0].icon, MsgIcon::Error);
    EXPECT_EQ(log.lines().size(), 2u);

    host.saveAnswer = dir / "log.txt";
    EXPECT_TRUE(log.SaveWithDialog("/prog/"));
    EXPECT_EQ(test::ReadAll(dir / "log.txt"), "eins\r\nzw\xF6lf\r\n");
}

// With a line sink the job's lines go there as they are made, each once,
// and the log keeps none of them while the view is still told of each.
TEST_F(JobLogTest, LineSinkTakesTheLinesInsteadOfTheLog) {
    std::vector<std::string> sunk;
    log.SetLineSink([&sunk](const std::string& line) { sunk.push_back(line); });
    RunJob(Archives({"A.ZIP", "B.ZIP"}));
    EXPECT_TRUE(log.lines().empty());
    ASSERT_EQ(sunk.size(), 6u);
    ASSERT_EQ(host.log.size(), sunk.size());
    for (std::size_t i = 0; i < sunk.size(); ++i) EXPECT_EQ(sunk[i], host.log[i].first);
}

}  // namespace
}  // namespace lumora
