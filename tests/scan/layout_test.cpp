#include "scan/layout.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace lumora {
namespace {

using Lines = std::vector<std::string>;
constexpr GroupMark F = GroupMark::First;
constexpr GroupMark M = GroupMark::Middle;
constexpr GroupMark L = GroupMark::Last;
constexpr GroupMark S = GroupMark::Single;

// The shipped defaults, spelled out so these tests fix the layout itself.
AppSettings ListSettings() {
    AppSettings s;
    s.Align = 1;
    s.Space1 = 1;
    s.Space2 = 1;
    s.Space3 = 1;
    s.Width = 60;
    s.Design = static_cast<int>(DisplayMode::FirstFull);
    s.OEM = false;
    return s;
}

Lines Paths(const Lines& names) {
    Lines paths;
    for (const std::string& n : names) paths.push_back("/home/bbs/files/" + n);
    return paths;
}

// Grouping compares bytes of whole paths, case and length differences
// included; a wrong count merges or splits groups.
TEST(IsSimilarName, ComparesBytesOfFullPaths) {
    struct Case {
        std::string a, b;
        bool similar;
    };
    const std::vector<Case> cases = {
        {"C:\\FILES\\GAME1.ZIP", "C:\\FILES\\GAME2.ZIP", true},
        {"C:\\FILES\\ABC.ZIP", "C:\\FILES\\ABCD.ZIP", false},     // 4 differences
        {"C:\\FILES\\GAME.ZIP", "C:\\FILES\\GAME12.ZIP", false},  // 4 differences
        {"C:\\FILES\\A.ZIP", "C:\\FILES\\B.ZIP", true},
        {"/f/game1.zip", "/f/Game2.zip", true},   // 2 differences
        {"/f/game1.zip", "/f/GAme2.zip", false},  // 3 differences
        {"ABC", "ABCDEF", false},                 // lengths 3 apart
        {"ABCD", "ABCDEF", true},                 // extra bytes not counted
        {"", "", true},
        {"A\xC4.ZIP", "A\xE4.ZIP", true},  // one Windows-1252 byte each
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsSimilarName(c.a, c.b), c.similar) << c.a << " / " << c.b;
        EXPECT_EQ(IsSimilarName(c.b, c.a), c.similar) << c.b << " / " << c.a;
    }
}

// Groups run as long as each name is similar to the one before it.
TEST(MarkSimilarGroups, MarksRunsOfSimilarNames) {
    struct Case {
        Lines names;
        std::vector<GroupMark> marks;
    };
    const std::vector<Case> cases = {
        {{"GAME1.ZIP", "GAME2.ZIP", "GAME3.ZIP", "TOOLS.ZIP"}, {F, M, L, S}},
        {{"GAME1.ZIP", "GAME2.ZIP", "TOOLS.ZIP", "UTIL1.ZIP", "UTIL2.ZIP", "UTIL3.ZIP"},
         {F, L, S, F, M, L}},
        // Chained: AB1 and CD2 differ in 3 places but share a group.
        {{"AB1.ZIP", "AB2.ZIP", "CD2.ZIP", "XYZ.ZIP"}, {F, M, L, S}},
        {{"ABC.ZIP", "ABCD.ZIP"}, {S, S}},
        {{"A.ZIP", "B.ZIP"}, {F, L}},
        {{"TOOLS.ZIP", "GAME1.ZIP", "GAME2.ZIP"}, {S, F, L}},
        {{"ONLY.ZIP"}, {S}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MarkSimilarGroups(Paths(c.names)), c.marks) << c.names.front();
    }
    EXPECT_TRUE(MarkSimilarGroups({}).empty());
}

