#include "platform/text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lumora {
namespace {

using Lines = std::vector<std::string>;

TEST(SplitTextLines, LineEndsZeroByteAndLastLine) {
    struct Case {
        std::string bytes;
        Lines expected;
    };
    const std::vector<Case> cases = {
        {std::string("Zeile1\r\nZeile2\rZeile3\n\nEnde\0Rest", 32),
         {"Zeile1", "Zeile2", "Zeile3", "", "Ende"}},
        {"a\r\n", {"a"}},
        {"a\r\r\nb", {"a", "", "b"}},
        {"", {}},
        {"ohne Ende", {"ohne Ende"}},
        {"\n", {""}},
        {"\n\r", {"", ""}},
        {std::string("\0a\nb", 4), {}},
        {"x\n\ny\n", {"x", "", "y"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SplitTextLines(c.bytes), c.expected) << "input: " << c.bytes;
    }
}

TEST(OemTable, SampleCodesOfCodePage850) {
    struct Case {
        unsigned char ansi;
        unsigned char oem;
    };
    const std::vector<Case> cases = {
        {0xE4, 132},   // ä
        {0xC4, 142},   // Ä
        {0xF6, 148},   // ö
        {0xD6, 153},   // Ö
        {0xFC, 129},   // ü
        {0xDC, 154},   // Ü
        {0xDF, 225},   // ß
        {0xE9, 130},   // é
        {0xA7, 0xF5},  // §
        {0xB5, 0xE6},  // µ
        {0x83, 0x9F},  // ƒ
        {0xA0, 0xFF},  // no-break space
        {'A', 'A'},   {'\r', '\r'},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AnsiToOem(c.ansi), c.oem) << "ANSI " << int(c.ansi);
        EXPECT_EQ(OemToAnsi(c.oem), c.ansi) << "OEM " << int(c.oem);
    }
}

TEST(OemTable, UnmappableBecomesQuestionMark) {
    for (unsigned char c : {0x80, 0x81, 0x84, 0x8A, 0x9C, 0x9F}) {
        EXPECT_EQ(AnsiToOem(c), '?') << int(c);
    }
    // Box drawing in OEM has no Windows-1252 counterpart.
    for (unsigned char c : {0xB0, 0xC4, 0xDB}) EXPECT_EQ(OemToAnsi(c), '?') << int(c);
    EXPECT_EQ(OemToAnsi('?'), '?');
}

TEST(OemTable, MappedCodesRoundTripAndStayUnique) {
    std::vector<int> seen(256, 0);
    int mapped = 0;
    for (int c = 0; c < 256; ++c) {
        const unsigned char oem = AnsiToOem(static_cast<unsigned char>(c));
        if (oem == '?' && c != '?') continue;
        ++mapped;
        EXPECT_EQ(++seen[oem], 1) << "OEM code used twice: " << int(oem);
        EXPECT_EQ(OemToAnsi(oem), c);
    }
    EXPECT_EQ(mapped, 225);  // ASCII, the Latin-1 half and ƒ
}

TEST(OemTable, StringKeepsLength) {
    EXPECT_EQ(AnsiToOem(std::string_view("K\xE4se \xDC"
                                         "ber")),
              "K\x84se \x9A"
              "ber");
}

TEST(Utf8, RoundTripsEveryAnsiCode) {
    std::string all;
    for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
    EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(all)), all);
}

TEST(Utf8, KnownConversions) {
    struct Case {
        std::string utf8;
        std::string ansi;
    };
    const std::vector<Case> cases = {
        {"Gr\xC3\xB6\xC3\x9F"
         "e",
         "Gr\xF6\xDF"
         "e"},                        // Größe
        {"\xE2\x82\xAC", "\x80"},     // €
        {"\xC5\xA0", "\x8A"},         // Š
        {"\xC2\x81", "\x81"},         // undefined code, kept
        {"\xC2\x80", "?"},            // C1 control without a code
        {"\xE4\xB8\xAD", "?"},        // CJK
        {"\xF0\x9F\x98\x80!", "?!"},  // emoji
        {"a\xFFz", "a?z"},            // invalid byte
        {"\xC3", "?"},                // cut sequence
        {"\xC3(", "?("},              // missing continuation
        {"\xC0\xAF", "??"},           // overlong
        {"\xED\xA0\x80", "???"},      // surrogate
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Utf8ToAnsi(c.utf8), c.ansi) << c.utf8;
    }
    EXPECT_EQ(AnsiToUtf8("\x80\x9F\xE4"), "\xE2\x82\xAC\xC5\xB8\xC3\xA4");
}

TEST(CaseFolding, UpperAZTouchesOnlyAsciiLetters) {
    EXPECT_EQ(UpperAZ("game\xE4\xFF.zip"), "GAME\xE4\xFF.ZIP");
}

TEST(CaseFolding, AnsiUpperPairs) {
    struct Case {
        unsigned char lower;
        unsigned char upper;
    };
    const std::vector<Case> cases = {
        {'a', 'A'},
        {'z', 'Z'},
        {0xE0, 0xC0},
        {0xE4, 0xC4},
        {0xFE, 0xDE},
        {0x9A, 0x8A},
        {0x9C, 0x8C},
        {0x9E, 0x8E},
        {0xFF, 0x9F},
        // No upper case: division sign, micro sign, sharp s, digits.
        {0xF7, 0xF7},
        {0xB5, 0xB5},
        {0xDF, 0xDF},
        {'1', '1'},
        {0xC4, 0xC4},
    };
    for (const Case& c : cases) EXPECT_EQ(AnsiUpper(c.lower), c.upper) << int(c.lower);
    EXPECT_EQ(AnsiUpperCase("stra\xDF"
                            "e \xE4\xF6\xFC"),
              "STRA\xDF"
              "E \xC4\xD6\xDC");
}

TEST(Ordering, CaseInsensitiveWithRawTieBreak) {
    EXPECT_LT(AnsiCompareOrder("abc", "ABD"), 0);
    EXPECT_GT(AnsiCompareOrder("ABD", "abc"), 0);
    EXPECT_LT(AnsiCompareOrder("AB", "abc"), 0);
    // Same letters, different case: raw bytes decide, so never 0.
    EXPECT_LT(AnsiCompareOrder("\xC4", "\xE4"), 0);  // Ä before ä
    EXPECT_GT(AnsiCompareOrder("\xE4"
                               "b",
                               "\xC4"
                               "B"),
              0);
    EXPECT_LT(AnsiCompareOrder("\xE4"
                               "a",
                               "\xC4"
                               "B"),
              0);  // letters before the tie-break
    EXPECT_EQ(AnsiCompareOrder("same", "same"), 0);
    // Bytes above 0x7F sort after ASCII letters, not as negative chars.
    EXPECT_LT(AnsiCompareOrder("Z", "\xC4"), 0);
    // Punctuation is compared, not ignored.
    EXPECT_LT(AnsiCompareOrder("A-B.ZIP", "AA.ZIP"), 0);
}

TEST(Ordering, SameText) {
    EXPECT_TRUE(AnsiSameText("\xC4rger.TXT", "\xE4RGER.txt"));
    EXPECT_TRUE(AnsiSameText("\x8A", "\x9A"));
    EXPECT_FALSE(AnsiSameText("abc", "abcd"));
    EXPECT_FALSE(AnsiSameText("\xDF", "SS"));
}

}  // namespace
}  // namespace lumora
