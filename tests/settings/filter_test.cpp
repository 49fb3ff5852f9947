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

// The line filter: mode 1 deletes lines equal to a filter string (with case
// ignored, one line per string from the top), any other mode deletes lines
// containing one (case ignored unless Size, and only a to z folded in that
// mode); with UseFilter off nothing changes.
TEST(LineFilterTest, EveryModeAndCase) {
    struct Case {
        int mode;
        bool size;
        Lines filters, in, out;
        bool use = true;
    };
    const Case cases[] = {
        {0, false, {"warez"}, {"GET WAREZ HERE", "W\xE4rez", "keep"}, {"W\xE4rez", "keep"}},
        {0, true, {"warez"}, {"GET WAREZ HERE", "no warez here"}, {"GET WAREZ HERE"}},
        {0, false, {"\xE4"}, {"\xC4rger", "\xE4rger"}, {"\xC4rger"}},
        {0, false, {""}, {"a", ""}, {"a", ""}},  // an empty string matches nothing
        {0, true, {"x", "y"}, {"xy", "y", "z"}, {"z"}},
        {0, false, {"e"}, {"eins", "zwei", "drei"}, {}},
        {0, false, {"a"}, {"a", "b"}, {"a", "b"}, false},
        {1, true, {"---"}, {"---", "--- ", "---"}, {"--- "}},
        {1, true, {"ABC"}, {"abc"}, {"abc"}},
        {1, false, {"ABC"}, {"abc", "Abc", "xyz"}, {"Abc", "xyz"}},
        {1, false, {"ABC", "abc"}, {"abc", "Abc", "xyz"}, {"xyz"}},
        {1, false, {"\xC4RGER"}, {"\xE4rger", "\xE4rger"}, {"\xE4rger"}},
        {1, true, {""}, {"a", "", ""}, {"a"}},  // an empty string deletes empty lines
        {7, true, {"warez"}, {"GET WAREZ HERE", "ok"}, {"ok"}},  // Size has no effect
        {-1, false, {"AB"}, {"xaby", "ok"}, {"ok"}},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        Configuration cfg = AllOff();
        cfg.settings.UseFilter = c.use;
        cfg.settings.Mode = c.mode;
        cfg.settings.Size = c.size;
        cfg.LineFilterList = c.filters;
        EXPECT_EQ(Filtered(c.in, cfg), c.out) << "row " << i;
    }
}

// The special characters: RemoveChar removes them (winning over
// RemoveLine), RemoveLine deletes lines holding one; nothing happens with
// Remove off. The empty-line stage deletes lines of blanks and controls
// only, and does not trim the lines it keeps.
TEST(SpecialCharFilterTest, RemoveCharRemoveLineAndEmptyLines) {
    const std::string bar(20, '\xC4');
    struct Case {
        bool remove, removeChar, removeLine, removeEmpty;
        Lines in, out;
    };
    const Lines marked = {"\xDB top", "keep 1", "mid \xDB", "keep 2", "\xDB"};
    const Lines blank = {"", " \t ", std::string("\0\x1F \x20", 4), "  text  ", "\xA0", "\x7F"};
    const Case cases[] = {
        {true, true, false, false, {bar, "A\xCDZ"}, {"", "AZ"}},
        {true, true, false, true, {bar, "x"}, {"x"}},
        {true, false, true, false, marked, {"keep 1", "keep 2"}},
        {true, true, true, false, {"a\xDBz"}, {"az"}},
        {true, false, false, false, {"a\xDB"}, {"a\xDB"}},
        {false, true, false, false, {"a\xDB"}, {"a\xDB"}},
        {false, false, false, true, blank, {"  text  ", "\xA0", "\x7F"}},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        Configuration cfg = AllOff();
        cfg.settings.Remove = c.remove;
        cfg.settings.RemoveChar = c.removeChar;
        cfg.settings.RemoveLine = c.removeLine;
        cfg.settings.RemoveEmpty = c.removeEmpty;
        cfg.SpecialCharSet.set(0xC4).set(0xCD).set(0xDB);
        EXPECT_EQ(Filtered(c.in, cfg), c.out) << "row " << i;
    }
}

