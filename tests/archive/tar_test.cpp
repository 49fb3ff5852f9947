// The TAR reader: the corpus archives against GNU tar, FileSpec and the
// stop after the first match, header positions, names that try to leave the
// extraction folder, folders, damaged sizes and the byte limit.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "archive/error_codes.h"
#include "archive/reader_factory.h"
#include "archive/un_tar.h"
#include "archive_test_support.h"
#include "corpus_manifest.h"
#include "tar_builder.h"

namespace lumora::archive {
namespace {

namespace fs = std::filesystem;
using test::TarFile;

class TarTest : public test::TempDirTest {
protected:
    void SetUp() override {
        test::TempDirTest::SetUp();
        log_.Attach(tar_);
    }
    // Extracts `archive` with `spec`; the code of an E_RAISE that left
    // Extract, or 0.
    int Extract(const fs::path& archive, const std::string& spec, const std::string& dir,
                bool storedDirs = false) {
        tar_.UseStoredDirs = storedDirs;
        tar_.SetArchiveFile(archive.string());
        tar_.SetExtractDir(Path(dir).string());
        tar_.SetFileSpec(spec);
        try {
            tar_.Extract();
        } catch (const E_RAISE& e) {
            return e.Code();
        }
        return 0;
    }
    int ExtractBuilt(const std::vector<test::TarEntry>& entries, const std::string& spec,
                     bool storedDirs = false) {
        const fs::path p = Path("in/TEST.TAR");
        test::WriteFile(p, test::BuildTar(entries));
        return Extract(p, spec, "out", storedDirs);
    }
    std::string Out(const std::string& rel) { return test::ReadFile(Path("out") / rel); }

    TUnTAR tar_;
    test::EventLog log_;
};

TEST_F(TarTest, CorpusDescriptionsAndMembersMatchGnuTar) {
    LUMORA_REQUIRE_CORPUS();
    const bool haveTar = std::system("tar --version >/dev/null 2>&1") == 0;
    int described = 0;
    int compared = 0;
    for (const test::CorpusRow& r : test::CorpusRowsOf({"tar"})) {
        SCOPED_TRACE(r.path);
        const fs::path archive = test::CorpusDir() / r.path;
        if (!r.descSha.empty()) {
            TUnTAR t;
            test::EventLog log;
            log.Attach(t);
            t.SetArchiveFile(archive.string());
            t.SetExtractDir(Path("desc").string());
            t.SetFileSpec(r.descMember);
            t.Extract();
            EXPECT_TRUE(log.codes.empty());
            const std::string name = fs::path(r.descMember).filename();
            EXPECT_EQ(test::ReadFile(Path("desc") / name),
                      test::ReadFile(test::CorpusDir() / "expected" / r.path / name));
            fs::remove(Path("desc") / name);
            ++described;
        }
        ASSERT_EQ(Extract(archive, "*.*", r.path, true), 0);
        EXPECT_TRUE(log_.codes.empty());
        if (!haveTar) continue;
        const fs::path gnu = Path("gnu") / r.path;
        fs::create_directories(gnu);
        ASSERT_EQ(
            std::system(("tar -xf '" + archive.string() + "' -C '" + gnu.string() + "' 2>/dev/null")
                            .c_str()),
            0);
        // Names longer than the header's 100 bytes come out cut, as stored there.
        for (const std::string& member : test::SplitText(r.members, '|')) {
            if (member.empty() || member.back() == '/' || member.size() > 100 ||
                !fs::exists(gnu / member)) {
                continue;
            }
            EXPECT_EQ(test::ReadFile(Path(r.path) / member), test::ReadFile(gnu / member))
                << member;
            ++compared;
        }
    }
    EXPECT_GE(described, 5);
    if (haveTar) {
        EXPECT_GE(compared, 20);
    }
}

TEST_F(TarTest, FileSpecWithoutStarStopsAfterTheFirstMatch) {
    const std::vector<test::TarEntry> entries = {
        TarFile("README.TXT", "readme"), TarFile("FILE_ID.DIZ", "first"),
        TarFile("FILE_ID.DIZ", "second"), TarFile("OTHER.DIZ", "other")};
    EXPECT_EQ(ExtractBuilt(entries, "FILE_ID.DIZ"), 0);
    EXPECT_EQ(log_.lines, (std::vector<std::string>{"Activate", "Begin FILE_ID.DIZ 1",
                                                    "End FILE_ID.DIZ pass", "Deactivate"}));
    EXPECT_EQ(Out("FILE_ID.DIZ"), "first");
    log_.lines.clear();
    EXPECT_EQ(ExtractBuilt(entries, "*.DIZ"), 0);
    EXPECT_EQ(log_.lines,
              (std::vector<std::string>{"Activate", "Begin FILE_ID.DIZ 1", "End FILE_ID.DIZ pass",
                                        "Begin FILE_ID.DIZ 2", "End FILE_ID.DIZ pass",
                                        "Begin OTHER.DIZ 3", "End OTHER.DIZ pass", "Deactivate"}));
    EXPECT_EQ(Out("FILE_ID.DIZ"), "second");
    EXPECT_EQ(tar_.ExtractedCount(), 3);
}

TEST_F(TarTest, LeadingSlashAndDriveDoNotTakePartInMatching) {
    struct Case {
        const char* stored;
        const char* spec;
        bool match;
    };
    const Case cases[] = {
        {"/usr/doc/a.txt", "usr\\doc\\a.txt", true},
        {"/usr/doc/a.txt", "\\usr\\doc\\a.txt", true},
        {"usr/doc/a.txt", "C:\\usr\\doc\\a.txt", true},
        {"C:/usr/doc/a.txt", "usr/doc/a.txt", true},
        {"/usr/doc/a.txt", "a.txt", false},  // the whole path is compared
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.stored) + " / " + c.spec);
        fs::remove_all(Path("out"));
        EXPECT_EQ(ExtractBuilt({TarFile(c.stored, "A")}, c.spec), 0);
        EXPECT_EQ(fs::exists(Path("out/a.txt")), c.match);
    }
}

