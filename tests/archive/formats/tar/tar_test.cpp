// The TAR reader: the corpus archives against GNU tar, FileSpec and the
// stop after the first match, header positions, names, damaged sizes and
// failures that leave Extract.
#include <gtest/gtest.h>

#include <chrono>

#include "archive/archive_test_support.h"
#include "archive/corpus_manifest.h"
#include "archive/formats/tar/tar_header.h"
#include "archive/formats/tar/un_tar.h"
#include "support/builders/tar_builder.h"

namespace lumora::archive::test {
namespace {

using Lines = std::vector<std::string>;

class TarTest : public ReaderTest {
protected:
    void ExtractTar(const fs::path& archive, const std::string& spec = "*.*") {
        TUnTAR tar;
        Run(tar, archive, spec);
    }
    void ExtractTar(const std::vector<TarEntry>& entries, const std::string& spec = "*.*") {
        ExtractTar(Write("in/TEST.TAR", TarArchive(entries)), spec);
    }
};

// The descriptions match the expected bytes, and every member (names up to
// the header's 100 bytes) matches what GNU tar extracts.
TEST_F(TarTest, CorpusDescriptionsAndMembersMatchGnuTar) {
    LUMORA_REQUIRE_CORPUS();
    const bool haveTar = Shell("tar --version");
    int described = 0, compared = 0;
    storedDirs = true;
    for (const CorpusRow& r : CorpusRowsOf({"tar"})) {
        SCOPED_TRACE(r.path);
        const fs::path archive = CorpusDir() / r.path;
        if (!r.descSha.empty()) {
            Reset();
            storedDirs = false;
            ExtractTar(archive, r.descMember);
            EXPECT_TRUE(log.codes.empty());
            const std::string name = fs::path(r.descMember).filename();
            EXPECT_EQ(Out(name), ReadFile(CorpusDir() / "expected" / r.path / name));
            storedDirs = true;
            ++described;
        }
        Reset();
        ExtractTar(archive);
        EXPECT_EQ(thrown, 0);
        EXPECT_TRUE(log.codes.empty());
        if (!haveTar) continue;
        const fs::path gnu = Path("gnu");
        fs::remove_all(gnu);
        fs::create_directories(gnu);
        ASSERT_TRUE(Shell("tar -xf '" + archive.string() + "' -C '" + gnu.string() + "'"));
        for (const std::string& member : SplitText(r.members, '|')) {
            if (member.empty() || member.back() == '/' || member.size() > 100 ||
                !fs::exists(gnu / member)) {
                continue;
            }
            EXPECT_EQ(Out(member), ReadFile(gnu / member)) << member;
            ++compared;
        }
    }
    EXPECT_GE(described, 5);
    if (haveTar) {
        EXPECT_GE(compared, 20);
    }
}

// A FileSpec without wildcards ends the walk after the first match; with
// them every match is extracted.
TEST_F(TarTest, FileSpecWithoutStarStopsAfterTheFirstMatch) {
    const std::vector<TarEntry> entries = {
        TarFile("README.TXT", "readme"), TarFile("FILE_ID.DIZ", "first"),
        TarFile("FILE_ID.DIZ", "second"), TarFile("OTHER.DIZ", "other")};
    ExtractTar(entries, "FILE_ID.DIZ");
    EXPECT_EQ(log.lines,
              (Lines{"Activate", "Begin FILE_ID.DIZ 1", "End FILE_ID.DIZ pass", "Deactivate"}));
    EXPECT_EQ(Out("FILE_ID.DIZ"), "first");
    ExtractTar(entries, "*.DIZ");
    EXPECT_EQ(log.lines, (Lines{"Activate", "Begin FILE_ID.DIZ 1", "End FILE_ID.DIZ pass",
                                "Begin FILE_ID.DIZ 2", "End FILE_ID.DIZ pass", "Begin OTHER.DIZ 3",
                                "End OTHER.DIZ pass", "Deactivate"}));
    EXPECT_EQ(Out("FILE_ID.DIZ"), "second");
    EXPECT_EQ(extracted, 3);
}

// A leading slash or drive takes no part in matching; the whole path does.
TEST_F(TarTest, LeadingSlashAndDriveDoNotTakePartInMatching) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"/usr/doc/a.txt", "usr\\doc\\a.txt", true},
        {"/usr/doc/a.txt", "\\usr\\doc\\a.txt", true},
        {"usr/doc/a.txt", "C:\\usr\\doc\\a.txt", true},
        {"C:/usr/doc/a.txt", "usr/doc/a.txt", true},
        {"/usr/doc/a.txt", "a.txt", false},
    };
    for (const auto& [stored, spec, match] : cases) {
        SCOPED_TRACE(std::string(stored) + " / " + spec);
        Reset();
        ExtractTar({TarFile(stored, "A")}, spec);
        EXPECT_EQ(fs::exists(Path("out/a.txt")), match);
    }
}

