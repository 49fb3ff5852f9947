// The ARJ reader: the corpus archives against the expected bytes and arj
// itself, members split over volumes, the header search, the member checks,
// FileSpec with and without wildcards, CRC results and hostile headers.
#include <gtest/gtest.h>

#include "archive/archive_test_support.h"
#include "archive/formats/arj/arj_header.h"
#include "archive/formats/arj/un_arj.h"
#include "support/builders/arj_builder.h"

namespace lumora::archive::test {
namespace {

using Lines = std::vector<std::string>;
using Codes = std::vector<int>;

class ArjReaderTest : public ReaderTest {};

// Every corpus archive (volumes, comments, an SFX) extracts as arj does; a
// garbled archive ends the run at once.
TEST_F(ArjReaderTest, CorpusArchivesExtractAsArjDoes) {
    LUMORA_REQUIRE_CORPUS();
    const bool haveArj = HaveTool("arj");
    for (const char* path :
         {"arj/GAME1.ARJ", "arj/GAME2.ARJ", "arj/GAME3.ARJ", "arj/GAME4.ARJ", "arj/TOOLS.ARJ",
          "arj/ARJCMT.ARJ", "arj/DOCONLY.ARJ", "arj/ARJ020B.ARJ", "arj/MULTI.ARJ",
          "arj/LASTVOL.ARJ", "sfx/ARJSFX.EXE", "arj/CRYPT.ARJ"}) {
        SCOPED_TRACE(path);
        Reset();
        fs::remove_all(Path("arj"));
        Extract(CorpusDir() / path);
        if (fs::path(path).filename() == "CRYPT.ARJ") {
            EXPECT_EQ(log.codes, Codes{ecode::PasswordProtected});
            EXPECT_EQ(extracted, 0);
            continue;
        }
        EXPECT_EQ(log.codes, Codes{});
        const fs::path expected = CorpusDir() / "expected" / path;
        if (fs::is_directory(expected)) {
            for (const auto& want : fs::directory_iterator(expected))
                EXPECT_EQ(Out(want.path().filename()), ReadFile(want.path()));
        }
        if (!haveArj) continue;
        ASSERT_TRUE(Shell("mkdir -p '" + Path("arj").string() + "' && cd '" + Path("arj").string() +
                          "' && arj e -v -y " + (CorpusDir() / path).string()));
        EXPECT_EQ(FilesBelow(Path("arj")), OutFiles());
        for (const auto& name : FilesBelow(Path("arj")))
            EXPECT_EQ(Out(name), ReadFile(Path("arj") / name)) << name;
        EXPECT_EQ(static_cast<int>(OutFiles().size()), extracted);
    }
}

// A member split over three volumes (found whatever the case of their
// names) is written whole; the byte limit counts over the parts; each
// part's CRC is checked; a missing volume is asked for, then reported.
TEST_F(ArjReaderTest, MembersSplitOverVolumesAreWrittenWhole) {
    ArjEntry a{"BIG.DAT", std::string(300, 'a')}, b{"BIG.DAT", std::string(200, 'b')},
        c{"BIG.DAT", std::string(100, 'c')};
    a.flags = b.flags = kArjContinues;
    Write("set.arj", ArjArchive({{"FIRST.TXT", "first"}, a}, "SET.ARJ"));
    Write("set.a01", ArjArchive({b}, "SET.A01"));
    Write("Set.A02", ArjArchive({c, {"LAST.TXT", "last"}}, "SET.A02"));
    Extract(Path("set.arj"));
    EXPECT_EQ(log.codes, Codes{});
    EXPECT_EQ(Out("BIG.DAT"), a.data + b.data + c.data);
    EXPECT_EQ(Out("LAST.TXT"), "last");
    EXPECT_EQ(extracted, 3);
    limit = 350;  // reached inside the second part
    Extract(Path("set.arj"));
    EXPECT_EQ(log.codes, Codes{});
    EXPECT_EQ(Out("BIG.DAT"), a.data + b.data.substr(0, 50));
    EXPECT_EQ(Out("LAST.TXT"), "last");
    limit = 0;

    // A stored member whose middle part fails does not count: the walk goes on.
    b.crc = 1;
    Write("set.a01", ArjArchive({b}, "SET.A01"));
    Extract(Path("set.arj"), "BIG.DAT");
    EXPECT_EQ(log.codes, (Codes{ecode::FileSkipped, ecode::CrcError, ecode::FileSkipped}));
    EXPECT_EQ(Out("BIG.DAT"), a.data + b.data + c.data);

    fs::rename(Path("Set.A02"), Path("later.a02"));
    Lines reports;
    configure = [&](TUnBase& r) {
        r.OnError = [&](TZipCommon&, const std::string& fn, const std::string& volume, int code) {
            if (code != ecode::FileSkipped)
                reports.push_back(std::to_string(code) + " " + fn + " " + volume);
        };
    };
    Extract(Path("set.arj"), "LAST.TXT");
    EXPECT_EQ(reports, (Lines{"25903 set.A02 2", "25132 set.A02 2"}));
    // The handler of the question may put the volume in place.
    configure = [&](TUnBase& r) {
        r.OnError = [&](TZipCommon&, const std::string&, const std::string&, int code) {
            if (code == ecode::NextDisk) fs::rename(Path("later.a02"), Path("SET.A02"));
        };
    };
    Extract(Path("set.arj"), "LAST.TXT");
    EXPECT_EQ(Out("LAST.TXT"), "last");
}

// The header search passes over false signatures (too big, bad CRC) within
// 25000 bytes of the start or of the end of an MS-DOS image, not beyond.
TEST_F(ArjReaderTest, HeaderSearchPassesOverBadCandidatesWithinItsBounds) {
    const std::string archive = ArjArchive({{"FILE_ID.DIZ", "found"}});
    const std::string tooBig("\x60\xEA\xFF\xFF", 4);  // size above 2600
    const std::string badCrc = "\x60\xEA" + Le(40, 2) + std::string(44, 'x');
    std::string dosStub(1100, '\0');  // the DOS image ends at 1100
    dosStub.replace(0, 6, "MZ" + Le(76, 2) + Le(3, 2));
    const std::pair<std::string, bool> cases[] = {
        {tooBig + archive, true},
        {tooBig + "\x60" + badCrc + archive, true},  // overlapping pair
        {tooBig + std::string(26000, ' ') + archive, false},
        {dosStub + tooBig + std::string(24000, ' ') + archive, true},
        {dosStub + tooBig + std::string(25100, ' ') + archive, false},
    };
    for (const auto& [bytes, found] : cases) {
        SCOPED_TRACE(bytes.size());
        Reset();
        TUnARJ r;
        Run(r, Write("T.ARJ", bytes));
        EXPECT_EQ(log.codes, found ? Codes{} : Codes{ecode::BadArchive});
        EXPECT_EQ(OutFiles(), found ? Lines{"FILE_ID.DIZ"} : Lines{});
    }
}

// A garbled member, an unknown method, method 4 of a version-1 archive, a
// too new minimum version or an unknown file type end the run.
TEST_F(ArjReaderTest, MemberChecksEndTheRun) {
    ArjEntry garbled{"A.TXT", "a"}, method5{"A.TXT", "a"}, method4v1{"A.TXT", "a"},
        version4{"A.TXT", "a"}, fileType2{"A.TXT", "a"};
    garbled.flags = 0x01;
    method5.method = 5;
    method4v1.method = 4;
    method4v1.version = 1;
    version4.minVersion = 4;
    fileType2.fileType = 2;
    const std::pair<ArjEntry, int> cases[] = {{garbled, ecode::PasswordProtected},
                                              {method5, ecode::UnsupportedMethod},
                                              {method4v1, ecode::UnsupportedMethod},
                                              {version4, ecode::VersionError},
                                              {fileType2, ecode::UnknownFileType}};
    for (const auto& [entry, code] : cases) {
        SCOPED_TRACE(code);
        Extract(Write("T.ARJ", ArjArchive({entry, {"B.TXT", "b"}})));
        EXPECT_EQ(log.lines,
                  (Lines{"Activate", "Error " + std::to_string(code) + " A.TXT", "Deactivate"}));
    }
}

// A FileSpec without wildcards stops after the first member extracted (a
// failed one does not count); with wildcards every match is extracted.
TEST_F(ArjReaderTest, PlainFileSpecStopsAfterTheFirstExtractedMember) {
    ArjEntry badCrc{"A.TXT", "damaged"};
    badCrc.crc = 1;
    ArjEntry folder{"DIR"};
    folder.fileType = kArjDirectory;
    const fs::path archive = Write(
        "T.ARJ",
        ArjArchive({folder, badCrc, {"A.TXT", "first"}, {"B.TXT", "b"}, {"A.TXT", "second"}}));
    const Lines failed = {"Activate",       "Begin A.TXT 1", "Error 25117 A.TXT",
                          "End A.TXT fail", "Begin A.TXT 1", "End A.TXT pass"};
    struct Case {
        const char* spec;
        Lines tail;  // events after `failed`
        const char* content;
    };
    const Case cases[] = {
        {"A.TXT", {"Deactivate"}, "first"},
        {"?.TXT",
         {"Begin B.TXT 2", "End B.TXT pass", "Begin A.TXT 3", "End A.TXT pass", "Deactivate"},
         "second"},
        {"A*", {"Error 26900 B.TXT", "Begin A.TXT 2", "End A.TXT pass", "Deactivate"}, "second"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.spec);
        Extract(archive, c.spec);
        Lines lines = failed;
        lines.insert(lines.end(), c.tail.begin(), c.tail.end());
        EXPECT_EQ(log.lines, lines);
        EXPECT_EQ(Out("A.TXT"), c.content);
    }
}

// A compressed member with a wrong CRC is still written and counts.
TEST_F(ArjReaderTest, CompressedMemberWithWrongCrcCounts) {
    if (!HaveTool("arj")) GTEST_SKIP() << "arj not installed";
    const std::string text(5000, 'z');
    WriteFile(Path("src/A.TXT"), text);
    ASSERT_TRUE(Shell("cd '" + Path("src").string() + "' && arj a -m1 -y M.ARJ A.TXT"));
    const std::string made = ReadFile(Path("src/M.ARJ"));
    const std::size_t second = made.find("\x60\xEA", 4);  // the member's header
    const std::size_t data =
        second + 10 + (std::uint8_t(made[second + 2]) | std::uint8_t(made[second + 3]) << 8);
    ArjEntry m{"A.TXT", text};
    m.packed = made.substr(data, made.size() - data - 4);
    m.method = 1;
    m.crc = 1;
    Extract(Write("T.ARJ", ArjArchive({m, {"A.TXT", "second"}})), "A.TXT");
    EXPECT_EQ(log.codes, Codes{ecode::CrcError});
    EXPECT_EQ(Out("A.TXT"), text);
    EXPECT_EQ(extracted, 1);
}

// Data claimed past the end, a damaged header CRC, and extended headers.
TEST_F(ArjReaderTest, HostileHeaders) {
    ArjEntry past{"A.TXT", "a"}, withExt{"B.TXT", "b"};
    past.packedSize = 5000;
    withExt.ext = {"extended"};
    std::string badHeaderCrc = ArjArchive({{"A.TXT", "a"}});
    badHeaderCrc[badHeaderCrc.find("A.TXT") + 1] = 'X';
    struct Case {
        const char* what;
        std::string bytes;
        Codes codes;
        Lines files;
    };
    const Case cases[] = {
        {"data past the end",
         ArjArchive({{"GOOD.TXT", "g"}, past}),
         {ecode::BadFileHeader},
         {"GOOD.TXT"}},
        {"header CRC", badHeaderCrc, {ecode::HeaderCrcError}, {}},
        {"extended header", ArjArchive({withExt}), {}, {"B.TXT"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Reset();
        Extract(Write("T.ARJ", c.bytes));
        EXPECT_EQ(log.codes, c.codes);
        EXPECT_EQ(OutFiles(), c.files);
    }
}

}  // namespace
}  // namespace lumora::archive::test
