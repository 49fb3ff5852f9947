// The description filters and their two definition files.
#include <gtest/gtest.h>

#include "platform/text.h"
#include "settings/description_filter.h"
#include "settings/filter_files.h"
#include "support/temp_folder.h"

namespace lumora {
namespace {

using Lines = std::vector<std::string>;
using test::Exists;
using test::ReadAll;
using test::TempFolder;

// A configuration with every filter stage off.
Configuration AllOff() {
    Configuration c;
    c.settings.UseFilter = false;
    c.settings.Remove = false;
    c.settings.RemoveEmpty = false;
    return c;
}

Lines Filtered(Lines lines, const Configuration& c) {
    FilterDescription(lines, c);
    return lines;
}

TEST(LineFilterTest, EveryModeAndCase) {
    struct Case {
        const char* what;
        int mode;
        bool size;
        Lines filters;
        Lines in;
        Lines out;
    };
    const int contains = 0, exact = 1;
    const Case cases[] = {
        {"contains, case ignored: lower-case filter hits a capital word",
         contains,
         false,
         {"warez"},
         {"GET WAREZ HERE", "W\xE4rez", "keep"},
         {"W\xE4rez", "keep"}},
        {"contains, case respected: the capital word stays",
         contains,
         true,
         {"warez"},
         {"GET WAREZ HERE", "no warez here"},
         {"GET WAREZ HERE"}},
        {"contains folds only a to z",
         contains,
         false,
         {"\xE4"},
         {"\xC4rger", "\xE4rger"},
         {"\xC4rger"}},
        {"contains: an empty filter string matches nothing",
         contains,
         false,
         {""},
         {"a", ""},
         {"a", ""}},
        {"contains: first matching string deletes, others not needed",
         contains,
         true,
         {"x", "y"},
         {"xy", "y", "z"},
         {"z"}},
        {"exact, case respected: trailing blank keeps the line, both equal lines go",
         exact,
         true,
         {"---"},
         {"---", "--- ", "---"},
         {"--- "}},
        {"exact, case respected: case differs", exact, true, {"ABC"}, {"abc"}, {"abc"}},
        {"exact, case ignored: one line per filter string, from the top",
         exact,
         false,
         {"ABC"},
         {"abc", "Abc", "xyz"},
         {"Abc", "xyz"}},
        {"exact, case ignored: two strings take two lines",
         exact,
         false,
         {"ABC", "abc"},
         {"abc", "Abc", "xyz"},
         {"xyz"}},
        {"exact, case ignored: accented letters folded",
         exact,
         false,
         {"\xC4RGER"},
         {"\xE4rger", "\xE4rger"},
         {"\xE4rger"}},
        {"exact: an empty filter string deletes an empty line",
         exact,
         true,
         {""},
         {"a", "", ""},
         {"a"}},
        {"any other mode: contains with case ignored, even with Size",
         7,
         true,
         {"warez"},
         {"GET WAREZ HERE", "ok"},
         {"ok"}},
        {"negative mode too", -1, false, {"AB"}, {"xaby", "ok"}, {"ok"}},
    };
    for (const Case& c : cases) {
        Configuration cfg = AllOff();
        cfg.settings.UseFilter = true;
        cfg.settings.Mode = c.mode;
        cfg.settings.Size = c.size;
        cfg.LineFilterList = c.filters;
        EXPECT_EQ(Filtered(c.in, cfg), c.out) << c.what;
    }
}

TEST(LineFilterTest, OffChangesNothing) {
    Configuration cfg = AllOff();
    cfg.LineFilterList = {"a"};
    EXPECT_EQ(Filtered({"a", "b"}, cfg), (Lines{"a", "b"}));
}

TEST(LineFilterTest, DeletingEveryLineLeavesAnEmptyList) {
    Configuration cfg = AllOff();
    cfg.settings.UseFilter = true;
    cfg.LineFilterList = {"e"};
    EXPECT_TRUE(Filtered({"eins", "zwei", "drei"}, cfg).empty());
}

TEST(SpecialCharFilterTest, RemoveCharRemoveLineAndPrecedence) {
    CharSet set;
    set.set(196).set(205).set(219);
    struct Case {
        const char* what;
        bool removeChar, removeLine, removeEmpty;
        Lines in;
        Lines out;
    };
    const std::string bar(20, '\xC4');
    const Case cases[] = {
        {"chars removed, emptied line stays without the empty-line stage",
         true,
         false,
         false,
         {bar,
          "A\xCD"
          "B"},
         {"", "AB"}},
        {"emptied line removed by the empty-line stage", true, false, true, {bar, "x"}, {"x"}},
        {"whole lines holding a special character go, others stay",
         false,
         true,
         false,
         {"\xDB top", "keep 1", "mid \xDB", "keep 2", "\xDB"},
         {"keep 1", "keep 2"}},
        {"RemoveChar wins over RemoveLine",
         true,
         true,
         false,
         {"a\xDB"
          "b"},
         {"ab"}},
        {"neither mode: unchanged", false, false, false, {"a\xDB"}, {"a\xDB"}},
    };
    for (const Case& c : cases) {
        Configuration cfg = AllOff();
        cfg.settings.Remove = true;
        cfg.settings.RemoveChar = c.removeChar;
        cfg.settings.RemoveLine = c.removeLine;
        cfg.settings.RemoveEmpty = c.removeEmpty;
        cfg.SpecialCharSet = set;
        EXPECT_EQ(Filtered(c.in, cfg), c.out) << c.what;
    }
}

TEST(SpecialCharFilterTest, RemoveOffIgnoresTheSet) {
    Configuration cfg = AllOff();
    cfg.settings.RemoveChar = true;
    cfg.SpecialCharSet.set('a');
    EXPECT_EQ(Filtered({"abc"}, cfg), (Lines{"abc"}));
}

TEST(EmptyLineFilterTest, BlanksAndControlsCountAsEmptyButKeptLinesAreNotTrimmed) {
    Configuration cfg = AllOff();
    cfg.settings.RemoveEmpty = true;
    const Lines in = {"", " \t ", std::string("\0\x1F \x20", 4), "  text  ", "\xA0", "\x7F"};
    EXPECT_EQ(Filtered(in, cfg), (Lines{"  text  ", "\xA0", "\x7F"}));
}

TEST(FilterStagesTest, EachStageWorksOnThePreviousResult) {
    Configuration cfg = AllOff();
    cfg.settings.UseFilter = true;
    cfg.settings.Mode = 1;  // exact, case respected
    cfg.settings.Size = true;
    cfg.settings.Remove = true;
    cfg.settings.RemoveChar = true;
    cfg.settings.RemoveEmpty = true;
    cfg.SpecialCharSet.set(0xB0);
    // "ab\xB0" is not equal to the filter string before stage 2 removes the
    // character, so stage 1 keeps it; the line of special characters is
    // emptied by stage 2 and removed by stage 3.
    cfg.LineFilterList = {"ab", "---"};
    const Lines in = {"ab\xB0", "---", "\xB0\xB0", "Text"};
    EXPECT_EQ(Filtered(in, cfg), (Lines{"ab", "Text"}));
    // With the empty-line stage off the emptied line stays.
    cfg.settings.RemoveEmpty = false;
    EXPECT_EQ(Filtered(in, cfg), (Lines{"ab", "", "Text"}));
}

class FilterFileTest : public ::testing::Test {
protected:
    void Load() {
        LoadSpecialCharFilter(config, dir.path(),
                              [this](const std::string& c, const std::string& t) {
                                  messages.push_back(c + "|" + t);
                              });
    }
    TempFolder dir;
    Configuration config;
    std::vector<std::string> messages;
};

TEST_F(FilterFileTest, NineteenLinesMarkExactlyTheCodesZeroToFifteen) {
    std::string text = std::string(16, '0') + "\r\n";
    for (int r = 1; r < 16; ++r) text += std::string(16, '1') + "\r\n";
    text += "\r\n; comment\r\n; comment\r\n";
    dir.Write("filter.cfg", text);
    config.SpecialCharSet.set(200);
    Load();
    CharSet expected;
    for (int c = 0; c < 16; ++c) expected.set(c);
    EXPECT_EQ(config.SpecialCharSet, expected);
    EXPECT_EQ(config.SpecialCharMarks, expected);
    EXPECT_TRUE(messages.empty());
}

TEST_F(FilterFileTest, ReadingRules) {
    // Any character but "0" is unmarked; characters after the sixteenth are
    // ignored; a short row marks nothing and keeps its marks; LF line ends.
    std::string text = "0x1 111111111110000000\n";  // row 0: codes 0, 15 marked
    text += "short\n";                              // row 1 kept as it was
    for (int r = 2; r < 16; ++r) text += std::string(16, r == 15 ? '0' : '1') + "\n";
    dir.Write("filter.cfg", text);
    config.SpecialCharMarks.set(16).set(17).set(2);
    Load();
    CharSet set;
    set.set(0).set(15);
    for (int c = 240; c < 256; ++c) set.set(c);
    EXPECT_EQ(config.SpecialCharSet, set);
    CharSet marks = set;
    marks.set(16).set(17);  // row 1 untouched; code 2 unmarked by row 0
    EXPECT_EQ(config.SpecialCharMarks, marks);
}

TEST_F(FilterFileTest, ShortFileIsReportedAndDeleted) {
    std::string text;
    for (int r = 0; r < 15; ++r) text += std::string(16, '0') + "\r\n";
    dir.Write("filter.cfg", text);
    config.SpecialCharSet.set(5);
    config.SpecialCharMarks.set(7);
    Load();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Fehler|" + Utf8ToAnsi("Die Konfigurations-Datei ist ungültig und "
                                                  "wird nun gelöscht !"));
    EXPECT_FALSE(Exists(dir / "filter.cfg"));
    EXPECT_TRUE(config.SpecialCharSet.none());
    EXPECT_TRUE(config.SpecialCharMarks.test(7));
}

