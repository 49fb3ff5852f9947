// The summary block, alone and at the end of a Scan I list.
#include "scan/summary.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/text.h"
#include "scan/recording_host.h"
#include "scan/scan_job.h"
#include "support/temp_folder.h"

namespace lumora {
namespace {

using ::testing::HasSubstr;

SummaryInput FixedInput() {
    SummaryInput in;
    in.archiveCount = 3;
    in.totalKilobytes = 1234567;
    in.oldest = EncodeDateTime({1998, 3, 5});
    in.newest = EncodeDateTime({2024, 1, 31});
    in.today = EncodeDateTime({2026, 12, 7, 14, 3, 7});
    in.sourceFolder = "/srv/files/";
    return in;
}

std::vector<std::string> SplitCrLf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t p; (p = text.find("\r\n", start)) != std::string::npos; start = p + 2)
        lines.push_back(text.substr(start, p - start));
    EXPECT_EQ(start, text.size()) << "every line ends in CR LF";
    return lines;
}

TEST(SummaryTest, ExactBytesForAFixedDateAndLocale) {
    const std::string expected =
        "\r\n\r\n"
        "+-----------------------------------------------------------------+\r\n"
        "| Zusammenfassung der Dateiliste                                  |\r\n"
        "|-----------------------------------------------------------------|\r\n"
        "| Liste wurde erstellt am :                            07.12.2026 |\r\n"
        "| Quellverzeichnis        :                           /srv/files/ |\r\n"
        "| Anzahl der Archive      :                                     3 |\r\n"
        "| KiloByte insgesamt      :                             1.234.567 |\r\n"
        "| \xC4lteste Datei vom       :                            05.03.1998 |\r\n"
        "| J\xFCngste Datei vom       :                            31.01.2024 |\r\n"
        "+-----------------------------------------------------------------+\r\n";
    const std::string block = BuildSummary(FixedInput(), LocaleFormats::German());
    EXPECT_EQ(block, expected);
    for (const auto& line : SplitCrLf(block.substr(4))) EXPECT_EQ(line.size(), 67u) << line;
}

TEST(SummaryTest, LongSourceFolderLengthensItsLineOnly) {
    SummaryInput in = FixedInput();
    in.sourceFolder = "/home/user/archive/shareware/games/strategy/";  // 44 characters
    const auto lines = SplitCrLf(BuildSummary(in, LocaleFormats::German()).substr(4));
    EXPECT_EQ(lines[4], "| Quellverzeichnis        : " + in.sourceFolder + " |");
    EXPECT_EQ(lines[4].size(), 28u + 44 + 2);
    EXPECT_EQ(lines[5].size(), 67u);
}

TEST(SummaryTest, FolderWithUmlautCountsWindows1252Bytes) {
    SummaryInput in = FixedInput();
    in.sourceFolder = Utf8ToAnsi("/srv/Spiele für Kinder/");
    const auto lines = SplitCrLf(BuildSummary(in, LocaleFormats::German()).substr(4));
    EXPECT_EQ(lines[4].size(), 67u);
}

class SummaryInListTest : public ::testing::Test {
protected:
    SummaryInListTest() {
        config.InfoFileList = {"FILE_ID.DIZ"};
        config.settings.ShortName = false;
        config.settings.Resume = true;
        config.settings.Divide = true;
        config.settings.DivisionChar = "\xC4";
        FillSeparatorLine(config);
        host.saveAnswer = dir / "list.txt";
    }
    std::vector<std::string> Run() {
        ScanEnvironment env{config,      formats, host,    log,    source,
                            temp.path(), nullptr, nullptr, nullptr};
        ScanJob(env).RunCommand({dir.Write("A.ZIP", "x")}, dir.path());
        return SplitCrLf(test::ReadAll(dir / "list.txt"));
    }
    test::TempFolder dir, temp;
    Configuration config;
    LocaleFormats formats = LocaleFormats::German();
    test::RecordingHost host;
    JobLog log{host, formats};
    NoDescriptionSource source;
};

TEST_F(SummaryInListTest, ThreeEmptyLinesBeforeAndOneAfter) {
    const auto lines = Run();
    ASSERT_EQ(lines.size(), 2u + 3 + 10 + 1);
    EXPECT_EQ(lines[1], std::string(80, '\xC4'));
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(lines[3], "");
    EXPECT_EQ(lines[4], "");
    EXPECT_EQ(lines[5], lines[14]);
    EXPECT_EQ(lines[5][0], '+');
    EXPECT_EQ(lines[15], "");
    EXPECT_THAT(lines[10], HasSubstr("                                     1 |"));
}

TEST_F(SummaryInListTest, OemListConvertsSummaryAndErrorEntryButNotTheSeparator) {
    config.settings.OEM = true;
    const auto lines = Run();
    ASSERT_EQ(lines.size(), 16u);
    EXPECT_THAT(lines[0], HasSubstr("LM : Keine FILE_ID gefunden"));
    EXPECT_EQ(lines[1], std::string(80, '\xC4')) << "the separator keeps its code";
    EXPECT_EQ(lines[12].substr(0, 3), "| \x8E") << "A-umlaut becomes code 142 in code page 850";
    EXPECT_EQ(lines[13].substr(0, 4), "| J\x81");
    EXPECT_EQ(lines[12].size(), 67u);
}

}  // namespace
}  // namespace lumora
