// The ZOO reader: the corpus archives (stored, LZW and LZH members, a
// deleted entry), the entry chain with its end entry and its damage, and
// member errors that end only their member.
#include <gtest/gtest.h>

#include <chrono>

#include "archive/archive_test_support.h"
#include "support/builders/zoo_builder.h"

namespace lumora::archive::test {
namespace {

using Lines = std::vector<std::string>;

class ZooReaderTest : public ReaderTest {
protected:
    void SetUp() override {
        ReaderTest::SetUp();
        storedDirs = true;
    }
};

// Every corpus member passes its CRC; the descriptions match the expected
// bytes. A deleted entry is extracted too (the live one then replaces it).
TEST_F(ZooReaderTest, CorpusArchives) {
    LUMORA_REQUIRE_CORPUS();
    const std::pair<const char*, int> cases[] = {
        {"zoo/GAME1.ZOO", 4},   {"zoo/GAME2.ZOO", 4}, {"zoo/GAME3.ZOO", 4},  {"zoo/TOOLS.ZOO", 5},
        {"zoo/DOCONLY.ZOO", 2}, {"zoo/TEST.ZOO", 1},  {"zoo/SAMPLE.ZOO", 1}, {"zoo/ZOODEL.ZOO", 5}};
    for (const auto& [path, members] : cases) {
        SCOPED_TRACE(path);
        Reset();
        Extract(CorpusDir() / path);
        EXPECT_EQ(log.codes, std::vector<int>{});
        EXPECT_EQ(thrown, 0);
        EXPECT_EQ(extracted, members);
        EXPECT_EQ(std::count_if(log.lines.begin(), log.lines.end(),
                                [](const std::string& l) { return l.ends_with(" pass"); }),
                  members);
        const fs::path expected = CorpusDir() / "expected" / path;
        if (!fs::is_directory(expected)) continue;
        for (const auto& want : fs::directory_iterator(expected))
            EXPECT_EQ(Out(want.path().filename()), ReadFile(want.path()));
    }
}

// An unknown method and a bad CRC end only their member; deleted entries
// are extracted; the end entry is no member.
TEST_F(ZooReaderTest, MemberErrorsEndOnlyTheirMember) {
    Extract(Write("T.ZOO", ZooArchive({{"A.TXT", "aaa", 3},
                                       {"B.TXT", "bbb", 0, false, 0x1234},
                                       {"C.TXT", "ccc", 0, true}})));
    EXPECT_EQ(log.lines, (Lines{"Activate", "Begin A.TXT 1", "Error 25200 A.TXT", "Begin B.TXT 1",
                                "Error 25117 B.TXT", "End B.TXT fail", "Begin C.TXT 2",
                                "End C.TXT pass", "Deactivate"}));
    EXPECT_EQ(OutFiles(), (Lines{"B.TXT", "C.TXT"}));
    EXPECT_EQ(Out("C.TXT"), "ccc");
}

// Chains that loop, leave the file or lose their tag, and data past the end
// end the run quickly with a header error that leaves Extract; so do a
// damaged archive header and one cut short.
TEST_F(ZooReaderTest, DamagedChainEndsTheRunWithItsError) {
    struct Case {
        const char* what;
        std::size_t entry;  // whose field is changed (0, 1: members; 2: end entry)
        std::size_t field;
        std::uint32_t value;  // 0: the first entry's position
    };
    const Case cases[] = {
        {"chain back to an earlier entry", 1, 6, 0},  {"entry pointing at itself", 0, 6, 0},
        {"chain outside the file", 1, 6, 0x7FFFFFF0}, {"wrong tag", 2, 0, 0x12345678},
        {"data past the end", 1, 24, 100000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Reset();
        std::vector<std::size_t> at;
        std::string bytes = ZooArchive({{"A.TXT", "aaa"}, {"B.TXT", "bbb"}}, &at);
        PutLe(bytes, at[c.entry] + c.field, c.value ? c.value : at[0], 4);
        const auto start = std::chrono::steady_clock::now();
        Extract(Write("T.ZOO", bytes));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
        EXPECT_EQ(thrown, ecode::BadFileHeader);
        EXPECT_EQ(log.codes, std::vector<int>{ecode::BadFileHeader});
        EXPECT_EQ(log.lines.back(), "Deactivate");
    }
    std::string bytes = ZooArchive({{"A.TXT", "aaa"}});
    PutLe(bytes, 28, 0, 4);  // the negated first position does not match
    Extract(Write("T.ZOO", bytes));
    EXPECT_EQ(thrown, ecode::BadFileHeader);
    Extract(Write("T.ZOO", bytes.substr(0, 30)));
    EXPECT_EQ(thrown, ecode::ReadError);
}

}  // namespace
}  // namespace lumora::archive::test
