#include "platform/code_pages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lumora {
namespace {

// The guess per description: drawings and umlauts of either set, text
// already in UTF-8, and the cases that must not tip the balance.
TEST(GuessDescriptionCodePage, DecidesByTheDescriptionsOwnSigns) {
    struct Case {
        std::vector<std::string> lines;
        CodePage page;
        const char* what;
    };
    const Case cases[] = {
        {{"\xC9\xCD\xCD\xBB", "\xBA Hi \xBA", "\xC8\xCD\xCD\xBC"}, CodePage::Cp437, "box corners"},
        {{"Gr\x81\xE1"
          "e an alle, sch\x94n"},
         CodePage::Cp437,
         "MS-DOS umlauts"},
        {{"Spiel f\xFCr zwei, Gr\xF6\xDF"
          "e 5"},
         CodePage::Windows1252,
         "Windows umlauts"},
        {{"\xE2\x94\x80\xE2\x94\x80 Box \xE2\x94\x82"}, CodePage::Utf8, "UTF-8 box lines"},
        {{"Gr\xC3\xBC\xC3\x9F"
          "e"},
         CodePage::Utf8,
         "UTF-8 umlauts"},
        {{"plain ASCII"}, CodePage::Cp437, "undecided"},
        // 0xC4 is both a line piece (437) and an umlaut (1252): a run of
        // them is a line, not a word.
        {{"\xC4\xC4\xC4\xC4\xC4", "Titel"}, CodePage::Cp437, "437 line"},
        // A broken sequence is no UTF-8, whatever else is valid.
        {{"\xE2\x94\x80", "f\xFCr"}, CodePage::Windows1252, "mixed"},
    };
    for (const auto& c : cases) EXPECT_EQ(GuessDescriptionCodePage(c.lines), c.page) << c.what;
}

// Through Unicode and back to each single-byte set; what a set lacks is '?'.
TEST(CodePages, DecodeAndEncode) {
    EXPECT_EQ(DecodeCodePage("ok \xFF\xC3", CodePage::Utf8), "ok ??");
    EXPECT_EQ(EncodeCodePage("╔═╗ äß", CodePage::Cp437), "\xC9\xCD\xBB \x84\xE1");
    EXPECT_EQ(EncodeCodePage("╔ä€", CodePage::Cp850), "\xC9\x84?");
    EXPECT_EQ(EncodeCodePage("╔ä€", CodePage::Windows1252), "?\xE4\x80");
    for (CodePage page : {CodePage::Cp437, CodePage::Cp850}) {
        std::string all;
        for (int b = 0x20; b < 0x100; ++b) all += static_cast<char>(b);
        EXPECT_EQ(EncodeCodePage(DecodeCodePage(all, page), page), all);
    }
}

TEST(CodePages, Utf8LengthAndPrefixCountCharacters) {
    EXPECT_EQ(Utf8Length("a╔ß"), 3u);
    EXPECT_EQ(Utf8Length("a\xFF"
                         "b"),
              3u);  // a stray byte is one column
    EXPECT_EQ(Utf8Prefix("╔═╗x", 2), "╔═");
    EXPECT_EQ(Utf8Prefix("ab", 5), "ab");
}

}  // namespace
}  // namespace lumora
