#include "settings/tips.h"

#include <gtest/gtest.h>

#include <set>

#include "support/temp_folder.h"

namespace lumora {
namespace {

using namespace std::string_literals;

TEST(TipsTest, LoadsNonBlankLinesInEitherEncoding) {
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::string> tips;
    };
    const Case cases[] = {
        {"crlf ansi",
         "Erster Tip\r\n\r\nZweiter f\xFCr dich\r\n",
         {"Erster Tip", "Zweiter f\xC3\xBCr dich"}},
        {"utf8 lf",
         "Gr\xC3\xB6\xC3\x9F"
         "e\n   \nEnde",
         {"Gr\xC3\xB6\xC3\x9F"
          "e",
          "Ende"}},
        {"bare cr, stops at zero", "a\rb\0c"s, {"a", "b"}},
        {"only blanks", "\r\n \t\r\n", {}},
        {"empty", "", {}},
    };
    for (const Case& c : cases) {
        test::TempFolder dir;
        dir.Write(kTipsFileName, c.bytes);
        EXPECT_EQ(LoadTips(dir.path()), c.tips) << c.name;
    }
}

TEST(TipsTest, MissingFileGivesNoTipAndNoPick) {
    test::TempFolder dir;
    EXPECT_TRUE(LoadTips(dir.path()).empty());
    std::mt19937 random(1);
    EXPECT_FALSE(PickTip({}, random).has_value());
}

TEST(TipsTest, PickReachesEveryLineAndOneLineIsAlwaysThatLine) {
    std::mt19937 random(7);
    const std::vector<std::string> one = {"nur dieser"};
    for (int i = 0; i < 20; ++i) EXPECT_EQ(PickTip(one, random), "nur dieser");
    const std::vector<std::string> three = {"a", "b", "c"};
    std::set<std::string> seen;
    for (int i = 0; i < 200; ++i) seen.insert(*PickTip(three, random));
    EXPECT_EQ(seen.size(), 3u);
}

TEST(TipsTest, Utf8Validation) {
    EXPECT_TRUE(IsValidUtf8("plain \xC3\xA4 \xE2\x82\xAC \xF0\x9F\x98\x80"));
    EXPECT_FALSE(IsValidUtf8("f\xFCr"));            // Windows-1252 umlaut
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));          // overlong
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // surrogate
    EXPECT_FALSE(IsValidUtf8("\xE2\x82"));          // cut short
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
}

TEST(TipsTest, ShippedTipsAreManyWindows1252CrLfLines) {
    const std::string dataDir = std::string(LUMORA_SAMPLES_DIR) + "/../data/";
    const std::string bytes = test::ReadAll(dataDir + kTipsFileName);
    ASSERT_FALSE(bytes.empty());
    EXPECT_FALSE(IsValidUtf8(bytes));  // the umlauts are single Windows-1252 bytes
    std::size_t lineEnds = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n') {
            ASSERT_TRUE(i > 0 && bytes[i - 1] == '\r') << "bare LF at " << i;
            ++lineEnds;
        }
    }
    const std::vector<std::string> tips = LoadTips(dataDir);
    EXPECT_GE(tips.size(), 20u);
    EXPECT_EQ(tips.size(), lineEnds);  // no blank lines, the last one ended too
    for (const std::string& tip : tips) EXPECT_TRUE(IsValidUtf8(tip)) << tip;
}

}  // namespace
}  // namespace lumora