// Data is padded to whole blocks; long-name and pax records are passed over
// with their data, even when it looks like a header (the long name, cut at
// its zero byte, is the next member's own); names end at their
// first zero byte and lose outer blanks; without stored folders a folder
// entry makes nothing.
TEST_F(TarTest, HeadersFollowTheirPaddedData) {
    const std::string fakeHeader = TarHeaderBlock(TarFile("FAKE.TXT", ""));
    const std::vector<TarEntry> entries = {
        TarFile("ONE.TXT", "1"),
        TarFile("././@LongLink", std::string("LONGNAM", 8) + std::string(504, 'L') + fakeHeader,
                'L'),
        TarFile("LONGNAM", "long"),
        TarFile("PaxHeaders/X", fakeHeader, 'x'),
        TarFile("GLOBAL", fakeHeader, 'g'),
        TarFile("sub/", "", '5'),
        TarFile(std::string("TWO.TXT\0junk", 12), "22"),
        TarFile("  B.TXT \x01", "b"),
    };
    ASSERT_EQ(TarArchive(entries).substr(1024, 7), "././@Lo");
    ExtractTar(entries);
    EXPECT_EQ(thrown, 0);
    EXPECT_EQ(OutFiles(), (Lines{"B.TXT", "LONGNAM", "ONE.TXT", "TWO.TXT"}));
    EXPECT_EQ(Out("ONE.TXT"), "1");
    EXPECT_EQ(Out("TWO.TXT"), "22");
    EXPECT_FALSE(fs::exists(Path("out/sub")));
    // With stored folders, folder entries are made, parent steps dropped.
    storedDirs = true;
    ExtractTar({TarFile("../up/", "", '5'), TarFile("sub/", "", '5')});
    EXPECT_TRUE(fs::is_directory(Path("out/up")));
    EXPECT_TRUE(fs::is_directory(Path("out/sub")));
}

// A size that would wrap a 32-bit position ends the walk at once; a
// matching member whose data runs past the end keeps what is there, and
// the read error leaves Extract.
TEST_F(TarTest, SizesBeyondTheFileEndTheWalk) {
    TarEntry huge = TarFile("HUGE.BIN", "abc");
    huge.sizeField = std::string("37777776000") + '\0';
    const auto start = std::chrono::steady_clock::now();
    ExtractTar({TarFile("A.TXT", "a"), huge, TarFile("B.TXT", "b")}, "B.TXT");
    EXPECT_EQ(thrown, ecode::BadFileHeader);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(log.lines.back(), "Deactivate");
    EXPECT_FALSE(fs::exists(Path("out/B.TXT")));
    ExtractTar({TarFile("A.TXT", "a"), huge});
    EXPECT_EQ(thrown, ecode::ReadError);
    EXPECT_EQ(log.lines, (Lines{"Activate", "Begin A.TXT 1", "End A.TXT pass", "Begin HUGE.BIN 2",
                                "Error 25135 HUGE.BIN", "End HUGE.BIN pass", "Deactivate"}));
    EXPECT_EQ(Out("HUGE.BIN").substr(0, 3), "abc");
    EXPECT_LT(Out("HUGE.BIN").size(), 4096u);
}

// One header block as the lister and the reader read it: Ok with its fields,
// End for an end block (no name, or blanks only), Bad when cut short.
TEST(TarHeaderTest, BlockFields) {
    TarEntry big = TarFile(" BIG.BIN ", "");
    big.sizeField = std::string("\x80\0\0\0\0\0\0\x01\0\0\0\0", 12);  // base-256: 2^32
    std::string prefixed = TarHeaderBlock(TarFile("FILE_ID.DIZ", "abc"));
    prefixed.replace(345, 4, "GAME");
    std::string noMagic = prefixed;
    noMagic.replace(257, 6, std::string(6, '\0'));
    struct Case {
        const char* name;
        std::string block;
        HeaderResult result;
        std::string fullName;
        std::uint64_t size;
    };
    const Case cases[] = {
        {"plain", TarHeaderBlock(TarFile("A.TXT", "hello", '0')), HeaderResult::Ok, "A.TXT", 5},
        {"trimmed, base-256 size", TarHeaderBlock(big), HeaderResult::Ok, "BIG.BIN", 1ull << 32},
        {"ustar prefix", prefixed, HeaderResult::Ok, "GAME/FILE_ID.DIZ", 3},
        {"prefix without the magic", noMagic, HeaderResult::Ok, "FILE_ID.DIZ", 3},
        {"end block", std::string(512, '\0'), HeaderResult::End, "", 0},
        {"blank name", TarHeaderBlock(TarFile("   ", "x")), HeaderResult::End, "", 0},
        {"cut short", TarHeaderBlock(TarFile("A.TXT", "x")).substr(0, 511), HeaderResult::Bad, "",
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TarHeader h;
        EXPECT_EQ(ParseTarHeader(c.block, h), c.result);
        if (c.result != HeaderResult::Ok) continue;
        EXPECT_EQ(TarMemberName(h, ""), c.fullName);
        EXPECT_EQ(h.size, c.size);
        EXPECT_TRUE(h.hasTime);
        EXPECT_EQ(h.unixTime, 818899200u);
        EXPECT_NE(h.checksum, 0u);
    }
}

// An output file that cannot be made (a folder of that name in the way)
// ends the run with the error leaving Extract.
TEST_F(TarTest, OutputThatCannotBeMadeLeavesExtract) {
    fs::create_directories(Path("out/A.TXT/keep"));
    ExtractTar({TarFile("A.TXT", "a")});
    EXPECT_EQ(thrown, ecode::OpenError);
    EXPECT_EQ(log.lines, (Lines{"Activate", "Begin A.TXT 1", "Error 25134 A.TXT", "Deactivate"}));
}

}  // namespace
}  // namespace lumora::archive::test