// Data is padded to whole blocks: a 1-byte member's successor starts 1024
// bytes after its header; long-name and pax records are passed over with
// their data, even when that data looks like a header.
TEST_F(TarTest, HeadersFollowTheirPaddedData) {
    const std::string fakeHeader = test::TarHeaderBlock(TarFile("FAKE.TXT", ""));
    std::vector<test::TarEntry> entries = {
        TarFile("ONE.TXT", "1"),
        TarFile("././@LongLink", std::string(512, 'L') + fakeHeader, 'L'),
        TarFile("LONGNAM", "long"),
        TarFile("PaxHeaders/X", fakeHeader, 'x'),
        TarFile("GLOBAL", fakeHeader, 'g'),
        TarFile("TWO.TXT", "22"),
    };
    const std::string bytes = test::BuildTar(entries);
    ASSERT_EQ(bytes.substr(1024, 7), "././@Lo");
    EXPECT_EQ(ExtractBuilt(entries, "*.*"), 0);
    EXPECT_EQ(test::FilesBelow(Path("out")),
              (std::vector<std::string>{"LONGNAM", "ONE.TXT", "TWO.TXT"}));
    EXPECT_EQ(Out("ONE.TXT"), "1");
    EXPECT_EQ(Out("TWO.TXT"), "22");
}

TEST_F(TarTest, NamesEndAtTheirFirstZeroByteAndLoseOuterBlanks) {
    EXPECT_EQ(
        ExtractBuilt({TarFile(std::string("A.TXT\0junk", 10), "a"), TarFile("  B.TXT \x01", "b")},
                     "*.*"),
        0);
    EXPECT_EQ(test::FilesBelow(Path("out")), (std::vector<std::string>{"A.TXT", "B.TXT"}));
}

