// The lister: its header walk over every format on small archives built here,
// crafted sizes and chains that must end the walk quickly with the header
// error, and what every listing shares (events, totals, failures).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>

#include "archive/archive_test_support.h"
#include "archive/lister_test_support.h"

namespace lumora::archive::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using Lines = std::vector<std::string>;

// A BH member: versions, flags, method 0, then the name after the window.
std::string BhMember(const std::string& name, const std::string& data) {
    return LeFields({{0x07'05'48'42, 4}, {37, 2}, {0x14'14'00, 5}, {0x1F8E5A00, 4}}) +
           LeFields({{data.size(), 4}, {data.size(), 4}, {CrcOf(data), 4}, {0x20, 2}}) +
           LeFields({{0, 4}, {name.size(), 2}, {0, 2}}) + name + data;
}

std::string Patched(std::string bytes, std::size_t at, const std::string& with) {
    return bytes.replace(at, with.size(), with);
}

class ListerTest : public TempDirTest {
protected:
    std::string Write(const std::string& name, const std::string& bytes) {
        WriteFile(Path(name), bytes);
        return Path(name).string();
    }
};

// Each walk steps from header to header by the format's own sizes: longer
// RAR headers and 64-bit sizes, TAR long-name and pax records and the
// 512-byte padding, the shorter ARC method-1 header, the CAB file count, the
// ZOO chain, HA machine data, LHA folders, the BH name after its window, an
// ARJ archive behind a DOS stub. A walk that drifts lists wrong names.
TEST_F(ListerTest, WalksEveryFormat) {
    const std::string mtime("\x00\xB0\x01\x02\x03", 5);  // extended mtime, 3 extra bytes
    RarEntry rarA{"README.TXT", std::string(300, 'r')}, rarB{"GAME.EXE", std::string(50, 'g')},
        rarC{"FILE_ID.DIZ", "Best game\r\n"}, rarDir{"DOC", "", true};
    rarA.extraFlags = rarC.extraFlags = 0x1000;
    rarA.headerExtra = rarC.headerExtra = mtime;
    rarB.largeSizes = true;
    const std::string rar = RarArchive({rarA, rarDir, rarB, rarC});

    const std::string longDir(120, 'D');
    const std::string pax = "29 path=PAX/LONG/FILE_ID.DIZ\n";
    const std::string longTar =
        TarArchive({TarFile("././@LongLink", longDir + "/MODULE.PAS" + '\0', 'L'),
                    TarFile(longDir.substr(0, 100), "code"), TarFile("PaxHeaders/x", pax, 'x'),
                    TarFile("FILE_ID.DIZ", "desc"), TarFile("DATA/", "", '5'),
                    TarFile("DATA/LEVELS.DAT", "lv")});

    const std::string gzNoName = std::string("\x1f\x8b\x08\0\0\0\0\0\0\x03", 10) +
                                 std::string(20, 'z') + LeFields({{0xCAFEBABE, 4}, {4242, 4}});
    const std::string gzNamed = std::string("\x1f\x8b\x08\x0c\0\0\0\0\0\x03\x04\0", 12) +
                                "ABCDFILE_ID.DIZ" + '\0' + std::string(20, 'z') +
                                LeFields({{0, 4}, {77, 4}});  // extra field, name, data
    const std::string arjSfx = std::string("MZ\x60\x00\x01", 5) + std::string(91, '\0') +
                               ArjArchive({{"FILE_ID.DIZ", "abc"}}, "X.ARJ") +
                               std::string(40, '\0');

    const std::string arc =
        ArcArchive({Coded("README.TXT", 1, std::string(40, 'r'), std::string(40, 'r')),
                    Stored("FILE_ID.DIZ", "desc")},
                   false) +
        '\x1a' + std::string(31, '\0');
    const std::string cab =
        cabarc::BuildCab(cabarc::HeadersOnly({"A.TXT", "DOC\\FILE_ID.DIZ", "JUNK"}, 2));
    const std::string zoo =
        ZooArchive({{"A.TXT", std::string(10, 'a')}, {"FILE_ID.DIZ", std::string(10, 'd')}});
    const std::string ha = HaArchive({{"", "README.TXT", std::string(30, 'r'), "\x02\xa4\x01"},
                                      {"DOC/", "FILE_ID.DIZ", "desc", ""},
                                      {"", "LAST.TXT", std::string(40, 'l'), "1234567"}});
    const std::string lzh =
        LhaArchive({{"DATA\\LEVELS.DAT", std::string(30, 'l')}, {"FILE_ID.DIZ", "desc"}}, false) +
        std::string(31, '\0');
    const std::string bh =
        BhMember("A.TXT", "aaaa") + BhMember("FILE_ID.DIZ", "d") + std::string(40, '\0');
    const std::string zip = ZipDirectoryOnly({{"README.TXT"}, {"DOC/FILE_ID.DIZ"}, {"X.DIZZ"}});

    struct Case {
        std::string name, bytes;
        Lines lines;
        std::string pattern = "*.*";
        bool dirs = false;
    };
    const Case cases[] = {
        {"T.RAR", rar, {"README.TXT 300 1", "GAME.EXE 50 2", "FILE_ID.DIZ 11 3"}},
        {"T.RAR",
         rar,
         {"README.TXT 300 1", "DOC 0 1", "GAME.EXE 50 2", "FILE_ID.DIZ 11 3"},
         "*.*",
         true},
        {"L.TAR",
         longTar,
         {longDir + "\\MODULE.PAS 4 1", "PAX\\LONG\\FILE_ID.DIZ 4 2", "DATA\\LEVELS.DAT 2 3"}},
        {"L.TAR", longTar, {"DATA\\LEVELS.DAT 2 1"}, "LEVELS.DAT"},
        {"O.TAR",
         TarArchive({TarFile("A.TXT", "x"), TarFile("B.TXT", "yy")}),
         {"A.TXT 1 1", "B.TXT 2 2"}},
        // Without a stored name gzip lists the archive's name; it never
        // applies the pattern.
        {"NOTES.TXT.GZ", gzNoName, {"NOTES.TXT 4242 1"}, "*.DIZ"},
        {"X.GZ", gzNamed, {"FILE_ID.DIZ 77 1"}},
        {"M1.ARC", arc, {"README.TXT 40 1", "FILE_ID.DIZ 4 2"}},
        {"C.CAB", cab, {"A.TXT 100 1", "DOC\\FILE_ID.DIZ 100 2"}},
        {"Z.ZOO", zoo, {"A.TXT 10 1", "FILE_ID.DIZ 10 2"}},
        {"H.HA", ha, {"README.TXT 30 1", "DOC\\FILE_ID.DIZ 4 2", "LAST.TXT 40 3"}},
        {"L.LZH", lzh, {"DATA\\LEVELS.DAT 30 1", "FILE_ID.DIZ 4 2"}},
        {"B.BH", bh, {"A.TXT 4 1", "FILE_ID.DIZ 1 2"}},
        {"SFX.EXE", arjSfx, {"FILE_ID.DIZ 3 1"}},
        // The pattern compares the name part only: X.DIZZ does not match.
        {"S.ZIP", zip, {"DOC\\FILE_ID.DIZ 10 1"}, "*.DIZ"},
    };
    for (const Case& c : cases) {
        const Listing l = ListFile(Write(c.name, c.bytes), c.pattern, c.dirs);
        EXPECT_TRUE(l.result) << c.name;
        EXPECT_THAT(l.lines, ElementsAreArray(c.lines)) << c.name << " " << c.pattern;
    }
}

// Sizes and chains that would move a walk backwards, in a circle, past the
// end or out of its header window end the listing with the header error,
// quickly, after the members listed before.
TEST_F(ListerTest, CraftedSizesEndTheWalkWithTheHeaderError) {
    std::string huge;
    Put32(huge, 0xFFFFFF00);
    const std::string zip = ZipDirectoryOnly({{"A.TXT"}, {"B.TXT"}});
    std::string bigBasic = ArjBasic({"A.TXT"});
    bigBasic.resize(2601, '\0');
    const std::string rar = RarArchive({{"A.TXT", "aaaa"}, {"B.TXT", "bbbb"}});
    const std::string lzh =
        LhaArchive({{"A.TXT", "aaaa"}, {"B.TXT", "bb"}}, false) + std::string(40, '\0');
    const std::string back = ZooArchive({{"A.TXT", "a"}, ZooLinked("B.TXT", "b", 0)});
    LhaEntry hugeA("A.TXT", "aaaa");
    hugeA.packed = 0xFFFFFF00;
    const std::string hugeLzh = LhaArchive({hugeA, {"B.TXT", "bb"}}, false) + std::string(40, '\0');
    const std::string wrapTar = TarArchive(
        {{"A.TXT", "", '0', std::string("37777776000\0", 12), ""}, TarFile("B.TXT", "bb")});
    ArcEntry hugeA2 = Stored("A.TXT", "aaaa");
    hugeA2.packedSize = 0xFFFFFF00;
    const std::string hugeArc = ArcArchive({hugeA2, Stored("B.TXT", "bb")}, false);
    const std::string ha = HaArchive({{"", "A.TXT", "aaaa", ""}}).substr(0, 4 + 17 + 4) + "A.TXT";
    const std::string arj =
        ArjEntryBlock(ArjMain("X.ARJ")) + ArjBlock(bigBasic) + std::string(40, '\0');
    const std::string cab =
        cabarc::BuildCab(cabarc::HeadersOnly({"A.TXT"}, 2)).substr(0, 44 + 16 + 5) +
        std::string(300, 'x');
    struct Case {
        std::string name, bytes;
        Lines listed;
        bool result = false;
    };
    const Case cases[] = {
        {"BACK.ZOO", back, {"A.TXT", "B.TXT"}},
        {"SELF.ZOO", ZooArchive({ZooLinked("A.TXT", "a", 0)}), {"A.TXT"}},
        {"HUGE.LZH", hugeLzh, {"A.TXT"}},
        {"SMALL.LZH", Patched(lzh, 33, "\x03"), {"A.TXT"}},
        {"WRAP.TAR", wrapTar, {"A.TXT"}},
        {"HUGE.RAR", Patched(rar, 7 + 13 + 7, huge), {"A.TXT"}},
        {"SHORT.RAR", Patched(rar, 7 + 5, std::string("\x05\x00", 2)), {}},
        {"HUGE.ARC", hugeArc, {"A.TXT"}},
        {"NAME.ZIP", Patched(zip, 30 + 28, std::string("\xff\xff", 2)), {}},
        {"NONUL.HA", ha, {}},
        {"BIG.ARJ", arj, {}},
        {"NONUL.CAB", cab, {}, true},  // CAB header problems are warnings: ends with true
    };
    for (const Case& c : cases) {
        const std::string path = Write(c.name, c.bytes);
        const auto start = std::chrono::steady_clock::now();
        const Listing l = ListFile(path);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << c.name;
        EXPECT_EQ(l.result, c.result) << c.name;
        EXPECT_THAT(l.codes, ElementsAre(ecode::BadFileHeader)) << c.name;
        EXPECT_THAT(l.names, ElementsAreArray(c.listed)) << c.name;
    }
}

// Members are numbered from 1, OnTotals comes after the last OnRead and
// before OnDeactivate.
TEST_F(ListerTest, EventOrderAndFileNumbers) {
    const Listing l =
        ListFile(Write("A.ZIP", ZipDirectoryOnly({{"README.TXT"}, {"GAME.EXE"}, {"FILE_ID.DIZ"}})));
    EXPECT_TRUE(l.result);
    EXPECT_THAT(l.filenums, ElementsAre(1, 2, 3));
    EXPECT_THAT(l.events,
                ElementsAre("Activate", "Read", "Read", "Read", "Totals 3", "Deactivate"));
}

// Folders are listed only with ShowBlankDirs and not counted (they carry the
// number of the file before them); an archive of folders only is otherwise a
// header error, without OnTotals.
TEST_F(ListerTest, DirectoriesOnlyNeedShowBlankDirs) {
    const std::string zip =
        Write("D.ZIP", ZipDirectoryOnly({{"DOC/", 0x10, "", "", 0}, {"DATA/", 0x10, "", "", 0}}));
    const Listing hidden = ListFile(zip);
    EXPECT_FALSE(hidden.result);
    EXPECT_THAT(hidden.codes, ElementsAre(ecode::BadFileHeader));
    EXPECT_EQ(hidden.totals, -1);
    EXPECT_EQ(hidden.events.back(), "Deactivate");

    const Listing shown = ListFile(zip, "*.*", true);
    EXPECT_TRUE(shown.result);
    EXPECT_THAT(shown.names, ElementsAre("DOC\\", "DATA\\"));
    EXPECT_THAT(shown.filenums, ElementsAre(0, 0));
    EXPECT_EQ(shown.totals, 0);
}

// Extra field and member comment are skipped to reach the next entry; the
// comments are handed out during the listing and released after it.
TEST_F(ListerTest, ZipCommentsAndExtraFields) {
    const std::string zip =
        Write("C.ZIP",
              ZipDirectoryOnly({{"ONE.TXT", 0x20, std::string("UT\x05\x00\x01\x00\x00\x00\x00", 9),
                                 "first member", 10},
                                {"TWO.TXT"}},
                               "archive note"));
    TZipTV tv;
    tv.SetArchiveFile(zip);
    Lines seen;
    tv.OnRead = [&](TZipTV& t, std::uint64_t, int) {
        seen.push_back(t.FileName() + "|" + t.Member().MemberComment + "|" + t.ArchiveComment());
    };
    EXPECT_TRUE(tv.Activate());
    EXPECT_THAT(seen, ElementsAre("ONE.TXT|first member|archive note", "TWO.TXT||archive note"));
    EXPECT_EQ(tv.ArchiveComment(), "");
}

// The member record (method, option, size, CRC, date), the local header
// offset handed to OnRead and the totals after the listing.
TEST_F(ListerTest, MemberRecordAndTotals) {
    ZipBuilder b;
    TestMember m = Member("FILE_ID.DIZ", std::string(1000, 'x'), 8);
    m.flags = 2;
    b.Add(m).Add(Member("B.TXT", "abc"));
    TZipTV tv;
    tv.SetArchiveFile(Write("R.ZIP", b.Build()));
    std::vector<TListerMember> seen;
    std::vector<std::uint64_t> offsets;
    tv.OnRead = [&](TZipTV& t, std::uint64_t offset, int) {
        seen.push_back(t.Member());
        offsets.push_back(offset);
    };
    ASSERT_TRUE(tv.Activate());
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].MethodName, "DeflateX");
    EXPECT_EQ(seen[0].MethodOption, 2);
    EXPECT_EQ(seen[0].UnpackedSize, 1000u);
    EXPECT_EQ(seen[0].Crc, CrcOf(std::string(1000, 'x')));
    EXPECT_EQ(DecodeDateTime(seen[0].FileDate).day, 14);
    EXPECT_EQ(seen[1].MethodName, "Stored");
    EXPECT_EQ(offsets[0], 0u);
    EXPECT_GT(offsets[1], 1000u);
    EXPECT_EQ(tv.FileCount(), 2);
    EXPECT_EQ(tv.TotalUnpacked(), 1003u);
}

// Each failure gives its one code and no totals: no OnRead handler, not an
// archive, a missing file, a ZIP without its end record.
TEST_F(ListerTest, FailureCodes) {
    struct Row {
        std::string path;
        bool bindRead;
        int code;
    };
    const Row rows[] = {
        {Write("OK.ZIP", ZipDirectoryOnly({{"A.TXT"}})), false, ecode::EventNotAssigned},
        {Write("TEXT.ZIP", "just some text, not an archive"), true, ecode::UnknownFileType},
        {Path("MISSING.ZIP").string(), true, ecode::HeaderIdError},
        {Write("NOEND.ZIP", ZipDirectoryOnly({{"A.TXT"}}).substr(0, 60)), true,
         ecode::HeaderIdError},
    };
    for (const Row& r : rows) {
        TZipTV tv;
        tv.SetArchiveFile(r.path);
        Listing l;
        if (r.bindRead) {
            l = List(tv);
        } else {
            tv.OnError = [&l](TZipCommon&, const std::string&, const std::string&, int c) {
                l.codes.push_back(c);
            };
            l.result = tv.Activate();
        }
        EXPECT_FALSE(l.result) << r.path;
        EXPECT_THAT(l.codes, ElementsAre(r.code)) << r.path;
        EXPECT_EQ(l.totals, -1) << r.path;
    }
}

// A handler that throws ends the listing with false and still deactivates.
TEST_F(ListerTest, ExceptionFromAHandlerEndsTheListingWithFalse) {
    TZipTV tv;
    tv.SetArchiveFile(Write("E.ZIP", ZipDirectoryOnly({{"A.TXT"}, {"B.TXT"}})));
    int reads = 0;
    bool deactivated = false;
    tv.OnRead = [&](TZipTV&, std::uint64_t, int) {
        ++reads;
        throw std::runtime_error("handler failed");
    };
    tv.OnDeactivate = [&](TZipCommon&) { deactivated = true; };
    EXPECT_FALSE(tv.Activate());
    EXPECT_EQ(reads, 1);
    EXPECT_TRUE(deactivated);
}

}  // namespace
}  // namespace lumora::archive::test
