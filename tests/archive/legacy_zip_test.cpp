// ZIP members packed with Shrink, Reduce and Implode: the corpus archives
// extract whole and byte for byte, damaged data shows its message box and
// then the CRC warning, windows start empty for each member, and the byte
// limit holds.
#include <gtest/gtest.h>

#include "archive/error_codes.h"
#include "archive/un_zip.h"
#include "archive_test_support.h"
#include "corpus_manifest.h"
#include "legacy_test_support.h"
#include "zip_builder.h"

namespace lumora::archive {
namespace {

namespace fs = std::filesystem;

bool UsesLegacyMethod(const test::CorpusRow& r) {
    for (const char* m : {"shrink", "reduce", "implode"}) {
        if (r.methods.find(m) != std::string::npos) return true;
    }
    return false;
}

class LegacyZipTest : public test::TempDirTest {
protected:
    void Prepare(TUnZIP& z, test::EventLog& log, const fs::path& archive, const std::string& spec,
                 const std::string& dir) {
        log.Attach(z);
        z.SetArchiveFile(archive.string());
        z.SetExtractDir(Path(dir).string());
        z.SetFileSpec(spec);
    }

    // A one-member (or more) archive written to the test folder.
    fs::path Write(const test::ZipBuilder& b) {
        const fs::path p = Path("test.zip");
        test::WriteFile(p, b.Build());
        return p;
    }
};

TEST_F(LegacyZipTest, CorpusArchivesExtractWholeAndByteForByte) {
    LUMORA_REQUIRE_CORPUS();
    int archives = 0;
    int descriptions = 0;
    for (const test::CorpusRow& r : test::CorpusRowsOf({"zip"})) {
        if (!UsesLegacyMethod(r)) continue;
        SCOPED_TRACE(r.path);
        TUnZIP z;
        test::EventLog log;
        Prepare(z, log, test::CorpusDir() / r.path, "*.*", r.path);
        z.UseStoredDirs = true;
        z.Extract();
        EXPECT_TRUE(log.codes.empty()) << log.codes.front();  // no CRC warning
        EXPECT_TRUE(log.boxes.empty()) << log.boxes.front();
        std::set<std::string> members;
        for (const auto& m : test::SplitText(r.members, '|')) members.insert(m);
        const auto files = test::FilesBelow(Path(r.path));
        EXPECT_EQ(std::set<std::string>(files.begin(), files.end()), members);
        if (!r.descSha.empty()) {
            const auto expected = test::CorpusDir() / "expected" / r.path / r.descMember;
            EXPECT_EQ(test::ReadFile(Path(r.path) / r.descMember), test::ReadFile(expected));
            ++descriptions;
        }
        ++archives;
    }
    EXPECT_GE(archives, 14);
    EXPECT_GE(descriptions, 9);
}

// A member cut at MaxOutputBytes counts as extracted and passes.
TEST_F(LegacyZipTest, OutputStopsAtTheByteLimit) {
    LUMORA_REQUIRE_CORPUS();
    for (const char* archive : {"SHRINK.ZIP", "REDUCE3.ZIP", "IMPL8K3T.ZIP"}) {
        SCOPED_TRACE(archive);
        TUnZIP z;
        test::EventLog log;
        Prepare(z, log, test::CorpusDir() / "zip" / archive, "README.TXT", archive);
        z.MaxOutputBytes = 1000;
        z.Extract();
        EXPECT_EQ(log.lines, (std::vector<std::string>{"Activate", "Begin README.TXT 1",
                                                       "End README.TXT pass", "Deactivate"}));
        EXPECT_EQ(fs::file_size(Path(archive) / "README.TXT"), 1000u);
    }
}

struct DamagedMember {
    const char* name;
    std::uint16_t method;
    std::uint16_t flags;
    test::Bytes stream;
    int code;             // shown in the message box
    std::string written;  // what the member's file holds afterwards
};

test::Bytes Codes9(std::initializer_list<unsigned> codes) {
    test::LsbBitWriter w;
    for (unsigned c : codes) w.Bits(c, 9);
    return w.bytes;
}

test::Bytes OverSubscribedTrees() {
    test::LsbBitWriter w;
    for (int tree = 0; tree < 2; ++tree) {
        w.Bits(3, 8);
        for (int i = 0; i < 4; ++i) w.Bits(0xF0, 8);  // 64 codes of 1 bit
    }
    return w.bytes;
}

test::Bytes ReduceIndexPastSet() {
    test::ReduceTestEncoder enc;
    enc.followers[0] = {'A', 'B', 'C'};
    test::Bytes b = enc.Encode({});
    test::LsbBitWriter tail;  // bit 0 (a follower), then index 3 of 3
    tail.Bit(0);
    tail.Bits(3, 2);
    // The sets end on a bit boundary: 255 empty counts plus one of 3 and
    // three bytes is 6 * 256 + 24 bits, a whole number of bytes.
    b.insert(b.end(), tail.bytes.begin(), tail.bytes.end());
    return b;
}

TEST_F(LegacyZipTest, DamagedDataShowsTheBoxThenTheCrcWarning) {
    const DamagedMember cases[] = {
        {"implode_tree", 6, 0, OverSubscribedTrees(), ecode::BadBlock, ""},
        {"shrink_code", 1, 0, Codes9({65, 66, 300}), ecode::BadCode, "AB"},
        {"shrink_stack", 1, 0, Codes9({65, 66, 257, 256, 2, 67, 257}), ecode::StackOverflow,
         "ABABC"},
        {"reduce_index", 3, 0, ReduceIndexPastSet(), ecode::BadBlock, ""},
    };
    for (const DamagedMember& c : cases) {
        SCOPED_TRACE(c.name);
        test::TestMember m = test::Member(std::string(c.name) + ".TXT", "The data as it was.");
        m.method = c.method;
        m.flags = c.flags;
        m.raw = std::string(c.stream.begin(), c.stream.end());
        test::ZipBuilder b;
        b.Add(m);
        TUnZIP z;
        test::EventLog log;
        Prepare(z, log, Write(b), "*.*", c.name);
        z.Extract();
        const std::string file = m.name;
        EXPECT_EQ(log.lines, (std::vector<std::string>{"Activate", "Begin " + file + " 1", "Box",
                                                       "Error 25117 " + file,
                                                       "End " + file + " fail", "Deactivate"}));
        ASSERT_EQ(log.boxes.size(), 1u);
        EXPECT_EQ(log.boxes[0], ErrorText(c.code));
        EXPECT_EQ(test::ReadFile(Path(c.name) / file), c.written);
    }
    // The text the user sees for a corrupt Implode tree.
    EXPECT_EQ(ErrorText(ecode::BadBlock), "Fehlerhafter Block");
}

// The second member's first match reaches before its start: zeros, not
// bytes of the member before.
TEST_F(LegacyZipTest, EachMemberStartsWithAnEmptyWindow) {
    test::ReduceTestEncoder reduce;
    test::ReduceLayer fill(1), reach(1);
    fill.Text("X");
    for (int i = 0; i < 20; ++i) fill.Match(1, 150);
    reach.Match(100, 10).Text("!");
    // Both Implode streams start with the same trees.
    test::ImplodeTestStream f(false, false, test::SfTestTree(test::UnevenLengths(64)),
                              test::SfTestTree(test::UnevenLengths(64)),
                              test::SfTestTree(test::UnevenLengths(64)));
    test::ImplodeTestStream r = f;
    f.Text("X");
    for (int i = 0; i < 20; ++i) f.Match(1, 150);
    r.Match(100, 10).Text("!");

    auto member = [](const std::string& name, std::uint16_t method, const test::Bytes& stream,
                     const std::string& data) {
        test::TestMember m = test::Member(name, data);
        m.method = method;
        m.raw = std::string(stream.begin(), stream.end());
        return m;
    };
    const std::string zeros(10, '\0');
    test::ZipBuilder b;
    b.Add(member("R1.BIN", 2, reduce.Encode(fill.bytes), std::string(3001, 'X')))
        .Add(member("R2.BIN", 2, reduce.Encode(reach.bytes), zeros + "!"))
        .Add(member("I1.BIN", 6, f.out.bytes, std::string(3001, 'X')))
        .Add(member("I2.BIN", 6, r.out.bytes, zeros + "!"));
    TUnZIP z;
    test::EventLog log;
    Prepare(z, log, Write(b), "*.*", "out");
    z.Extract();
    EXPECT_TRUE(log.codes.empty());
    EXPECT_EQ(test::ReadFile(Path("out/R2.BIN")), zeros + "!");
    EXPECT_EQ(test::ReadFile(Path("out/I2.BIN")), zeros + "!");
    EXPECT_EQ(test::ReadFile(Path("out/I1.BIN")), std::string(3001, 'X'));
}

}  // namespace
}  // namespace lumora::archive
