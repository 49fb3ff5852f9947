#include "platform/text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lumora {
namespace {

using Lines = std::vector<std::string>;

// CR, LF and CR LF each end a line, a zero byte ends the text, a last line
// without an end counts, a final line end adds no empty line.
TEST(SplitTextLines, LineEndsZeroByteAndLastLine) {
    const std::pair<std::string, Lines> cases[] = {
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
    for (const auto& [bytes, expected] : cases) {
        EXPECT_EQ(SplitTextLines(bytes), expected) << "input: " << bytes;
    }
}

// Windows-1252 to code page 850 and back: sample letters both ways, the
// string form, codes without a counterpart becoming "?", and every mapped
// code taking its own OEM code and coming back unchanged.
TEST(OemTable, Windows1252AndCodePage850) {
    const std::pair<unsigned char, unsigned char> pairs[] = {
        {0xE4, 132}, {0xC4, 142},  {0xF6, 148},  {0xD6, 153},  {0xFC, 129},   // ä Ä ö Ö ü
        {0xDC, 154}, {0xDF, 225},  {0xE9, 130},  {0xA7, 0xF5}, {0xB5, 0xE6},  // Ü ß é § µ
        {'A', 'A'},  {'\r', '\r'}, {0x83, 0x9F}, {0xA0, 0xFF},                // ƒ, no-break space
    };
    for (const auto& [ansi, oem] : pairs) {
        EXPECT_EQ(AnsiToOem(ansi), oem) << "ANSI " << int(ansi);
        EXPECT_EQ(OemToAnsi(oem), ansi) << "OEM " << int(oem);
    }
    EXPECT_EQ(AnsiToOem(std::string_view("K\xE4se \xDC"
                                         "ber")),
              "K\x84se \x9A"
              "ber");
    for (unsigned char c : {0x80, 0x81, 0x84, 0x8A, 0x9C, 0x9F})
        EXPECT_EQ(AnsiToOem(c), '?') << int(c);
    for (unsigned char c : {0xB0, 0xC4, 0xDB}) EXPECT_EQ(OemToAnsi(c), '?') << int(c);  // boxes

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

// UTF-8 to Windows-1252: the 0x80..0x9F letters, undefined codes kept, and
// everything invalid or without a code (cut, overlong, surrogates) as "?".
TEST(Utf8, ConversionsBothWays) {
    const std::pair<std::string, std::string> cases[] = {
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
    for (const auto& [utf8, ansi] : cases) EXPECT_EQ(Utf8ToAnsi(utf8), ansi) << utf8;
    EXPECT_EQ(AnsiToUtf8("\x80\x9F\xE4"), "\xE2\x82\xAC\xC5\xB8\xC3\xA4");
    std::string all;
    for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
    EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(all)), all);
}

// UpperAZ folds only a to z; AnsiUpper folds the Windows-1252 letters
// (including š œ ž ÿ) but not ß, µ, ÷ or upper-case letters.
TEST(CaseFolding, UpperAZAndAnsiUpper) {
    EXPECT_EQ(UpperAZ("game\xE4\xFF.zip"), "GAME\xE4\xFF.ZIP");
    const std::pair<unsigned char, unsigned char> cases[] = {
        {'a', 'A'},   {'z', 'Z'},   {0xE0, 0xC0}, {0xE4, 0xC4}, {0xFE, 0xDE},
        {0x9A, 0x8A}, {0x9C, 0x8C}, {0x9E, 0x8E}, {0xFF, 0x9F}, {0xF7, 0xF7},
        {0xB5, 0xB5}, {0xDF, 0xDF}, {'1', '1'},   {0xC4, 0xC4},
    };
    for (const auto& [lower, upper] : cases) EXPECT_EQ(AnsiUpper(lower), upper) << int(lower);
    EXPECT_EQ(AnsiUpperCase("stra\xDF"
                            "e \xE4\xF6\xFC"),
              "STRA\xDF"
              "E \xC4\xD6\xDC");
}

// Ordering folds case first and only then compares raw bytes, so it is
// never 0 for different texts; bytes above 0x7F sort after ASCII, not as
// negative chars; punctuation counts.
TEST(Ordering, CaseInsensitiveWithRawTieBreak) {
    const std::tuple<std::string, std::string, int> cases[] = {
        {"abc", "ABD", -1},   {"ABD", "abc", 1},     {"AB", "abc", -1},
        {"\xC4", "\xE4", -1}, {"\xE4x", "\xC4X", 1}, {"\xE4x", "\xC4Y", -1},
        {"same", "same", 0},  {"Z", "\xC4", -1},     {"A-B.ZIP", "AA.ZIP", -1},
    };
    for (const auto& [a, b, sign] : cases) {
        const int r = AnsiCompareOrder(a, b);
        EXPECT_EQ((r > 0) - (r < 0), sign) << a << " vs " << b;
    }
    EXPECT_TRUE(AnsiSameText("\xC4rger.TXT", "\xE4RGER.txt"));
    EXPECT_TRUE(AnsiSameText("\x8A", "\x9A"));
    EXPECT_FALSE(AnsiSameText("abc", "abcd"));
    EXPECT_FALSE(AnsiSameText("\xDF", "SS"));
}

}  // namespace
}  // namespace lumora
