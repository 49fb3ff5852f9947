// The crash report: its text, its file, and the job ending the program only
// after writing it (through the terminate seam).
#include "scan/crash_report.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "scan/job_seams.h"
#include "scan/recording_host.h"

namespace lumora {
namespace {

using test::ReadAll;
using test::TempFolder;

class CrashReportTest : public test::ScanJobFixture {
protected:
    CrashReportPlace Place() const { return {program.path(), windows.path(), ""}; }
    std::function<void()> Terminate() {
        return [this] {
            ++terminated;
            reportAtEnd = ReadAll(program / "lumora.log");
        };
    }
    TempFolder program, windows;
    int terminated = 0;
    std::string reportAtEnd;  // the report file when the program was ended
};

// The report copies lumora.ini when there is one (lines ended in CR LF),
// replaces an older, longer report, tells the user where it is, and only
// then ends the program.
TEST_F(CrashReportTest, WithAndWithoutLumoraIni) {
    const std::string tail =
        "*** END OF CONFIGURATION ***\r\nAktuelles Archiv=GAME2.ZIP\r\nAktueller Counter=1\r\n"
        "Gesamtanzahl Archive=3\r\nException=kaputt\r\n";
    const struct {
        const char* ini;  // nullptr: no lumora.ini
        std::string head;
    } rows[] = {{nullptr, ""},
                {"[Lumora]\nWidth=60\r\nlast line", "[Lumora]\r\nWidth=60\r\nlast line\r\n"}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.ini ? "with lumora.ini" : "without lumora.ini");
        host = test::RecordingHost();
        terminated = 0;
        if (r.ini) windows.Write("lumora.ini", r.ini);
        program.Write("lumora.log", std::string(400, 'o'));  // an older, longer report
        WriteCrashReport(host, Place(), "kaputt", {"GAME2.ZIP", 1, 3}, Terminate());
        EXPECT_EQ(reportAtEnd, r.head + tail);
        ASSERT_EQ(host.boxes.size(), 1u);
        EXPECT_EQ(host.boxes[0].caption, "Lumora");
        EXPECT_EQ(host.boxes[0].icon, MsgIcon::Error);
        EXPECT_EQ(host.boxes[0].text.rfind(
                      "Bei der Analyse der Archive ist ein schwerer Fehler aufgetreten !\r\r", 0),
                  0u);
        EXPECT_NE(host.boxes[0].text.find("\"LUMORA.LOG\""), std::string::npos);
        EXPECT_EQ(terminated, 1);
    }
}

// A report that cannot be written is reported, and the program still ends.
TEST_F(CrashReportTest, UnwritableFolderIsReportedAndTheProgramStillEnds) {
    WriteCrashReport(host, {program / "missing/", windows.path(), ""}, "kaputt", {}, Terminate());
    ASSERT_EQ(host.boxes.size(), 2u);
    EXPECT_EQ(host.boxes[1].caption, "Fehler");
    EXPECT_EQ(terminated, 1);
}

// An unexpected error in the job reaches the crash handler with the archive
// at hand; the report is written before the end, and no list is saved.
TEST_F(CrashReportTest, FailingJobWritesTheReportThenEnds) {
    source.onExtract = [](const std::string& name) {
        if (name == "B.ZIP") throw std::runtime_error("kaputt");
    };
    ScanEnvironment env = Env();
    env.onCrash = CrashReportHandler(host, Place(), Terminate());
    ScanJob(env).RunCommand(Archives({"A.ZIP", "B.ZIP"}), dir.path());
    EXPECT_EQ(terminated, 1);
    EXPECT_EQ(reportAtEnd,
              "*** END OF CONFIGURATION ***\r\nAktuelles Archiv=B.ZIP\r\nAktueller Counter=1\r\n"
              "Gesamtanzahl Archive=2\r\nException=kaputt\r\n");
    EXPECT_FALSE(test::Exists(dir / "list.txt"));
    EXPECT_EQ(host.BoxesWithCaption("Hinweis"), 0) << "no completion message";
}

// Without a terminate seam the program ends at once with status 3, after
// the report was written and the private temp folder removed.
TEST_F(CrashReportTest, EndingAtOnceRemovesThePrivateTempFolder) {
    TempFolder temp;
    temp.Write("a0/FILE_ID.DIZ", "desc");
    const CrashReportPlace place{program.path(), windows.path(), temp.path()};
    EXPECT_EXIT(WriteCrashReport(host, place, "kaputt", {"GAME2.ZIP", 1, 3}),
                ::testing::ExitedWithCode(3), "");
    EXPECT_FALSE(test::Exists(temp.path()));
    EXPECT_NE(ReadAll(program / "lumora.log").find("Exception=kaputt"), std::string::npos);
}

}  // namespace
}  // namespace lumora
