// lumora-cli type and extract, run as a separate program.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "cli/cli_runner.h"
#include "support/builders/cab_builder.h"
#include "support/builders/zip_builder.h"
#include "support/corpus.h"
#include "support/sha256.h"

namespace lumora {
namespace {

using archive::test::Member;
using test::ReadAll;
using ::testing::HasSubstr;

const std::string kSamples = LUMORA_SAMPLES_DIR;
const std::string kCorpus = test::CorpusDir().string();

class CliArchiveTest : public test::CliTest {
protected:
    CliArchiveTest() {
        auto secret = Member("DOC/SECRET.TXT", "hidden", 8);
        secret.password = "BBS1995";
        work.Write(
            "A.ZIP",
            archive::test::ZipBuilder().Add(Member("FILE_ID.DIZ", "desc")).Add(secret).Build());
        auto bad = Member("BAD.TXT", "data");
        bad.crc = 1;
        work.Write("B.ZIP", archive::test::ZipBuilder().Add(bad).Build());
        work.Write("N.TXT", "plain text file");
    }

    struct ExtractRow {
        std::string args;
        int status;
        const char* failed;  // the member named in the "failed" line
        const char* gone;    // a file that must not be there
        const char* kept;    // a file that must be there
    };
    void CheckExtracts(const std::vector<ExtractRow>& rows) {
        for (const auto& r : rows) {
            const test::RunResult got = Run(r.args);
            EXPECT_EQ(got.status, r.status) << r.args << ": " << got.err;
            const std::string line =
                r.failed ? std::string("lumora-cli: failed: ") + r.failed + "\n" : "";
            EXPECT_THAT(got.err, HasSubstr(line)) << r.args;
            EXPECT_FALSE(r.gone && test::Exists(work / r.gone)) << r.args;
            EXPECT_TRUE(!r.kept || test::Exists(work / r.kept)) << r.args;
        }
    }
};

// type names the detected type; missing files and arguments are status 2,
// and so is extract on anything it cannot open or detect.
TEST_F(CliArchiveTest, TypeAndUnusableInput) {
    const struct {
        const char* args;
        int status;
        const char* out;
    } rows[] = {
        {"type A.ZIP", 0, "atZIP\n"},
        {"type N.TXT", 0, "atUnknown\n"},
        {"type missing.zip", 2, "atFileError\n"},
        {"type A.ZIP N.TXT", 0, "A.ZIP\tatZIP\nN.TXT\tatUnknown\n"},
        {"type missing.zip A.ZIP", 2, "missing.zip\tatFileError\nA.ZIP\tatZIP\n"},
        {"type", 2, ""},
        {"extract missing.zip", 2, ""},
        {"extract N.TXT", 2, ""},
        {"extract", 2, ""},
    };
    for (const auto& r : rows) {
        const test::RunResult got = Run(r.args);
        EXPECT_EQ(got.status, r.status) << r.args;
        EXPECT_EQ(got.out, r.out) << r.args;
    }
}

// Name patterns pick members, --stored-dirs keeps folders, passwords are tried in
// turn; reports are UTF-8 lines on stderr, and a member that needs a
// password nobody gave or fails its CRC ends the run with status 1.
TEST_F(CliArchiveTest, ExtractWithPatternsFoldersAndPasswords) {
    const struct {
        const char* args;
        int status;
        std::string err;  // a part of stderr
        const char* file;
        const char* bytes;
    } rows[] = {
        {"extract A.ZIP -d out FILE_ID.DIZ", 0, "", "out/FILE_ID.DIZ", "desc"},
        {"extract A.ZIP -d out2 --stored-dirs --password wrong --password BBS1995", 0, "",
         "out2/DOC/SECRET.TXT", "hidden"},
        {"extract A.ZIP -d out3 '*.EXE'", 1, "26999 Leeres Archiv ?! A.ZIP\n", nullptr, nullptr},
        {"extract A.ZIP -d out4 'DOC\\*'", 1, "25170 Event nicht zugewiesen SECRET.TXT", nullptr,
         nullptr},
        {"extract B.ZIP -d out5", 1,
         "25117 Fehler bei der CRC \xC3\x9C"
         "berpr\xC3\xBC"
         "fung BAD.TXT\n",
         nullptr, nullptr},
    };
    for (const auto& r : rows) {
        const test::RunResult got = Run(r.args);
        EXPECT_EQ(got.status, r.status) << r.args << ": " << got.err;
        EXPECT_THAT(got.err, HasSubstr(r.err)) << r.args;
        if (r.file) {
            EXPECT_EQ(ReadAll(work / r.file), r.bytes) << r.args;
        }
    }
}

// A member whose data failed makes the status 1 and is listed on stderr;
// the file it began is removed unless --keep-broken is given, while the good
// members stay, also one written later under the same name.
TEST_F(CliArchiveTest, FailedMembersAreListedAndTheirFilesRemoved) {
    auto bad = Member("X.TXT", "broken");
    bad.crc = 1;
    work.Write("D.ZIP", archive::test::ZipBuilder().Add(bad).Add(Member("X.TXT", "good")).Build());
    CheckExtracts({
        {"extract B.ZIP -d b1", 1, "BAD.TXT", "b1/BAD.TXT", nullptr},
        {"extract B.ZIP -d b2 --keep-broken", 1, "BAD.TXT", nullptr, "b2/BAD.TXT"},
        {"extract A.ZIP -d a1", 1, "SECRET.TXT", "a1/SECRET.TXT", "a1/FILE_ID.DIZ"},
        {"extract D.ZIP -d d1", 1, "X.TXT", nullptr, "d1/X.TXT"},
    });
    EXPECT_EQ(ReadAll(work / "d1/X.TXT"), "good");
}

// Damaged corpus archives: a broken deflate stream, a volume set with its
// last part missing (the member spanning it fails, the others are written)
// and an archive cut short before its directory.
TEST_F(CliArchiveTest, CorpusDamagedArchivesGiveTheirStatus) {
    LUMORA_REQUIRE_CORPUS();
    const std::string arj = kCorpus + "/arj/";
    const std::string copy =
        "cp '" + arj + "MULTI.ARJ' '" + arj + "MULTI.A01' '" + work.path() + "'";
    ASSERT_EQ(std::system(copy.c_str()), 0);
    CheckExtracts({
        {"extract '" + kCorpus + "/misc/BADDEFL.ZIP' -d z", 1, "FILE_ID.DIZ", "z/FILE_ID.DIZ",
         "z/README.TXT"},
        {"extract MULTI.ARJ -d m", 1, "BIG.DAT", "m/BIG.DAT", "m/README.TXT"},
        {"extract '" + arj + "MULTI.ARJ' -d full", 0, nullptr, nullptr, "full/BIG.DAT"},
        {"extract '" + kCorpus + "/misc/TRUNC.ZIP' -d t", 2, nullptr, nullptr, nullptr},
    });
    EXPECT_EQ(ReadAll(work / "full/BIG.DAT").size(), 150000u);
}

// extract reaches the ARC reader.
TEST_F(CliArchiveTest, ExtractReachesTheArcReader) {
    EXPECT_EQ(Run("extract '" + kSamples + "/DOCS.ARC' -d arc FILE_ID.DIZ").status, 0);
    EXPECT_THAT(ReadAll(work / "arc/FILE_ID.DIZ"), HasSubstr("DOCS.ARC"));
}

// extract reaches the CAB reader, which follows a cabinet set from its
// first part.
TEST_F(CliArchiveTest, ExtractFollowsACorpusCabinetSet) {
    LUMORA_REQUIRE_CORPUS();
    EXPECT_EQ(Run("extract '" + kCorpus + "/cab/split-1.cab' -d set").status, 0);
    EXPECT_EQ(ReadAll(work / "set/medium2.bin").size(), 50000u);
}

// A cabinet name flagged UTF-8 is the same name to contents, extract (its
// pattern given in UTF-8), desc and scan.
TEST_F(CliArchiveTest, CabinetNameFlaggedUtf8) {
    archive::cabarc::CabSpec cab;
    cab.folders = {archive::cabarc::StoredFolder("Umlaute\r\n")};
    cab.files = {{"\xC3\x84rger.txt", 9, 0, 0, 0xA0}};
    work.Write("U.CAB", archive::cabarc::BuildCab(cab));
    EXPECT_THAT(Run("contents U.CAB").out, HasSubstr("\n\xC3\x84rger.txt\t9\t"));
    EXPECT_EQ(Run("extract U.CAB -d out '\xC3\x84rger.txt'").status, 0);
    EXPECT_EQ(ReadAll(work / "out/\xC3\x84rger.txt"), "Umlaute\r\n");
    EXPECT_EQ(Run("desc U.CAB --info-files '\xC3\x84rger.txt'").out, "Umlaute\r\n");
    EXPECT_EQ(Run("scan -o list.txt --info-files '\xC3\x84rger.txt' U.CAB").status, 0);
    EXPECT_THAT(ReadAll(work / "list.txt"), HasSubstr(" Umlaute"));
}

// compress files name their method as unsupported, so the member failed
// and the empty file the reader began is removed; a whole TAR keeps its
// folders with --stored-dirs.
TEST_F(CliArchiveTest, CorpusCompressFilesAndWholeTar) {
    LUMORA_REQUIRE_CORPUS();
    test::RunResult r = Run("extract '" + kCorpus + "/gzip/README.Z' -d z");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "Hinweis: Nicht unterst\xC3\xBCtzte Kompressionsmethode\n"
              "lumora-cli: failed: README\n");
    EXPECT_FALSE(test::Exists(work / "z/README"));