// Each stage works on the previous one's result: "ab\xB0" is not equal to a
// filter string before stage 2 removes the character, and the line of
// special characters emptied by stage 2 is removed by stage 3.
TEST(FilterStagesTest, EachStageWorksOnThePreviousResult) {
    Configuration cfg = AllOff();
    cfg.settings.UseFilter = true;
    cfg.settings.Mode = 1;
    cfg.settings.Size = true;
    cfg.settings.Remove = true;
    cfg.settings.RemoveChar = true;
    cfg.settings.RemoveEmpty = true;
    cfg.SpecialCharSet.set(0xB0);
    cfg.LineFilterList = {"ab", "---"};
    const Lines in = {"ab\xB0", "---", "\xB0\xB0", "Text"};
    EXPECT_EQ(Filtered(in, cfg), (Lines{"ab", "Text"}));
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

// Any character but "0" is unmarked; characters after the sixteenth are
// ignored; a short row marks nothing and keeps its dialog marks; LF ends.
TEST_F(FilterFileTest, ReadingRules) {
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

// Without filter.cfg the set is empty and the dialog's marks stay; a file of
// fewer than 16 rows is also reported and deleted.
TEST_F(FilterFileTest, MissingOrShortFileEmptiesTheSetOnly) {
    config.SpecialCharSet.set(5);
    config.SpecialCharMarks.set(7);
    Load();
    EXPECT_TRUE(config.SpecialCharSet.none());
    EXPECT_TRUE(config.SpecialCharMarks.test(7));
    EXPECT_TRUE(messages.empty());

    std::string text;
    for (int r = 0; r < 15; ++r) text += std::string(16, '0') + "\r\n";
    dir.Write("filter.cfg", text);
    config.SpecialCharSet.set(5);
    Load();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Fehler|" + Utf8ToAnsi("Die Konfigurations-Datei ist ungültig und "
                                                  "wird nun gelöscht !"));
    EXPECT_FALSE(Exists(dir / "filter.cfg"));
    EXPECT_TRUE(config.SpecialCharSet.none());
    EXPECT_TRUE(config.SpecialCharMarks.test(7));
}

// filter.cfg byte for byte: 16 rows ("0" marks) with CR LF, an empty line,
// two comments; loading it gives exactly the saved marks as set and marks.
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
    loaded.SpecialCharSet.set(200);
    LoadSpecialCharFilter(loaded, dir.path(), nullptr);
    EXPECT_EQ(loaded.SpecialCharSet, config.SpecialCharMarks);
    EXPECT_EQ(loaded.SpecialCharMarks, config.SpecialCharMarks);
}

// filter2.cfg lines are taken as they are; without the file the list stays.
TEST_F(FilterFileTest, LineFilterFileTakesStringsExactly) {
    config.LineFilterList = {"old"};
    LoadLineFilter(config, dir.path());
    EXPECT_EQ(config.LineFilterList, (Lines{"old"})) << "missing file keeps the list";
    dir.Write("filter2.cfg", "  Werbung  \r\n---\r\nBBS\xAE\r\n");
    LoadLineFilter(config, dir.path());
    EXPECT_EQ(config.LineFilterList, (Lines{"  Werbung  ", "---", "BBS\xAE"}));
}

// The dialog's alphabetical order ignores case (umlauts folded with their
// capitals, after z as in the archive order); a new string goes after its
// equals; filter2.cfg is written in
// the given order with CR LF and reads back unchanged, blanks included.
TEST_F(FilterFileTest, LineFilterKeptSortedAndWrittenInThatOrder) {
    Lines lines = {"zeta", "BBS", "\xC4rger", "alpha", "bbs", "  Werbung"};
    SortLineFilter(lines);
    EXPECT_EQ(lines, (Lines{"  Werbung", "alpha", "BBS", "bbs", "zeta", "\xC4rger"}));
    const struct {
        std::string entry;
        std::size_t place;
    } inserts[] = {{"Beta", 4},  {"bbs", 4}, {"aaa", 1}, {"\xE4", 5},
                   {"\xE4s", 6}, {"~", 5},   {" ", 0}};
    for (const auto& insert : inserts)
        EXPECT_EQ(LineFilterInsertPosition(lines, insert.entry), insert.place) << insert.entry;

    ASSERT_TRUE(SaveLineFilter(lines, dir.path()));
    EXPECT_EQ(ReadAll(dir / "filter2.cfg"),
              "  Werbung\r\nalpha\r\nBBS\r\nbbs\r\nzeta\r\n\xC4rger\r\n");
    LoadLineFilter(config, dir.path());
    EXPECT_EQ(config.LineFilterList, lines);
    ASSERT_TRUE(SaveLineFilter({}, dir.path()));
    EXPECT_EQ(ReadAll(dir / "filter2.cfg"), "");
    EXPECT_FALSE(SaveLineFilter(lines, dir.path() + "missing/"));
}

}  // namespace
}  // namespace lumora
