// The LHA reader: the corpus archives (methods -lh0- to -lh7- and -lz5-
// with headers of levels 0 to 3 pass their CRC, other methods give their
// errors), archives made by jLHA, extended headers and damaged headers.
#include <gtest/gtest.h>

#include <chrono>
#include <map>

#include "archive/archive_test_support.h"
#include "support/builders/lha_builder.h"

namespace lumora::archive::test {
namespace {

using Codes = std::vector<int>;

class LhaReaderTest : public ReaderTest {};

// Members passing their CRC and the reports of each corpus archive; the
// descriptions of the intact ones match the expected bytes.
TEST_F(LhaReaderTest, CorpusArchives) {
    LUMORA_REQUIRE_CORPUS();
    const int kMethod = ecode::UnsupportedMethod, kCrc = ecode::CrcError;
    const int kHeader = ecode::BadFileHeader;
    const std::tuple<const char*, int, Codes> cases[] = {
        {"lha/GAME1.LZH", 4, {}},
        {"lha/DOCONLY.LZH", 2, {}},
        {"lha/GAME4.LZH", 4, {}},
        {"lha/LOWERLZH.LZH", 4, {}},
        {"lha/AMI_LH1.LZH", 1, {}},
        {"lha/AMI_LH4.LZH", 1, {}},
        {"lha/AMI_LV0.LZH", 1, {}},
        {"lha/LHARC113.LZH", 1, {}},
        {"lha/LH113.LZH", 3, {}},
        {"lha/LH2_222.LZH", 1, {}},
        {"lha/LHA213.LZH", 1, {}},
        {"lha/LHA213SD.LZH", 1, {}},
        {"lha/LHA255E.LZH", 1, {}},
        {"lha/LEN0.LZH", 1, {}},
        {"sfx/LHASFX.EXE", 4, {}},
        {"sfx/LHA213SF.EXE", 1, {}},
        {"sfx/LHA255SF.EXE", 1, {}},
        {"lha/GAME2.LZH", 4, {}},
        {"lha/AMI_LH6.LZH", 1, {}},
        {"lha/EXP_H0L7.LZH", 1, {}},
        {"lha/EXP_H1L6.LZH", 1, {}},
        {"lha/UNIX_H1.LZH", 1, {}},
        {"lha/LARC_LZ5.LZS", 1, {}},
        {"lha/GAME3.LZH", 4, {}},
        {"lha/TOOLS.LZH", 5, {}},
        {"lha/AMI_LV2.LZH", 1, {}},
        {"lha/LHMELT.LZH", 1, {}},
        {"lha/OS2_H3.LZH", 1, {}},
        // Folder entries are skipped, as are symbolic links stored as
        // folders.
        {"lha/EXP_H2SD.LZH", 1, {}},
        {"lha/LA_HDR3.LZH", 2, {}},
        {"lha/LA_JUNK.LZH", 2, {}},
        {"lha/UNLHA_LX.LZH", 0, {kMethod, kCrc}},
        {"misc/BADHDR.LZH", 1, {kHeader}},
    };
    for (const auto& [path, passes, codes] : cases) {
        SCOPED_TRACE(path);
        Reset();
        Extract(CorpusDir() / path);
        EXPECT_EQ(log.codes, codes);
        EXPECT_EQ(std::count_if(log.lines.begin(), log.lines.end(),
                                [](const std::string& l) { return l.ends_with(" pass"); }),
                  passes);
        const fs::path expected = CorpusDir() / "expected" / path;
        if (!codes.empty() || !fs::is_directory(expected)) continue;
        for (const auto& want : fs::directory_iterator(expected))
            EXPECT_EQ(Out(want.path().filename()), ReadFile(want.path()));
    }
}

// jLHA's -lh5- and -lh0- members with level-0 and level-1 headers extract
// byte for byte.
TEST_F(LhaReaderTest, ArchivesMadeByJlhaExtractByteForByte) {
    if (!HaveTool("jlha")) GTEST_SKIP() << "jlha not installed";
    std::string text, noise;
    for (int i = 0; text.size() < 60000; ++i)
        text += "line " + std::to_string(i % 97) + " of the list\r\n";
    for (std::uint32_t x = 1; noise.size() < 40000;)
        noise += static_cast<char>((x = x * 1103515245 + 12345) >> 24);
    const std::map<std::string, std::string> files = {{"TEXT.TXT", text},
                                                      {"NOISE.BIN", noise},
                                                      {"ZERO.BIN", std::string(70000, '\0')},
                                                      {"ONE.TXT", "x"}};
    for (const auto& [name, bytes] : files) WriteFile(Path("src") / name, bytes);
    for (const char* command : {"a0o5q", "a1o5q", "a0zq", "a1zq"}) {
        SCOPED_TRACE(command);
        Reset();
        fs::remove(Path("M.LZH"));
        ASSERT_TRUE(Shell("cd '" + Path("src").string() + "' && jlha " + command +
                          " ../M.LZH TEXT.TXT NOISE.BIN ZERO.BIN ONE.TXT"));
        Extract(Path("M.LZH"));
        EXPECT_EQ(log.codes, Codes{});
        EXPECT_EQ(extracted, 4);
        for (const auto& [name, bytes] : files) EXPECT_EQ(Out(name), bytes) << name;
    }
}

// The data of a level-1 member begins after its whole chain of extended
// headers; a member of an unknown method is reported, not written, and the
// walk goes on.
TEST_F(LhaReaderTest, ExtendedHeadersAndUnknownMethods) {
    const std::vector<std::string> ext = {std::string("\x40\x20\x00", 3), "\x54" + Le(820000000, 4),
                                          std::string("\x50\xED\x81", 3)};
    Extract(Write("T.LZH", LhaArchive({{"A.TXT", "first member", "-lh0-", 1, ext},
                                       {"C.BIN", "abc", "-lhx-"},
                                       {"B.TXT", "second", "-lh0-", 1}})));
    EXPECT_EQ(log.codes, (Codes{ecode::UnsupportedMethod, ecode::CrcError}));
    EXPECT_EQ(OutFiles(), (std::vector<std::string>{"A.TXT", "B.TXT"}));
    EXPECT_EQ(Out("A.TXT"), "first member");
    EXPECT_EQ(Out("B.TXT"), "second");
}

// Sizes that step backwards or past the end, a header too short for its
// fields, a level over 3 and an extended header running past the data end
// the walk at once with a header error; a missing end marker ends it
// quietly.
TEST_F(LhaReaderTest, DamagedHeadersEndTheWalkWithHeaderError) {
    const LhaEntry good{"GOOD.TXT", "good"};
    LhaEntry huge{"A.TXT", "aaa"}, tiny{"A.TXT", "aaa"}, past{"A.TXT", "aaa"}, level4{"A.TXT", "a"};
    LhaEntry overrun{"A.TXT", "aaa", "-lh0-", 1, {"\x40" + std::string(20, ' ')}};
    huge.packed = 0xFFFFFF00;  // read as signed, this would step backwards
    tiny.headerSize = 3;
    past.packed = 1000;
    level4.level = 4;
    overrun.packed = 10;
    for (const LhaEntry& bad : {huge, tiny, past, level4, overrun}) {
        Reset();
        const auto start = std::chrono::steady_clock::now();
        Extract(Write("T.LZH", LhaArchive({good, bad, good})));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
        EXPECT_EQ(log.codes, Codes{ecode::BadFileHeader});
        EXPECT_EQ(OutFiles(), std::vector<std::string>{"GOOD.TXT"});
        EXPECT_EQ(extracted, 1);
    }
    Extract(Write("T.LZH", LhaArchive({good}, false)));
    EXPECT_EQ(log.codes, Codes{});
    EXPECT_EQ(extracted, 1);
}

// jLHA's archives of every header level it writes (0 to 2) and every
// method (-lh0-, -lh5- to -lh7-) extract byte for byte: a member over 64 KiB
// whose repeats lie up to 60 000 bytes back.
TEST_F(LhaReaderTest, JlhaRoundTripsEveryLevelAndMethod) {
    if (!HaveTool("jlha")) GTEST_SKIP() << "jlha not installed";
    const auto noise = [](std::size_t n, std::uint32_t x) {
        std::string s;
        while (s.size() < n) s += static_cast<char>((x = x * 1103515245 + 12345) >> 24);
        return s;
    };
    // Repeats of random bytes 60 000 and 30 000 bytes back: beyond -lh6-'s
    // window and within -lh7-'s, then within -lh6-'s.
    const std::string a = noise(40000, 7), b = noise(3000, 9);
    const std::string far = a + std::string(20000, '-') + a + b + std::string(27000, '=') + b;
    WriteFile(Path("src") / "FAR.BIN", far);
    for (const char level : {'0', '1', '2'}) {
        for (const char* method : {"z", "o5", "o6", "o7"}) {
            const std::string command = std::string("a") + level + method + "q";
            SCOPED_TRACE(command);
            Reset();
            fs::remove(Path("M.LZH"));
            ASSERT_TRUE(Shell("cd '" + Path("src").string() + "' && jlha " + command +
                              " ../M.LZH FAR.BIN"));
            Extract(Path("M.LZH"));
            EXPECT_EQ(log.codes, Codes{});
            EXPECT_TRUE(Out("FAR.BIN") == far);
        }
    }
}

// Level-2 and level-3 members: the directory of the extended headers, a
// header CRC that matches, 64-bit sizes that replace the 32-bit fields and
// folder entries that write nothing.
TEST_F(LhaReaderTest, NewLevelHeadersExtract) {
    const std::string dir = std::string("\x02SUB\xFF") + "DIR";
    const std::string sizes64 = "\x42" + Le(6, 4) + Le(0, 4) + Le(6, 4) + Le(0, 4);
    LhaEntry wide{"W.TXT", "64-bit", "-lh0-", 3, {sizes64}};
    wide.packed = 0;
    std::vector<LhaEntry> entries = {{"A.TXT", "level 2", "-lh0-", 2, {dir}},
                                     {"F", "", "-lhd-", 2, {dir}},
                                     {"B.TXT", "level 3", "-lh0-", 3, {dir}},
                                     wide};
    entries[0].headerCrc = entries[2].headerCrc = true;
    storedDirs = true;
    Extract(Write("T.LZH", LhaArchive(entries)));
    EXPECT_EQ(log.codes, Codes{});
    EXPECT_EQ(OutFiles(), (std::vector<std::string>{"SUB/DIR/A.TXT", "SUB/DIR/B.TXT", "W.TXT"}));
    EXPECT_EQ(Out("SUB/DIR/A.TXT"), "level 2");
    EXPECT_EQ(Out("W.TXT"), "64-bit");
    EXPECT_EQ(extracted, 3);
}

}  // namespace
}  // namespace lumora::archive::test
