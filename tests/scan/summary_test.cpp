// The summary block, alone and at the end of a Scan I list.
#include "scan/summary.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/text.h"
#include "scan/recording_host.h"

namespace lumora {
namespace {

using test::SplitCrLf;
using ::testing::HasSubstr;

SummaryInput FixedInput(const std::string& sourceFolder = "/srv/files/") {
    SummaryInput in;
    in.archiveCount = 3;
    in.totalKilobytes = 1234567;
    in.oldest = EncodeDateTime({1998, 3, 5});
    in.newest = EncodeDateTime({2024, 1, 31});
    in.today = EncodeDateTime({2026, 12, 7, 14, 3, 7});
    in.sourceFolder = sourceFolder;
    return in;
}

// Every byte of the block for a fixed day: German dates and thousands,
// Windows-1252 umlauts, right-aligned values, 67 columns, CR LF.
TEST(SummaryTest, ExactBytesForAFixedDateAndLocale) {
    EXPECT_EQ(BuildSummary(FixedInput(), LocaleFormats::German()),
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
              "+-----------------------------------------------------------------+\r\n");
}

// A folder too long for the box lengthens its own line only; an umlaut is
// one Windows-1252 byte, not two UTF-8 bytes, when padding.
TEST(SummaryTest, SourceFolderLine) {
    const std::string longFolder = "/home/user/archive/shareware/games/strategy/";  // 44
    const std::string umlaut = Utf8ToAnsi("/srv/Spiele für Kinder/");               // 23
    const struct {
        std::string folder, line;
    } rows[] = {
        {longFolder, "| Quellverzeichnis        : " + longFolder + " |"},
        {umlaut, "| Quellverzeichnis        :" + std::string(15, ' ') + umlaut + " |"},
    };
    for (const auto& r : rows) {
        const auto lines = SplitCrLf(BuildSummary(FixedInput(r.folder), LocaleFormats::German()));
        EXPECT_EQ(lines[6], r.line) << r.folder;
        EXPECT_EQ(lines[7].size(), 67u) << r.folder;
    }
}

class SummaryInListTest : public test::ScanJobFixture {
protected:
    SummaryInListTest() {
        config.settings.Resume = true;
        config.settings.Divide = true;
        config.settings.DivisionChar = "\xC4";
        FillSeparatorLine(config);
    }
};

// In the list: the entry, its separator, three empty lines, the block and
// one empty line. With OEM on, the block and an error entry are converted
// to code page 850 but the separator keeps its code.
TEST_F(SummaryInListTest, PlacementAndOemConversion) {
    const auto archives = Archives({"A.ZIP"});
    RunJob(archives);
    auto lines = ListLines();
    ASSERT_EQ(lines.size(), 2u + 3 + 10 + 1);
    EXPECT_EQ(lines[1], std::string(80, '\xC4'));
    EXPECT_EQ(lines[2] + lines[3] + lines[4], "");
    EXPECT_EQ(lines[5], lines[14]);
    EXPECT_EQ(lines[5][0], '+');
    EXPECT_EQ(lines[15], "");
    EXPECT_THAT(lines[10], HasSubstr("                                     1 |"));
    EXPECT_EQ(lines[12].substr(0, 3), "| \xC4");

    config.settings.OEM = true;
    source.failures["A.ZIP"] =
        "Pr\xFC"
        "fung";
    RunJob(archives);
    lines = ListLines();
    ASSERT_EQ(lines.size(), 16u);
    EXPECT_THAT(lines[0], HasSubstr("Pr\x81"
                                    "fung"));
    EXPECT_EQ(lines[1], std::string(80, '\xC4')) << "the separator keeps its code";
    EXPECT_EQ(lines[12].substr(0, 3), "| \x8E") << "A-umlaut becomes code 142";
    EXPECT_EQ(lines[13].substr(0, 4), "| J\x81");
    EXPECT_EQ(lines[12].size(), 67u);
}

}  // namespace
}  // namespace lumora