TEST_F(FilterFileTest, MissingFileEmptiesTheSetOnly) {
    config.SpecialCharSet.set(5);
    config.SpecialCharMarks.set(5);
    Load();
    EXPECT_TRUE(config.SpecialCharSet.none());
    EXPECT_TRUE(config.SpecialCharMarks.test(5));
    EXPECT_TRUE(messages.empty());
}

TEST_F(FilterFileTest, SaveWritesTheExactFormatAndLoadsBack) {
    config.SpecialCharMarks.set(0).set(17).set(255);
    ASSERT_TRUE(SaveSpecialCharFilter(config, dir.path()));
    const std::string text = ReadAll(dir / "filter.cfg");
    std::string expected = "0111111111111111\r\n1011111111111111\r\n";
    for (int r = 2; r < 15; ++r) expected += std::string(16, '1') + "\r\n";
    expected += "1111111111111110\r\n\r\n";
    expected += Utf8ToAnsi("; Konfigurations - Einstellungen für den Sonderzeichen - Filter\r\n");
    expected += "; Diese Einstellungen sollten nicht von Hand bearbeitet werden!\r\n";
    EXPECT_EQ(text, expected);
    Configuration loaded;
    LoadSpecialCharFilter(loaded, dir.path(), nullptr);
    EXPECT_EQ(loaded.SpecialCharSet, config.SpecialCharMarks);
}

TEST_F(FilterFileTest, SaveIntoMissingFolderFails) {
    std::string error;
    EXPECT_FALSE(SaveSpecialCharFilter(config, dir.path() + "nope/", &error));
    EXPECT_FALSE(error.empty());
}

TEST_F(FilterFileTest, LineFilterFileTakesStringsExactly) {
    config.LineFilterList = {"old"};
    LoadLineFilter(config, dir.path());
    EXPECT_EQ(config.LineFilterList, (Lines{"old"})) << "missing file keeps the list";
    dir.Write("filter2.cfg", "  Werbung  \r\n---\r\nBBS\xAE\r\n");
    LoadLineFilter(config, dir.path());
    EXPECT_EQ(config.LineFilterList, (Lines{"  Werbung  ", "---", "BBS\xAE"}));
}

}  // namespace
}  // namespace lumora
