// The LHA reader: the corpus archives (every -lh0-, -lh1-, -lh4-, -lh5-
// member of level 0 and 1 headers passes its CRC, descriptions as expected,
// other methods and header levels give their errors), archives made by jLHA,
// and hand-made headers for the events and the hostile cases.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <optional>
#include <random>

#include "archive/archive_test_support.h"
#include "archive/crc.h"
#include "archive/error_codes.h"
#include "archive/reader_factory.h"
#include "archive/un_lha.h"

namespace lumora::archive::test {
namespace {

std::string Le(std::uint32_t v, int width) {
    std::string s;
    for (int i = 0; i < width; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

std::uint16_t Crc16Of(const std::string& s) {
    Crc16 crc(0);
    crc.Update(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
    return crc.Value();
}

// One member with a level-0 or level-1 header; `ext` are the bodies (type
// byte and data) of level-1 extended headers.
struct LhaEntry {
    LhaEntry(std::string n, std::string d, std::string m = "-lh0-", int l = 0,
             std::vector<std::string> e = {})
        : name(std::move(n)),
          data(std::move(d)),
          method(std::move(m)),
          level(l),
          ext(std::move(e)) {}
    std::string name;
    std::string data;
    std::string method;
    int level;
    std::vector<std::string> ext;
    std::optional<std::uint32_t> packed;  // instead of the real size
    int headerSize = -1;                  // instead of the real size
};

std::string LhaBytes(const LhaEntry& e) {
    std::string extBytes;
    for (std::size_t i = 0; i < e.ext.size(); ++i) {
        const std::size_t next = i + 1 < e.ext.size() ? e.ext[i + 1].size() + 2 : 0;
        extBytes += e.ext[i] + Le(static_cast<std::uint32_t>(next), 2);
    }
    const std::size_t h = e.name.size() + (e.level == 1 ? 25 : 22);
    std::string s(1, static_cast<char>(e.headerSize >= 0 ? e.headerSize : static_cast<int>(h)));
    s += '\0' + e.method;
    s += Le(e.packed.value_or(static_cast<std::uint32_t>(e.data.size() + extBytes.size())), 4);
    s += Le(static_cast<std::uint32_t>(e.data.size()), 4) + Le(0x1F9A6000, 4);
    s += std::string{' ', static_cast<char>(e.level), static_cast<char>(e.name.size())} + e.name;
    s += Le(Crc16Of(e.data), 2);
    if (e.level == 1)
        s += "M" + Le(e.ext.empty() ? 0 : static_cast<std::uint32_t>(e.ext[0].size() + 2), 2);
    return s + extBytes + e.data;
}

class LhaReaderTest : public TempDirTest {
protected:
    // Extracts `archive` with FileSpec `spec` into out/; the events in `log`.
    // The reader comes from the factory, by the detected type.
    void Extract(const fs::path& archive, const std::string& spec = "*.*") {
        TZipCommon probe;
        probe.SetArchiveFile(archive);
        const auto reader = MakeReader(probe.ArcType());
        ASSERT_NE(dynamic_cast<TUnLHA*>(reader.get()), nullptr) << ArcTypeName(probe.ArcType());
        TUnBase& r = *reader;
        log = {};
        log.Attach(r);
        r.UseStoredDirs = useStoredDirs;
        r.MaxOutputBytes = maxOutput;
        r.SetArchiveFile(archive);
        r.SetExtractDir(Path("out"));
        r.SetFileSpec(spec);
        r.Extract();
        extracted = r.ExtractedCount();
    }
    fs::path Write(const std::vector<LhaEntry>& entries, const std::string& tail = "\0") {
        std::string bytes;
        for (const auto& e : entries) bytes += LhaBytes(e);
        WriteFile(Path("T.LZH"), bytes + tail);
        return Path("T.LZH");
    }
    std::string Out(const std::string& name) { return ReadFile(Path("out") / name); }

    EventLog log;
    int extracted = 0;
    bool useStoredDirs = false;
    std::uint64_t maxOutput = 0;
};

struct CorpusCase {
    const char* path;
    int passes;              // members extracted with their CRC passing
    std::vector<int> codes;  // reports in order
};

TEST_F(LhaReaderTest, CorpusArchives) {
    LUMORA_REQUIRE_CORPUS();
    const int kMethod = ecode::UnsupportedMethod, kCrc = ecode::CrcError;
    const int kHeader = ecode::BadFileHeader;
    const CorpusCase cases[] = {
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
        {"lha/GAME2.LZH", 0, {kMethod, kCrc, kMethod, kCrc, kMethod, kCrc, kMethod, kCrc}},
        {"lha/AMI_LH6.LZH", 0, {kMethod, kCrc}},
        {"lha/EXP_H0L7.LZH", 0, {kMethod, kCrc}},
        {"lha/EXP_H1L6.LZH", 0, {kMethod, kCrc}},
        {"lha/UNIX_H1.LZH", 0, {kMethod, kCrc}},
        // Only the fourth character names the method: -lz5- is taken for
        // -lh5-, whose decoder rejects the data.
        {"lha/LARC_LZ5.LZS", 0, {ecode::BadHuffmanCode, kCrc}},
        {"lha/GAME3.LZH", 0, {kHeader}},
        {"lha/TOOLS.LZH", 0, {kHeader}},
        {"lha/AMI_LV2.LZH", 0, {kHeader}},
        {"lha/LHMELT.LZH", 0, {kHeader}},
        {"lha/OS2_H3.LZH", 0, {kHeader}},
        {"misc/BADHDR.LZH", 1, {kHeader}},
    };
    for (const CorpusCase& c : cases) {
        SCOPED_TRACE(c.path);
        fs::remove_all(Path("out"));
        const fs::path archive = CorpusDir() / c.path;
        Extract(archive);
        EXPECT_EQ(log.codes, c.codes);
        int passes = 0;
        for (const auto& line : log.lines) passes += line.ends_with(" pass");
        EXPECT_EQ(passes, c.passes);
        const fs::path expected = CorpusDir() / "expected" / c.path;
        if (!c.codes.empty() || !fs::is_directory(expected)) continue;
        for (const auto& want : fs::directory_iterator(expected))
            EXPECT_EQ(Out(want.path().filename()), ReadFile(want.path()));
    }
}

bool HaveTool(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

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
        fs::remove_all(Path("out"));
        fs::remove(Path("M.LZH"));
        const std::string cmd = "cd '" + Path("src").string() + "' && jlha " + command +
                                " ../M.LZH" +
                                " TEXT.TXT NOISE.BIN ZERO.BIN ONE.TXT >/dev/null 2>&1";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        Extract(Path("M.LZH"));
        EXPECT_EQ(log.codes, std::vector<int>{});
        EXPECT_EQ(extracted, 4);
        for (const auto& [name, bytes] : files) EXPECT_EQ(Out(name), bytes) << name;
    }
}

// Level-1 headers of some archivers carry several extended headers; the data
// begins after the whole chain.
TEST_F(LhaReaderTest, EveryExtendedHeaderIsSkipped) {
    const std::vector<std::string> ext = {std::string("\x40\x20\x00", 3), "\x54" + Le(820000000, 4),
                                          std::string("\x50\xED\x81", 3)};
    Extract(Write({{"A.TXT", "first member", "-lh0-", 1, ext}, {"B.TXT", "second", "-lh0-", 1}}));
    EXPECT_EQ(log.codes, std::vector<int>{});
    EXPECT_EQ(Out("A.TXT"), "first member");
    EXPECT_EQ(Out("B.TXT"), "second");
}

TEST_F(LhaReaderTest, UnsupportedMethodIsReportedAndTheWalkGoesOn) {
    Extract(Write({{"A.BIN", "abc", "-lh6-"}, {"B.TXT", "bbb"}}));
    const std::vector<std::string> want = {
        "Activate",       "Begin A.BIN 1", "Error 25200 A.BIN", "Error 25117 A.BIN",
        "End A.BIN fail", "Begin B.TXT 1", "End B.TXT pass",    "Deactivate"};
    EXPECT_EQ(log.lines, want);
    EXPECT_FALSE(fs::exists(Path("out/A.BIN")));  // nothing was written for it
}

TEST_F(LhaReaderTest, DamagedHeadersEndTheWalkWithHeaderError) {
    const LhaEntry good{"GOOD.TXT", "good"};
    LhaEntry huge{"A.TXT", "aaa"}, tiny{"A.TXT", "aaa"}, past{"A.TXT", "aaa"}, level2{"A.TXT", "a"};
    LhaEntry overrun{"A.TXT", "aaa", "-lh0-", 1, {"\x40" + std::string(20, ' ')}};
    huge.packed = 0xFFFFFF00;  // read as signed, this would step backwards
    tiny.headerSize = 3;
    past.packed = 1000;
    level2.level = 2;
    overrun.packed = 10;
    for (const LhaEntry& bad : {huge, tiny, past, level2, overrun}) {
        fs::remove_all(Path("out"));
        const auto start = std::chrono::steady_clock::now();
        Extract(Write({good, bad, good}));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
        EXPECT_EQ(log.codes, std::vector<int>{ecode::BadFileHeader});
        EXPECT_EQ(FilesBelow(Path("out")), std::vector<std::string>{"GOOD.TXT"});
        EXPECT_EQ(extracted, 1);
    }
    Extract(Write({good}, ""));  // no end marker: the walk ends quietly
    EXPECT_EQ(log.codes, std::vector<int>{});
    EXPECT_EQ(extracted, 1);
}

TEST_F(LhaReaderTest, NamesStayInsideTheExtractionFolder) {
    for (bool stored : {false, true}) {
        fs::remove_all(Path("out"));
        useStoredDirs = stored;
        Extract(Write({{"..\\..\\EVIL1.TXT", "1"}, {"C:\\EVIL2.TXT", "2"}, {"..", "3"}}));
        EXPECT_EQ(FilesBelow(root_),
                  (std::vector<std::string>{"T.LZH", "out/EVIL1.TXT", "out/EVIL2.TXT"}));
    }
}

TEST_F(LhaReaderTest, OutputLimitCutsTheMemberWhichStillCounts) {
    maxOutput = 10;
    Extract(Write({{"BIG.TXT", std::string(100, 'b')}}));
    EXPECT_EQ(Out("BIG.TXT"), std::string(10, 'b'));
    EXPECT_EQ(log.codes, std::vector<int>{});
    EXPECT_EQ(extracted, 1);
}

// Damage anywhere behind the signature ends the run with a report at worst:
// no crash, no hang, nothing written outside the folder.
TEST_F(LhaReaderTest, RandomlyDamagedArchivesEndCleanly) {
    LUMORA_REQUIRE_CORPUS();
    std::mt19937 rng(11);
    maxOutput = 1 << 20;
    for (const char* path :
         {"lha/GAME1.LZH", "lha/GAME4.LZH", "lha/LH113.LZH", "lha/AMI_LH4.LZH"}) {
        SCOPED_TRACE(path);
        const std::string good = ReadFile(CorpusDir() / path);
        for (int round = 0; round < 100; ++round) {
            std::string bad = good;
            for (int n = 1 + rng() % 8; n > 0; --n)
                bad[4 + rng() % (bad.size() - 4)] = static_cast<char>(rng());
            fs::remove_all(Path("out"));
            WriteFile(Path("T.LZH"), bad);
            Extract(Path("T.LZH"));
            for (const auto& f : FilesBelow(root_))
                ASSERT_TRUE(f == "T.LZH" || f.starts_with("out/")) << f;
        }
    }
}

}  // namespace
}  // namespace lumora::archive::test
