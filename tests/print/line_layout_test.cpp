// The line printer's printer-independent rules and the list character sets.
#include "print/line_layout.h"

#include <gtest/gtest.h>

#include "platform/text.h"
#include "print/list_charset.h"

namespace lumora::print {
namespace {

// Margins below the paper's minimum are raised, margins reaching into the
// opposite minimum margin lowered; the fallback paper's minimum bottom margin
// is 7 mm (297 - 284 - 6).
TEST(LineLayout, MarginsStayOnThePrintablePaper) {
    const struct {
        TMeasureUnit unit;
        Margins wanted, expected;
    } cases[] = {
        {TMeasureUnit::muInches, {0, 0.1, 0.2, -1}, {0.25, 0.25, 0.25, 0.25}},
        {TMeasureUnit::muInches, {20, 1, 8.4, 0.5}, {10.75, 1, 8.25, 0.5}},
        {TMeasureUnit::muMillimeters, {0, 0, 0, 0}, {6, 7, 6, 6}},
        {TMeasureUnit::muMillimeters, {300, 10, 10, 10}, {290, 10, 10, 10}},
    };
    for (const auto& c : cases) {
        const Margins m = ClampMargins(c.wanted, FallbackPaper(c.unit), c.unit);
        EXPECT_NEAR(m.top, c.expected.top, 1e-9);
        EXPECT_NEAR(m.bottom, c.expected.bottom, 1e-9);
        EXPECT_NEAR(m.left, c.expected.left, 1e-9);
        EXPECT_NEAR(m.right, c.expected.right, 1e-9);
    }
}

// Offsets count from the printable origin: a 1 inch margin on 0.25 inch
// minimum is 225 pixels at 300 dpi; the usable area is what the printable
// 8 x 10.5 inches leave.
TEST(LineLayout, TextAreaInDevicePixels) {
    const TextArea a = ComputeTextArea(FallbackPaper(TMeasureUnit::muInches), {1, 0.5, 0.25, 2},
                                       TMeasureUnit::muInches);
    EXPECT_EQ(a.left, 0);
    EXPECT_EQ(a.top, 225);
    EXPECT_EQ(a.right, 525);
    EXPECT_EQ(a.bottom, 75);
    EXPECT_EQ(a.width, 2400 - 525);
    EXPECT_EQ(a.height, 3150 - 300);
    EXPECT_EQ(ComputeTextArea(FallbackPaper(TMeasureUnit::muInches), {1e12, 0, 0, 0},
                              TMeasureUnit::muInches)
                  .height,
              0);
}

// Uneven character widths; the bisection must find the longest prefix, stop
// on an exact fit and give one character when none fits.
TEST(LineLayout, LongestFittingPrefix) {
    const int widths[] = {0, 5, 12, 30, 31, 50, 64};
    auto widthOf = [&](std::size_t n) { return widths[n]; };
    const std::pair<int, std::size_t> cases[] = {{31, 4}, {30, 3}, {49, 4},
                                                 {64, 6}, {99, 6}, {4, 1}};
    for (const auto& [space, expected] : cases)
        EXPECT_EQ(LongestFittingPrefix(6, space, widthOf), expected) << space;
    EXPECT_EQ(LongestFittingPrefix(0, 10, widthOf), 0u);
}

TEST(LineLayout, WrapBreaksAfterTheLastBlank) {
    const struct {
        std::u16string_view text;
        std::size_t fit, keep, consume;
    } cases[] = {
        {u"alpha beta gamma", 8, 6, 6},  // "alpha be" -> "alpha "
        {u"alpha beta gamma", 5, 5, 6},  // the blank after "alpha" is eaten
        {u"alphabet", 3, 3, 3},          // no blank: cut where it fits
        {u"a\x01"
         u"bcd",
         3, 2, 2},  // control characters break too
    };
    for (const auto& c : cases) {
        const WrapPiece p = WrapAt(c.text, c.fit);
        EXPECT_EQ(p.keep, c.keep);
        EXPECT_EQ(p.consume, c.consume);
    }
}

TEST(LineLayout, TableFormatColumns) {
    using A = TPrintAlignment;
    const struct {
        const char* format;
        std::vector<std::pair<A, double>> columns;
    } cases[] = {
        {"<1|>2.5|^3", {{A::taLeftJustify, 1}, {A::taRightJustify, 2.5}, {A::taCenter, 3}}},
        {"", {{A::taLeftJustify, 0.75}}},
        {"^|x|>abc|1,5",
         {{A::taCenter, 0.75},
          {A::taLeftJustify, 0.75},
          {A::taRightJustify, 0.75},
          {A::taLeftJustify, 1.5}}},
    };
    for (const auto& c : cases) {
        const auto columns = ParseTableFormat(c.format, 0.75);
        ASSERT_EQ(columns.size(), c.columns.size()) << c.format;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            EXPECT_EQ(columns[i].alignment, c.columns[i].first) << c.format << i;
            EXPECT_DOUBLE_EQ(columns[i].width, c.columns[i].second) << c.format << i;
        }
    }
    EXPECT_EQ(SplitCells(u"a||b"), (std::vector<std::u16string>{u"a", u"", u"b"}));
}

TEST(LineLayout, MacrosExpandEveryOccurrence) {
    const MacroValues v{3, 12, u"08.12.2026", u"11:30:00", u"Liste {$TITLE}"};
    EXPECT_EQ(ExpandMacros(u"{$PAGE}/{$PAGE} {$LINE} {$DATE} {$TIME}", v),
              u"12/12 3 08.12.2026 11:30:00");
    // A replacement holding its own macro would never end: left in place.
    EXPECT_EQ(ExpandMacros(u"[{$TITLE}] {$PAGE", v), u"[{$TITLE}] {$PAGE");
}

// The MS-DOS views: letters and box drawing; every Latin-1 letter of code
// page 850 agrees with the program's OEM conversion table.
TEST(ListCharset, DosCodePages) {
    EXPECT_EQ(DecodeListText("Gr\x94\xE1"
                             "e \x84\x81\t\r\n",
                             ListCharset::Dos850),
              "Gr\u00F6\u00DFe \u00E4\u00FC\t\r\n");
    EXPECT_EQ(DecodeListText("\xC9\xCD\xBB\xB3\xDB", ListCharset::Dos437), "╔═╗│█");
    EXPECT_EQ(DecodeListText("\x9B\xB5", ListCharset::Dos437), "¢╡");
    EXPECT_EQ(DecodeListText("\x9B\xB5", ListCharset::Dos850), "øÁ");
    EXPECT_EQ(DecodeListText("\xE4\x80", ListCharset::Windows), "ä€");
    for (int b = 0x80; b < 0x100; ++b) {
        const unsigned char ansi = OemToAnsi(static_cast<unsigned char>(b));
        if (ansi < 0xA0) continue;
        EXPECT_EQ(DecodeListText(std::string(1, char(b)), ListCharset::Dos850),
                  AnsiToUtf8(std::string(1, char(ansi))))
            << b;
    }
}

}  // namespace
}  // namespace lumora::print
