// The crash report: its text, its file, and the job ending the program only
// after writing it (through the terminate seam).
#include "scan/crash_report.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "scan/job_seams.h"
#include "scan/recording_host.h"
#include "support/temp_folder.h"

namespace lumora {
namespace {

using test::ReadAll;
using test::TempFolder;

const char* const kTail =
    "*** END OF CONFIGURATION ***\r\n"
    "Aktuelles Archiv=GAME2.ZIP\r\n"
    "Aktueller Counter=1\r\n"
    "Gesamtanzahl Archive=3\r\n"
    "Exception=kaputt\r\n";

class CrashReportTest : public ::testing::Test {
protected:
    CrashReportPlace Place() const { return {program.path(), windows.path()}; }
    void Write() {
        WriteCrashReport(host, Place(), "kaputt", {"GAME2.ZIP", 1, 3}, [this] {
            ++terminated;
            reportAtEnd = test::Exists(program / "lumora.log");
        });
    }
    TempFolder program, windows;
    test::RecordingHost host;
    int terminated = 0;
    bool reportAtEnd = false;
};

TEST_F(CrashReportTest, WithoutLumoraIniStartsWithTheEndLine) {
    Write();
    EXPECT_EQ(ReadAll(program / "lumora.log"), kTail);
    ASSERT_EQ(host.boxes.size(), 1u);
    EXPECT_EQ(host.boxes[0].caption, "Lumora");
    EXPECT_EQ(host.boxes[0].icon, MsgIcon::Error);
    EXPECT_EQ(host.boxes[0].text.rfind("Bei der Analyse der Archive ist ein schwerer Fehler "
                                       "aufgetreten !\r\r",
                                       0),
              0u);
    EXPECT_NE(host.boxes[0].text.find("\"LUMORA.LOG\""), std::string::npos);
    EXPECT_EQ(terminated, 1);
    EXPECT_TRUE(reportAtEnd);
}

TEST_F(CrashReportTest, LumoraIniLinesComeFirstAndAnOldReportIsReplaced) {
    windows.Write("lumora.ini", "[Lumora]\nWidth=60\r\nlast line");
    program.Write("lumora.log", "an old report that is longer than anything written now\r\n");
    Write();
    EXPECT_EQ(ReadAll(program / "lumora.log"),
              std::string("[Lumora]\r\nWidth=60\r\nlast line\r\n") + kTail);
}

TEST_F(CrashReportTest, BeforeTheFirstArchiveTheNameIsEmpty) {
    EXPECT_EQ(CrashReportText("", "x", {"", 0, 2}),
              "*** END OF CONFIGURATION ***\r\nAktuelles Archiv=\r\nAktueller Counter=0\r\n"
              "Gesamtanzahl Archive=2\r\nException=x\r\n");
}

TEST_F(CrashReportTest, UnwritableFolderIsReportedAndTheProgramStillEnds) {
    WriteCrashReport(host, {program.path() + "missing/", windows.path()}, "kaputt", {},
                     [this] { ++terminated; });
    ASSERT_EQ(host.boxes.size(), 2u);
    EXPECT_EQ(host.boxes[1].caption, "Fehler");
    EXPECT_EQ(terminated, 1);
}

// A source whose second archive throws an unexpected error.
class ThrowingSource : public DescriptionSource {
public:
    ExtractionOutcome ExtractDescription(const std::string& archive,
                                         const std::vector<std::string>&,
                                         const std::string&) override {
        if (archive.find("B.ZIP") != std::string::npos) throw std::runtime_error("kaputt");
        return {};
    }
};

TEST_F(CrashReportTest, FailingJobWritesTheReportThenEnds) {
    TempFolder dir, temp;
    Configuration config;
    config.InfoFileList = {"FILE_ID.DIZ"};
    config.settings.ShortName = false;
    const LocaleFormats formats = LocaleFormats::German();
    JobLog log(host, formats);
    ThrowingSource source;
    host.saveAnswer = dir / "list.txt";
    ScanEnvironment env{config, formats, host, log, source, temp.path(), nullptr, nullptr, nullptr};
    env.onCrash = CrashReportHandler(host, Place(), [&] {
        ++terminated;
        reportAtEnd = test::Exists(program / "lumora.log");
    });
    ScanJob(env).RunCommand({dir.Write("A.ZIP", "x"), dir.Write("B.ZIP", "x")}, dir.path());
    EXPECT_EQ(terminated, 1);
    EXPECT_TRUE(reportAtEnd);
    EXPECT_EQ(ReadAll(program / "lumora.log"),
              "*** END OF CONFIGURATION ***\r\nAktuelles Archiv=B.ZIP\r\nAktueller Counter=1\r\n"
              "Gesamtanzahl Archive=2\r\nException=kaputt\r\n");
    EXPECT_FALSE(test::Exists(dir / "list.txt"));
    for (const auto& b : host.boxes) EXPECT_NE(b.caption, "Hinweis") << "no completion message";
}

}  // namespace
}  // namespace lumora
