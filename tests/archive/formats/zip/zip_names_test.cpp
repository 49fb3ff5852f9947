// ZIP member names stored in UTF-8 (general-purpose bit 11, or a Unicode
// path extra field that belongs to the stored name): the lister and the
// reader both take them as Windows-1252, so listing, matching and the file
// written agree; malformed UTF-8 stays inside the extraction folder.
#include <gtest/gtest.h>

#include "archive/core/crc.h"
#include "archive/core/input_file.h"
#include "archive/formats/zip/un_zip.h"
#include "archive/header_test_support.h"
#include "archive/lister/zip_tv.h"
#include "platform/text.h"
#include "support/builders/zip_builder.h"

namespace lumora::archive::test {
namespace {

using Lines = std::vector<std::string>;
constexpr std::uint16_t kUtf8Flag = 0x0800;

TestMember Named(const std::string& name, std::uint16_t flags, const std::string& extra = "") {
    TestMember m = Member(name, "data of " + name);
    m.flags = flags;
    m.extra = extra;
    return m;
}

// A Unicode path extra field: version, CRC-32 of the stored name, UTF-8 name.
std::string UnicodePath(const std::string& stored, const std::string& utf8, int version = 1) {
    const std::string data =
        std::string(1, static_cast<char>(version)) + Le(CrcOf(stored), 4) + utf8;
    return Le(0x7075, 2) + Le(static_cast<std::uint32_t>(data.size()), 2) + data;
}

class ZipNamesTest : public HeaderTest {};

// What each way of storing a name lists (Windows-1252) and writes (UTF-8).
TEST_F(ZipNamesTest, NamesFlaggedUtf8AreListedAndWrittenUnderTheirCharacters) {
    const std::string ut = std::string("UT\x05\x00\x01", 5) + Le(0, 4);
    const std::string cutShort = Le(0x7075, 2) + Le(20, 2) + std::string("\x01\x00", 2);
    struct Case {
        const char* what;
        TestMember member;
        std::string listed;
        std::string written;
    };
    const Case cases[] = {
        // Latin-1, Windows-1252 beyond it, no code at all, also in a folder;
        // the flag wins over a Unicode path field.
        {"flagged",
         Named("Büro/Ärger€日.txt", kUtf8Flag, UnicodePath("Büro/Ärger€日.txt", "Other.txt")),
         "B\xFCro\\\xC4rger\x80?.txt", "Büro/Ärger€?.txt"},
        {"not flagged: UTF-8 bytes stay as stored", Named("Ärger.txt", 0), "\xC3\x84rger.txt",
         "Ã„rger.txt"},
        {"Unicode path field", Named("?rger.txt", 0, ut + UnicodePath("?rger.txt", "Ärger.txt")),
         "\xC4rger.txt", "Ärger.txt"},
        {"Unicode path field of another name",
         Named("Arger.txt", 0, UnicodePath("Ärger.txt", "Ärger.txt")), "Arger.txt", "Arger.txt"},
        {"Unicode path field of version 2",
         Named("Arger.txt", 0, UnicodePath("Arger.txt", "Ärger.txt", 2)), "Arger.txt", "Arger.txt"},
        {"Unicode path field without a name", Named("Arger.txt", 0, UnicodePath("Arger.txt", "")),
         "Arger.txt", "Arger.txt"},
        {"Unicode path field cut short", Named("Arger.txt", 0, cutShort), "Arger.txt", "Arger.txt"},
        // Bytes that are no UTF-8 (stray, surrogate, cut; overlong forms of
        // '/' and '.') become '?' and cannot lead out of the folder.
        {"malformed", Named("A\xFF\xED\xA0\x80\xC3", kUtf8Flag), "A?????", "A?????"},
        {"overlong",
         Named("..\xC0\xAF\xE0\x80\xAE\xE0\x80\xAE\xC0\xAF"
               "evil.txt",
               kUtf8Flag),
         "..??????????evil.txt", "..??????????evil.txt"},
        {"parent folders", Named("../\xC4/../evil.txt", kUtf8Flag), "..\\?\\..\\evil.txt",
         "?/evil.txt"},
    };
    storedDirs = true;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ZipBuilder zb;
        zb.Add(c.member);
        const BothSides both = ListAndExtract("N.ZIP", zb.Build());
        EXPECT_EQ(both.listing.names, Lines{c.listed});
        EXPECT_EQ(both.listing.codes, std::vector<int>{});
        EXPECT_EQ(FilesBelow(root_), (Lines{"N.ZIP", "out/" + c.written}));
        EXPECT_EQ(Out(c.written), "data of " + c.member.name);
    }
}

// A pattern in Windows-1252 (as lumora-cli passes --info-files and member
// patterns) finds a flagged name, letter case folded, in both walks.
TEST_F(ZipNamesTest, PatternsMatchTheDecodedName) {
    ZipBuilder zb;
    zb.Add(Named("Ärger.txt", kUtf8Flag))
        .Add(Named("Arger.txt", 0))
        .Add(Named("Straße.diz", kUtf8Flag));
    const fs::path zip = Write("M.ZIP", zb.Build());
    for (const auto& [pattern, file] :
         {std::pair{"ärger.TXT", "Ärger.txt"}, std::pair{"straße.DIZ", "Straße.diz"}}) {
        SCOPED_TRACE(pattern);
        const Lines listed = ListFile(zip.string(), Utf8ToAnsi(pattern)).names;
        EXPECT_EQ(listed, Lines{Utf8ToAnsi(file)});
        Reset();
        TUnZIP z;
        Run(z, zip, Utf8ToAnsi(pattern));
        EXPECT_EQ(OutFiles(), Lines{file});
    }
}

// A member comment under the flag is UTF-8 as well; without it, as stored.
TEST_F(ZipNamesTest, MemberCommentsFollowTheFlag) {
    CentralEntry flagged{"Ä.TXT", 0x20, "", "Grüße"};
    flagged.flags = kUtf8Flag;
    TZipTV tv;
    tv.SetArchiveFile(
        Write("C.ZIP", ZipDirectoryOnly({flagged, {"B.TXT", 0x20, "", "Grüße"}})).string());
    Lines seen;
    tv.OnRead = [&](TZipTV& t, std::uint64_t, int) {
        seen.push_back(t.FileName() + "|" + t.Member().MemberComment);
    };
    EXPECT_TRUE(tv.Activate());
    EXPECT_EQ(seen, (Lines{"\xC4.TXT|Gr\xFC\xDF"
                           "e",
                           "B.TXT|Grüße"}));
}

}  // namespace
}  // namespace lumora::archive::test
