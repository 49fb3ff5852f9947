// Crafted ZIP archives: names that try to leave the extraction folder,
// planted links, records pointing outside the file, damaged data, stored
// permission bits, and the per-member byte limit.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "archive/error_codes.h"
#include "archive/un_zip.h"
#include "archive_test_support.h"
#include "zip_builder.h"

namespace lumora::archive {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;
using test::Member;

class ZipHostileTest : public test::TempDirTest {
protected:
    void Open(const std::string& bytes, const std::string& spec = "*.*") {
        test::WriteFile(Path("T.ZIP"), bytes);
        log_.Attach(z_);
        z_.SetArchiveFile(Path("T.ZIP").string());
        z_.SetExtractDir(Path("x").string());
        z_.SetFileSpec(spec);
    }
    // Offset of the first central record of an archive built without comment.
    static std::size_t CentralAt(const std::string& zip) { return zip.find("PK\x01\x02"); }

    TUnZIP z_;
    test::EventLog log_;
};

TEST_F(ZipHostileTest, StoredNamesStayInsideTheExtractionFolder) {
    const std::string outside = Path("outside/abs.txt").string();
    for (bool storedDirs : {false, true}) {
        SCOPED_TRACE(storedDirs);
        test::ZipBuilder zb;
        for (const std::string name : {"../evil1", "../../evil2", outside.c_str(), "C:\\evil4",
                                       "a/../../evil5", "..\\..\\evil6", "\\\\srv\\s\\evil7"}) {
            zb.Add(Member(name, "x"));
        }
        Open(zb.Build());
        z_.UseStoredDirs = storedDirs;
        z_.Extract();
        EXPECT_EQ(z_.ExtractedCount(), 7);
        for (const auto& f : test::FilesBelow(root_)) {
            EXPECT_TRUE(f == "T.ZIP" || f.rfind("x/", 0) == 0) << f;
        }
        fs::remove_all(Path("x"));
    }
}

TEST_F(ZipHostileTest, PlantedLinksAreNeverWrittenThrough) {
    test::WriteFile(Path("target.txt"), "keep");
    fs::create_directories(Path("x"));
    fs::create_symlink(Path("target.txt"), Path("x/FILE_ID.DIZ"));
    fs::create_directories(Path("elsewhere"));
    fs::create_directory_symlink(Path("elsewhere"), Path("x/DOC"));
    test::ZipBuilder zb;
    zb.Add(Member("FILE_ID.DIZ", "new")).Add(Member("DOC/README.TXT", "doc"));
    Open(zb.Build());
    z_.UseStoredDirs = true;
    z_.Extract();
    EXPECT_EQ(test::ReadFile(Path("target.txt")), "keep");
    EXPECT_FALSE(fs::is_symlink(Path("x/FILE_ID.DIZ")));
    EXPECT_EQ(test::ReadFile(Path("x/FILE_ID.DIZ")), "new");
    EXPECT_TRUE(fs::is_empty(Path("elsewhere")));
    // The link in place of a folder ends the run silently (the output cannot be made).
    EXPECT_EQ(log_.lines.back(), "Deactivate");
    EXPECT_TRUE(log_.codes.empty());
}

TEST_F(ZipHostileTest, RecordsPointingOutsideTheFile) {
    test::ZipBuilder zb;
    zb.Add(Member("A.TXT", "alpha")).Add(Member("B.TXT", "beta"));
    const std::string good = zb.Build();
    const std::size_t central = CentralAt(good);
    const std::size_t second = good.find("PK\x01\x02", central + 4);
    struct Case {
        const char* what;
        std::size_t at;
        std::string bytes;
        Lines events;
    };
    const Case cases[] = {
        {"directory offset",
         good.size() - 6,
         std::string("\xFF\xFF\xFF\x7F", 4),
         {"Error 25137 T.ZIP", "Deactivate"}},
        {"name length",
         second + 28,
         std::string("\xFF\xFF", 2),
         {"Activate", "Begin A.TXT 1", "End A.TXT pass", "Error 25135 T.ZIP", "Deactivate"}},
        {"local offset",
         second + 42,
         std::string("\x00\x00\x00\x40", 4),
         {"Activate", "Begin A.TXT 1", "End A.TXT pass", "Error 25145 B.TXT", "Deactivate"}},
        {"comment length",
         central + 32,
         std::string("\xFF\xFF", 2),
         {"Activate", "Begin A.TXT 1", "End A.TXT pass", "Deactivate"}},
        {"local signature", 0, "PK\x05\x06", {"Error 25139 T.ZIP", "Deactivate"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string bad = good;
        bad.replace(c.at, c.bytes.size(), c.bytes);
        log_.lines.clear();
        Open(bad);
        z_.Extract();
        EXPECT_EQ(log_.lines, c.events);
    }
}

TEST_F(ZipHostileTest, EndRecordBeyondTheLast32KB) {
    test::ZipBuilder zb;
    zb.Add(Member("A.TXT", "alpha"));
    zb.comment = std::string(32768 - 22 + 1, 'c');
    Open(zb.Build());
    z_.Extract();
    EXPECT_EQ(log_.lines, (Lines{"Error 25202 T.ZIP", "Deactivate"}));
}

TEST_F(ZipHostileTest, DamagedDataEndsTheMemberWithACrcWarning) {
    const std::string data(50000, 'd');
    struct Case {
        const char* what;
        std::uint16_t method;
        std::string raw;
        std::size_t boxes;
        std::size_t size;  // bytes left in the output file
    };
    const std::string deflate = test::DeflateStored(data);
    const Case cases[] = {
        {"stream cut short", 8, deflate.substr(0, 20000), 0, 20000 - 5},
        {"block type 3", 8, "\x07\x00", 0, 0},
        {"stored length", 8, "\x01\x05\x00\x00\x00", 0, 0},
        {"method 9", 9, "whatever", 1, 0},
        {"method 12", 12, "whatever", 1, 0},
        {"stored cut short", 0, data.substr(0, 1000), 0, 1000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto m = Member("D.DAT", data, c.method);
        m.raw = c.raw;
        test::ZipBuilder zb;
        zb.Add(m).Add(Member("NEXT.TXT", "next"));
        log_ = {};
        Open(zb.Build());
        z_.Extract();
        ASSERT_EQ(log_.boxes.size(), c.boxes);
        if (c.boxes == 1) {
            EXPECT_EQ(log_.boxes[0],
                      "Nicht unterst\xFC"
                      "tzte Kompressionsmethode");
        }
        EXPECT_EQ(log_.codes, std::vector<int>{ecode::CrcError});
        EXPECT_EQ(fs::file_size(Path("x/D.DAT")), c.size);
        EXPECT_EQ(test::ReadFile(Path("x/NEXT.TXT")), "next");  // the walk goes on
        EXPECT_NE(std::find(log_.lines.begin(), log_.lines.end(), "End D.DAT fail"),
                  log_.lines.end());
    }
}

TEST_F(ZipHostileTest, WrongStoredCrc) {
    auto m = Member("A.TXT", "alpha");
    m.crc = 0x12345678;
    test::ZipBuilder zb;
    zb.Add(m);
    Open(zb.Build());
    z_.Extract();
    EXPECT_EQ(log_.lines, (Lines{"Activate", "Begin A.TXT 1", "Error 25117 A.TXT", "End A.TXT fail",
                                 "Deactivate"}));
    EXPECT_EQ(test::ReadFile(Path("x/A.TXT")), "alpha");
}

TEST_F(ZipHostileTest, OnlyTheDosReadOnlyBitIsApplied) {
    auto ro = Member("RO.TXT", "r");
    ro.externalAttrs = 0x81ED0001;  // Unix 0755 and the DOS read-only bit
    auto suid = Member("SUID.TXT", "s");
    suid.externalAttrs = 0x8DED0020;  // Unix 04755 (setuid, execute)
    test::ZipBuilder zb;
    zb.Add(ro).Add(suid);
    Open(zb.Build());
    z_.Extract();
    struct stat st {};
    ASSERT_EQ(::stat(Path("x/RO.TXT").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0222, 0u);
    EXPECT_EQ(st.st_mode & 0111, 0u);
    ASSERT_EQ(::stat(Path("x/SUID.TXT").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & (S_ISUID | S_ISGID | 0111), 0u);
    EXPECT_NE(st.st_mode & 0200, 0u);
}

TEST_F(ZipHostileTest, StoredDateOrTimeOfWriting) {
    test::ZipBuilder zb;
    zb.Add(Member("A.TXT", "a"));  // 1995-12-14 11:16:00 local time
    Open(zb.Build());
    z_.Extract();
    struct stat st {};
    ASSERT_EQ(::stat(Path("x/A.TXT").c_str(), &st), 0);
    std::tm tm{};
    localtime_r(&st.st_mtime, &tm);
    EXPECT_EQ(tm.tm_year, 95);
    EXPECT_EQ(tm.tm_hour, 11);
    EXPECT_EQ(tm.tm_min, 16);
    z_.SetDateTo = TSetDate::CurDate;
    z_.Extract();
    ASSERT_EQ(::stat(Path("x/A.TXT").c_str(), &st), 0);
    EXPECT_GT(st.st_mtime, std::time(nullptr) - 3600);
}

TEST_F(ZipHostileTest, ByteLimitCutsTheMember) {
    test::ZipBuilder zb;
    zb.Add(Member("BOMB.TXT", std::string(200000, ' '), 8)).Add(Member("S.TXT", "0123456789"));
    Open(zb.Build());
    z_.MaxOutputBytes = 4;
    z_.Extract();
    EXPECT_TRUE(log_.codes.empty());
    EXPECT_EQ(test::ReadFile(Path("x/BOMB.TXT")), "    ");
    EXPECT_EQ(test::ReadFile(Path("x/S.TXT")), "0123");
    EXPECT_EQ(z_.ExtractedCount(), 2);
}

}  // namespace
}  // namespace lumora::archive