    r = Run("extract '" + kCorpus + "/tar/GAME1.TAR' -d all --stored-dirs");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadAll(work / "all/FILE_ID.DIZ"),
              ReadAll(kCorpus + "/expected/tar/GAME1.TAR/FILE_ID.DIZ"));
    EXPECT_TRUE(test::Exists(work / "all/DATA/LEVELS.DAT"));
}

// extract reaches the RAR reader: stored folders recreated, the link not
// written, encrypted members failed with their code.
TEST_F(CliArchiveTest, CorpusRarExtract) {
    LUMORA_REQUIRE_CORPUS();
    test::RunResult r = Run("extract '" + kCorpus + "/rar/LA_RAR.RAR' -d all --stored-dirs");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadAll(work / "all/testdir/test.txt"), ReadAll(work / "all/test.txt"));
    EXPECT_EQ(ReadAll(work / "all/test.txt").size(), 20u);
    EXPECT_TRUE(test::Exists(work / "all/testemptydir"));
    EXPECT_FALSE(test::Exists(work / "all/testlink"));
    r = Run("extract '" + kCorpus + "/rar/LA_ENCR.RAR' -d enc foo.txt");
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("25190 Passwortgesch\xC3\xBCtzte Datei foo.txt\n"));

    // Unicode names that Windows-1252 cannot hold: every file is written,
    // under the name the lister shows (the stored plain name's bytes).
    const std::string unicode = "'" + kCorpus + "/rar/LA_UNIC.RAR'";
    r = Run("extract " + unicode + " -d uni --stored-dirs");
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string listed = Run("contents " + unicode).out;
    std::multiset<std::string> sums;
    for (const auto& e : std::filesystem::recursive_directory_iterator(work / "uni")) {
        if (!e.is_regular_file()) continue;
        sums.insert(test::Sha256Hex(ReadAll(e.path().string())));
        std::string name = std::filesystem::relative(e.path(), work / "uni").string();
        std::replace(name.begin(), name.end(), '/', '\\');
        EXPECT_THAT(listed, HasSubstr("\n" + name + "\t"));
    }
    EXPECT_EQ(sums, (std::multiset<std::string>{
                        "84674f2bcd7325f909505e1532c6a07fdd33d441168618f5aa24f8346f6bec6e",
                        "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855",
                        "7faabe854be71defacd1fd3b0403f2c54f446dd60a46db60b7d823cf988a6deb"}));
}

}  // namespace
}  // namespace lumora
