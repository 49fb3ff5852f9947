// The ZOO reader: the corpus archives (stored, LZW and LZH members, a
// deleted entry), the entry chain with its end entry and its damage, member
// errors that end only their member, and names kept inside the folder.
#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include "archive/archive_test_support.h"
#include "archive/crc.h"
#include "archive/error_codes.h"
#include "archive/reader_factory.h"
#include "archive/un_zoo.h"

namespace lumora::archive::test {
namespace {

void Put(std::string& s, std::size_t at, std::uint32_t v, int width) {
    for (int i = 0; i < width; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

struct ZooMember {
    ZooMember(std::string n, std::string d, std::uint8_t m = 0, bool del = false,
              std::optional<std::uint16_t> c = std::nullopt)
        : name(std::move(n)), data(std::move(d)), method(m), deleted(del), crc(c) {}
    std::string name;
    std::string data;
    std::uint8_t method;  // 0 stored
    bool deleted;
    std::optional<std::uint16_t> crc;  // instead of the real one
};

// The archive header, then each entry followed by its data, then the entry
// that ends the chain. `entries` receives the entries' positions.
std::string ZooArchive(const std::vector<ZooMember>& members, std::vector<std::size_t>* entries) {
    std::string s = "ZOO 2.10 Archive.\x1A" + std::string(16, '\0');
    Put(s, 20, 0xFDC4A7DC, 4);
    Put(s, 24, 34, 4);
    Put(s, 28, static_cast<std::uint32_t>(-34), 4);
    for (std::size_t i = 0; i <= members.size(); ++i) {
        const std::size_t pos = s.size();
        if (entries) entries->push_back(pos);
        std::string e(51, '\0');
        Put(e, 0, 0xFDC4A7DC, 4);
        if (i < members.size()) {
            const ZooMember& m = members[i];
            Crc16 crc(0);
            crc.Update(reinterpret_cast<const std::uint8_t*>(m.data.data()), m.data.size());
            e[5] = static_cast<char>(m.method);
            Put(e, 6, static_cast<std::uint32_t>(pos + 51 + m.data.size()), 4);
            Put(e, 10, static_cast<std::uint32_t>(pos + 51), 4);
            Put(e, 14, 0x1F9A, 2);  // 1995-12-26
            Put(e, 18, m.crc.value_or(crc.Value()), 2);
            Put(e, 20, static_cast<std::uint32_t>(m.data.size()), 4);
            Put(e, 24, static_cast<std::uint32_t>(m.data.size()), 4);
            e[30] = m.deleted ? 1 : 0;
            e.replace(38, m.name.size(), m.name);
            e += m.data;
        }
        s += e;
    }
    return s;
}

class ZooReaderTest : public TempDirTest {
protected:
    // Extracts into out/; `thrown` is the code of an error that left Extract.
    void Extract(const fs::path& archive, const std::string& spec = "*.*") {
        TZipCommon probe;
        probe.SetArchiveFile(archive);
        const auto reader = MakeReader(probe.ArcType());
        ASSERT_NE(dynamic_cast<TUnZOO*>(reader.get()), nullptr) << ArcTypeName(probe.ArcType());
        log = {};
        log.Attach(*reader);
        reader->UseStoredDirs = true;
        reader->MaxOutputBytes = maxOutput;
        reader->SetArchiveFile(archive);
        reader->SetExtractDir(Path("out"));
        reader->SetFileSpec(spec);
        thrown = 0;
        try {
            reader->Extract();
        } catch (const E_RAISE& e) {
            thrown = e.Code();
        }
        extracted = reader->ExtractedCount();
    }
    fs::path Write(const std::string& bytes) {
        WriteFile(Path("T.ZOO"), bytes);
        return Path("T.ZOO");
    }
    std::string Out(const std::string& name) { return ReadFile(Path("out") / name); }

    EventLog log;
    std::uint64_t maxOutput = 0;
    int thrown = 0;
    int extracted = 0;
};

TEST_F(ZooReaderTest, CorpusArchives) {
    LUMORA_REQUIRE_CORPUS();
    const std::pair<const char*, int> cases[] = {
        {"zoo/GAME1.ZOO", 4},
        {"zoo/GAME2.ZOO", 4},
        {"zoo/GAME3.ZOO", 4},
        {"zoo/TOOLS.ZOO", 5},
        {"zoo/DOCONLY.ZOO", 2},
        {"zoo/TEST.ZOO", 1},
        {"zoo/SAMPLE.ZOO", 1},
        // The old FILE_ID.DIZ, flagged as deleted, comes first and is
        // extracted too; the live one then replaces it.
        {"zoo/ZOODEL.ZOO", 5}};
    for (const auto& [path, members] : cases) {
        SCOPED_TRACE(path);
        fs::remove_all(Path("out"));
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

TEST_F(ZooReaderTest, DeletedEntriesExtractAndTheEndEntryIsNoMember) {
    Extract(Write(ZooArchive({{"A.TXT", "aaa"}, {"B.TXT", "bbb", 0, true}}, nullptr)));
    const std::vector<std::string> want = {"Activate",      "Begin A.TXT 1",  "End A.TXT pass",
                                           "Begin B.TXT 2", "End B.TXT pass", "Deactivate"};
    EXPECT_EQ(log.lines, want);
    EXPECT_EQ(Out("B.TXT"), "bbb");
}

TEST_F(ZooReaderTest, DamagedChainEndsTheRunWithItsError) {
    struct Case {
        const char* what;
        std::size_t entry;  // whose field is changed (0, 1: members; 2: end entry)
        std::size_t field;
        std::uint32_t value;
        int code;
    };
    const Case cases[] = {
        {"chain back to an earlier entry", 1, 6, 0, ecode::BadFileHeader},
        {"entry pointing at itself", 0, 6, 0, ecode::BadFileHeader},
        {"chain outside the file", 1, 6, 0x7FFFFFF0, ecode::BadFileHeader},
        {"wrong tag", 2, 0, 0x12345678, ecode::BadFileHeader},
        {"data past the end", 1, 24, 100000, ecode::BadFileHeader},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(Path("out"));
        std::vector<std::size_t> at;
        std::string bytes = ZooArchive({{"A.TXT", "aaa"}, {"B.TXT", "bbb"}}, &at);
        Put(bytes, at[c.entry] + c.field, c.field == 6 && c.value == 0 ? at[0] : c.value, 4);
        const auto start = std::chrono::steady_clock::now();
        Extract(Write(bytes));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
        EXPECT_EQ(thrown, c.code);
        EXPECT_EQ(log.codes, std::vector<int>{c.code});
        EXPECT_EQ(log.lines.back(), "Deactivate");
    }
    std::string bytes = ZooArchive({{"A.TXT", "aaa"}}, nullptr);
    Put(bytes, 28, 0, 4);  // the negated first position does not match
    Extract(Write(bytes));
    EXPECT_EQ(thrown, ecode::BadFileHeader);
    Extract(Write(bytes.substr(0, 30)));
    EXPECT_EQ(thrown, ecode::ReadError);
}

TEST_F(ZooReaderTest, MemberErrorsEndOnlyTheirMember) {
    Extract(Write(ZooArchive(
        {{"A.TXT", "aaa", 3}, {"B.TXT", "bbb", 0, false, 0x1234}, {"..\\EVIL.TXT", "ccc"}},
        nullptr)));
    const std::vector<std::string> want = {
        "Activate",         "Begin A.TXT 1",     "Error 25200 A.TXT",
        "Begin B.TXT 1",    "Error 25117 B.TXT", "End B.TXT fail",
        "Begin EVIL.TXT 2", "End EVIL.TXT pass", "Deactivate"};
    EXPECT_EQ(log.lines, want);
    EXPECT_EQ(FilesBelow(root_), (std::vector<std::string>{"T.ZOO", "out/B.TXT", "out/EVIL.TXT"}));
}

// Damage anywhere behind the signature ends the run with a report at worst:
// no crash, no hang, nothing written outside the folder.
TEST_F(ZooReaderTest, RandomlyDamagedArchivesEndCleanly) {
    LUMORA_REQUIRE_CORPUS();
    std::mt19937 rng(13);
    maxOutput = 1 << 20;
    for (const char* path : {"zoo/GAME1.ZOO", "zoo/GAME2.ZOO", "zoo/GAME3.ZOO"}) {
        SCOPED_TRACE(path);
        const std::string good = ReadFile(CorpusDir() / path);
        for (int round = 0; round < 100; ++round) {
            std::string bad = good;
            for (int n = 1 + rng() % 8; n > 0; --n)
                bad[4 + rng() % (bad.size() - 4)] = static_cast<char>(rng());
            fs::remove_all(Path("out"));
            WriteFile(Path("T.ZOO"), bad);
            Extract(Path("T.ZOO"));
            for (const auto& f : FilesBelow(root_))
                ASSERT_TRUE(f == "T.ZOO" || f.starts_with("out/")) << f;
        }
    }
}

}  // namespace
}  // namespace lumora::archive::test
