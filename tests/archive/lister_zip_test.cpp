// The lister on ZIP archives and what every listing shares: events, totals,
// the failure table.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "archive/archive_test_support.h"
#include "archive/lister_test_support.h"

namespace lumora::archive::test {
namespace {

using ::testing::ElementsAre;

class ListerZipTest : public TempDirTest {
protected:
    std::string Write(const std::string& name, const std::string& bytes) {
        WriteFile(Path(name), bytes);
        return Path(name).string();
    }
};

TEST_F(ListerZipTest, ThreeMembersGiveFilenumsOneToThreeThenTotals) {
    const std::string zip =
        Write("A.ZIP", ZipDirectoryOnly({{"README.TXT"}, {"GAME.EXE"}, {"FILE_ID.DIZ"}}));
    const Listing l = ListFile(zip);
    EXPECT_TRUE(l.result);
    EXPECT_THAT(l.filenums, ElementsAre(1, 2, 3));
    EXPECT_THAT(l.events,
                ElementsAre("Activate", "Read", "Read", "Read", "Totals 3", "Deactivate"));
}

TEST_F(ListerZipTest, DirectoriesOnlyNeedShowBlankDirs) {
    const std::string zip =
        Write("D.ZIP", ZipDirectoryOnly({{"DOC/", 0x10, "", "", 0}, {"DATA/", 0x10, "", "", 0}}));
    const Listing hidden = ListFile(zip);
    EXPECT_FALSE(hidden.result);
    EXPECT_THAT(hidden.codes, ElementsAre(ecode::BadFileHeader));
    EXPECT_EQ(hidden.totals, -1) << "no OnTotals after an error";
    EXPECT_EQ(hidden.events.back(), "Deactivate");

    const Listing shown = ListFile(zip, "*.*", true);
    EXPECT_TRUE(shown.result);
    EXPECT_THAT(shown.names, ElementsAre("DOC\\", "DATA\\"));
    EXPECT_THAT(shown.filenums, ElementsAre(0, 0));
    EXPECT_EQ(shown.totals, 0);
}

TEST_F(ListerZipTest, SpecComparesTheFileNamePartOnly) {
    const std::string zip =
        Write("S.ZIP", ZipDirectoryOnly({{"README.TXT"}, {"DOC/FILE_ID.DIZ"}, {"X.DIZZ"}}));
    const Listing l = ListFile(zip, "*.DIZ");
    EXPECT_THAT(l.names, ElementsAre("DOC\\FILE_ID.DIZ"));
    EXPECT_THAT(l.filenums, ElementsAre(1));
}

TEST_F(ListerZipTest, MemberWithExtraAndCommentIsFollowedByTheNextOne) {
    const std::string zip =
        Write("C.ZIP",
              ZipDirectoryOnly({{"ONE.TXT", 0x20, std::string("UT\x05\x00\x01\x00\x00\x00\x00", 9),
                                 "first member", 10},
                                {"TWO.TXT"}},
                               "archive note"));
    TZipTV tv;
    tv.SetArchiveFile(zip);
    std::vector<std::string> comments;
    std::string archiveComment;
    Listing l;
    tv.OnRead = [&](TZipTV& t, std::uint64_t, int) {
        l.names.push_back(t.FileName());
        comments.push_back(t.Member().MemberComment);
        archiveComment = t.ArchiveComment();
    };
    EXPECT_TRUE(tv.Activate());
    EXPECT_THAT(l.names, ElementsAre("ONE.TXT", "TWO.TXT"));
    EXPECT_THAT(comments, ElementsAre("first member", ""));
    EXPECT_EQ(archiveComment, "archive note");
    EXPECT_EQ(tv.ArchiveComment(), "") << "released with the listing";
}

TEST_F(ListerZipTest, MemberRecordAndTotals) {
    ZipBuilder b;
    TestMember m = Member("FILE_ID.DIZ", std::string(1000, 'x'), 8);
    m.flags = 2;
    b.Add(m).Add(Member("B.TXT", "abc"));
    const std::string zip = Write("R.ZIP", b.Build());
    TZipTV tv;
    tv.SetArchiveFile(zip);
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
    EXPECT_EQ(offsets[0], 0u) << "the local header's offset";
    EXPECT_GT(offsets[1], 1000u);
    EXPECT_EQ(tv.FileCount(), 2);
    EXPECT_EQ(tv.TotalUnpacked(), 1003u);
}

TEST_F(ListerZipTest, FailureTable) {
    const std::string zip = Write("OK.ZIP", ZipDirectoryOnly({{"A.TXT"}}));
    const std::string text = Write("TEXT.ZIP", "just some text, not an archive");
    const std::string noEnd = Write("NOEND.ZIP", ZipDirectoryOnly({{"A.TXT"}}).substr(0, 60));
    struct Row {
        std::string path;
        bool bindRead;
        int code;
    };
    const Row rows[] = {
        {zip, false, ecode::EventNotAssigned},
        {text, true, ecode::UnknownFileType},
        {Path("MISSING.ZIP").string(), true, ecode::HeaderIdError},
        {noEnd, true, ecode::HeaderIdError},
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

TEST_F(ListerZipTest, ExceptionFromAHandlerEndsTheListingWithFalse) {
    const std::string zip = Write("E.ZIP", ZipDirectoryOnly({{"A.TXT"}, {"B.TXT"}}));
    TZipTV tv;
    tv.SetArchiveFile(zip);
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