// Column positions with the default spacing: 8- and 10-character dates,
// values too long for their columns (never cut, shifting only the first
// line), and further lines starting exactly in the description column.
TEST(AppendDescription, ColumnsOfFirstAndFurtherLines) {
    const struct {
        std::size_t dateLength;
        EntryColumns columns;
        std::string first;
        std::size_t indent;
    } rows[] = {
        {8, {"GAME1.ZIP", "123456", "05.03.98"}, "   GAME1.ZIP  123456 05.03.98 ", 30},
        {10, {"GAME1.ZIP", "123456", "05.03.1998"}, "   GAME1.ZIP  123456 05.03.1998 ", 32},
        {8, {"LONGNAME1.ZIP", "100", "01.01.99"}, "LONGNAME1.ZIP     100 01.01.99 ", 30},
        {8, {"LONG FILE NAME.ZIP", "< ? >", "< ? >"}, "LONG FILE NAME.ZIP   < ? >    < ? > ", 30},
    };
    const AppSettings s = ListSettings();
    for (const auto& r : rows) {
        SCOPED_TRACE(r.columns.name);
        const EntryLayout layout(s, r.dateLength);
        EXPECT_EQ(layout.Indent(), r.indent);
        Lines out;
        layout.AppendDescription(out, r.columns, {"Great game", "Disk 2"}, S);
        ASSERT_EQ(out.size(), 2u);
        EXPECT_EQ(out[0], r.first + "Great game" + std::string(50, ' '));
        EXPECT_EQ(out[1], std::string(r.indent, ' ') + "Disk 2" + std::string(54, ' '));
    }
    Lines out;  // no description lines still give the entry line
    EntryLayout(s, 8).AppendDescription(out, {"A.ZIP", "1", "01.01.99"}, {}, S);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].size(), 90u);
}

// Align 0 is left; every other value, even nonsense, is right.
TEST(FormatEntryLine, NameAlignment) {
    AppSettings s = ListSettings();
    const EntryLayout layout(s, 8);
    const EntryColumns foo{"FOO.ZIP", "1", "01.01.99"};
    struct Case {
        int align;
        std::string start;
    };
    for (const Case& c : std::vector<Case>{
             {0, "FOO.ZIP     "}, {1, "     FOO.ZIP"}, {2, "     FOO.ZIP"}, {-1, "     FOO.ZIP"}}) {
        s.Align = c.align;
        EXPECT_EQ(layout.FormatEntryLine(foo, "x").substr(0, 12), c.start) << c.align;
    }
}

// The width cuts and pads every description line, not only the first.
TEST(FormatEntryLine, WidthTenCutsEveryDescriptionText) {
    AppSettings s = ListSettings();
    s.Align = 0;
    s.Width = 10;
    s.Design = static_cast<int>(DisplayMode::AllFull);
    const EntryLayout layout(s, 8);
    Lines out;
    layout.AppendDescription(out, {"FOO.ZIP", "1", "01.01.99"},
                             {"first line, cut", "a longer second line", "ab"}, M);
    const Lines expected = {
        "FOO.ZIP            1 01.01.99 first line",
        std::string(30, ' ') + "a longer s",
        std::string(30, ' ') + "ab        ",
    };
    EXPECT_EQ(out, expected);
}

// One group GAME1..GAME3 and a single TOOLS, each with a two-line
// description: how many lines each entry gets in every display mode.
TEST(AppendDescription, DisplayModesAndMarks) {
    const Lines names = {"GAME1.ZIP", "GAME2.ZIP", "GAME3.ZIP", "TOOLS.ZIP"};
    const std::vector<GroupMark> marks = MarkSimilarGroups(Paths(names));
    ASSERT_EQ(marks, (std::vector<GroupMark>{F, M, L, S}));
    struct Case {
        int design;
        std::vector<std::size_t> lineCounts;
    };
    const std::vector<Case> cases = {
        {1, {2, 1, 1, 2}},  // first full: GAME1, TOOLS
        {2, {2, 2, 2, 2}},  // all full
        {3, {1, 1, 1, 1}},  // first lines only
        {4, {1, 1, 2, 2}},  // last full: GAME3, TOOLS
        {0, {1, 1, 1, 1}}, {7, {1, 1, 1, 1}},
    };
    for (const Case& c : cases) {
        AppSettings s = ListSettings();
        s.Design = c.design;
        const EntryLayout layout(s, 8);
        for (std::size_t i = 0; i < names.size(); ++i) {
            Lines out;
            layout.AppendDescription(out, {names[i], "1", "01.01.99"}, {"line 1", "line 2"},
                                     marks[i]);
            EXPECT_EQ(out.size(), c.lineCounts[i]) << "design " << c.design << ", " << names[i];
        }
    }
}