TEST_F(TarTest, NothingLandsOutsideTheExtractionFolder) {
    const std::vector<test::TarEntry> entries = {
        TarFile("../../evil.txt", "1"),   TarFile("/etc/passwd.txt", "2"),
        TarFile("C:\\WIN\\sys.txt", "3"), TarFile("a/../../b/c.txt", "4"),
        TarFile("../up/", "", '5'),       TarFile("sub/", "", '5'),
    };
    EXPECT_EQ(ExtractBuilt(entries, "*.*", true), 0);
    EXPECT_TRUE(log_.codes.empty());
    EXPECT_EQ(test::FilesBelow(Path("out")),
              (std::vector<std::string>{"WIN/sys.txt", "a/b/c.txt", "etc/passwd.txt", "evil.txt"}));
    EXPECT_TRUE(fs::is_directory(Path("out/up")));
    EXPECT_TRUE(fs::is_directory(Path("out/sub")));
    EXPECT_EQ(test::FilesBelow(Path("in")), (std::vector<std::string>{"TEST.TAR"}));
    EXPECT_FALSE(fs::exists(root_.parent_path() / "evil.txt"));
    // Without stored folders no folder is made at all.
    fs::remove_all(Path("out"));
    EXPECT_EQ(ExtractBuilt({TarFile("sub/", "", '5'), TarFile("sub/x.txt", "x")}, "*.*"), 0);
    EXPECT_EQ(test::FilesBelow(Path("out")), (std::vector<std::string>{"x.txt"}));
}

// A size that would wrap a 32-bit position ends the walk at once.
TEST_F(TarTest, SizesBeyondTheFileEndTheWalk) {
    test::TarEntry huge = TarFile("HUGE.BIN", "abc");
    huge.sizeField = std::string("37777776000") + '\0';
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ExtractBuilt({TarFile("A.TXT", "a"), huge, TarFile("B.TXT", "b")}, "B.TXT"),
              ecode::BadFileHeader);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(log_.lines.back(), "Deactivate");
    EXPECT_FALSE(fs::exists(Path("out/B.TXT")));
    // A matching member whose data runs past the end: what is there, 25135,
    // OnEnd, and the error leaves Extract.
    log_.lines.clear();
    EXPECT_EQ(ExtractBuilt({TarFile("A.TXT", "a"), huge}, "*.*"), ecode::ReadError);
    EXPECT_EQ(log_.lines, (std::vector<std::string>{"Activate", "Begin A.TXT 1", "End A.TXT pass",
                                                    "Begin HUGE.BIN 2", "Error 25135 HUGE.BIN",
                                                    "End HUGE.BIN pass", "Deactivate"}));
    EXPECT_EQ(Out("HUGE.BIN").substr(0, 3), "abc");
    EXPECT_LT(Out("HUGE.BIN").size(), 4096u);
}

TEST_F(TarTest, FailuresLeaveExtract) {
    test::WriteFile(Path("in/NOT.TAR"), std::string(2000, 'x'));
    EXPECT_EQ(Extract(Path("in/NOT.TAR"), "*.*", "out"), ecode::BadArchive);
    EXPECT_EQ(log_.lines, (std::vector<std::string>{"Error 25139 NOT.TAR", "Deactivate"}));
    // The output file cannot be made: a folder of that name is in the way
    // and cannot be removed.
    log_.lines.clear();
    fs::create_directories(Path("out/A.TXT/keep"));
    EXPECT_EQ(ExtractBuilt({TarFile("A.TXT", "a")}, "*.*"), ecode::OpenError);
    EXPECT_EQ(log_.lines, (std::vector<std::string>{"Activate", "Begin A.TXT 1",
                                                    "Error 25134 A.TXT", "Deactivate"}));
}

TEST_F(TarTest, OutputStopsAtTheByteLimitAndSkippedMembersEnd) {
    tar_.MaxOutputBytes = 1000;
    tar_.OnBegin = [](TZipCommon&, const std::string& fn, int, bool& extract) {
        extract = fs::path(fn).filename() != "SKIP.TXT";
    };
    EXPECT_EQ(
        ExtractBuilt({TarFile("SKIP.TXT", "s"), TarFile("BIG.TXT", std::string(5000, 'b'))}, "*.*"),
        0);
    EXPECT_EQ(Out("BIG.TXT"), std::string(1000, 'b'));
    EXPECT_FALSE(fs::exists(Path("out/SKIP.TXT")));
    EXPECT_EQ(tar_.ExtractedCount(), 1);
}

TEST_F(TarTest, ReaderTableKnowsTar) {
    EXPECT_NE(dynamic_cast<TUnTAR*>(MakeReader(atTAR).get()), nullptr);
}

}  // namespace
}  // namespace lumora::archive