// OEM converts the name column and every description line to code page 850.
TEST(AppendDescription, OemConvertsFirstAndFurtherLines) {
    AppSettings s = ListSettings();
    s.OEM = true;
    const EntryLayout layout(s, 8);
    const EntryColumns entry{"M\xC4RZ.ZIP", "1", "01.01.99"};
    Lines out;
    layout.AppendDescription(out, entry, {"K\xE4se", "Gr\xE4te"}, S);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].substr(0, 12), "    M\x8ERZ.ZIP");  // the name column too
    EXPECT_EQ(out[0].substr(30, 4), "K\x84se");
    EXPECT_EQ(out[1].substr(30, 5), "Gr\x84te");
    EXPECT_EQ(out[0].size(), 90u);
}

// With values that fit, further lines start exactly in the description
// column, whatever the spacing and date length.
TEST(EntryLayout, IndentMatchesDescriptionColumn) {
    struct Case {
        int space1, space2, space3;
        std::size_t dateLength;
    };
    for (const Case& c :
         std::vector<Case>{{1, 1, 1, 8}, {10, 10, 10, 8}, {3, 0, 2, 10}, {1, 5, 1, 6}}) {
        AppSettings s = ListSettings();
        s.Space1 = c.space1;
        s.Space2 = c.space2;
        s.Space3 = c.space3;
        const EntryLayout layout(s, c.dateLength);
        const std::string line = layout.FormatEntryLine({"A.ZIP", "1", "1.1.99"}, "D");
        EXPECT_EQ(line.find('D'), layout.Indent()) << c.space1 << c.space2 << c.space3;
    }
}

// Negative, zero and huge settings from a hand-edited file give bounded
// lines instead of huge allocations or wrapped sizes.
TEST(EntryLayout, NonsenseSettingsStaySmallAndSafe) {
    AppSettings s = ListSettings();
    s.Width = -5;
    s.Space1 = -3;
    s.Space2 = INT_MAX;
    s.Space3 = 0;
    s.Align = INT_MIN;
    const EntryLayout layout(s, static_cast<std::size_t>(-1));
    const std::string line = layout.FormatEntryLine({"A.ZIP", "1", "01.01.99"}, "text");
    EXPECT_LT(line.size(), 5000u);
    EXPECT_EQ(line.find("text"), std::string::npos);  // width 0
    EXPECT_EQ(line.back(), ' ');                      // gap of at least 1
    EXPECT_EQ(line.size(), layout.Indent());
    Lines out;
    s.Design = static_cast<int>(DisplayMode::AllFull);
    layout.AppendDescription(out, {"A.ZIP", "1", "01.01.99"}, {"a", "b"}, M);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[1], std::string(layout.Indent(), ' '));
}

// In a UTF-8 list the columns count characters: multi-byte box lines and
// umlauts are padded and cut like one-byte text, never inside a character.
TEST(AppendDescription, Utf8ColumnsCountCharacters) {
    AppSettings s = ListSettings();
    s.Width = 10;
    s.Design = static_cast<int>(DisplayMode::AllFull);
    const EntryLayout layout(s, 8, ListText(CodePage::Utf8));
    Lines out;
    layout.AppendDescription(out, {"M\xC4RZ.ZIP", "1", "01.01.99"},
                             {"\xC9" + std::string(20, '\xCD'), "\xBA f\x81r"}, S);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0], "    MÄRZ.ZIP       1 01.01.99 ╔═════════");
    EXPECT_EQ(out[1], std::string(layout.Indent(), ' ') + "║ für     ");
}

}  // namespace
}  // namespace lumora
