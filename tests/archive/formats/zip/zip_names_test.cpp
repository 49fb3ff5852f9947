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
    struct Case {
        const char* what;
        TestMember member;
        std::string listed;
        std::string written;
    };
    const Case cases[] = {
        {"flagged", Named("Ärger.txt", kUtf8Flag), "\xC4rger.txt", "Ärger.txt"},
        {"flagged, Windows-1252 beyond Latin-1", Named("€uro.txt", kUtf8Flag), "\x80uro.txt",
         "€uro.txt"},
        {"flagged, no Windows-1252 code", Named("日本.txt", kUtf8Flag), "??.txt", "??.txt"},
        {"not flagged: Windows-1252", Named("\xC4rger.txt", 0), "\xC4rger.txt", "Ärger.txt"},
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
        {"Unicode path field cut short",
         Named("Arger.txt", 0, Le(0x7075, 2) + Le(20, 2) + std::string("\x01\x00", 2)), "Arger.txt",
         "Arger.txt"},
        {"flag before the Unicode path field",
         Named("Ärger.txt", kUtf8Flag, UnicodePath("Ärger.txt", "Other.txt")), "\xC4rger.txt",
         "Ärger.txt"},
    };
    storedDirs = true;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ZipBuilder zb;
        zb.Add(c.member);
        const BothSides both = ListAndExtract("N.ZIP", zb.Build());
        EXPECT_EQ(both.listing.names, Lines{c.listed});
        EXPECT_EQ(both.listing.codes, std::vector<int>{});
        EXPECT_EQ(both.extracted, Lines{c.written});
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
    const std::pair<std::string, Lines> cases[] = {
        {"Ärger.txt", {"Ärger.txt"}},
        {"ärger.TXT", {"Ärger.txt"}},
        {"straße.DIZ", {"Straße.diz"}},
        {"*.diz", {"Straße.diz"}},
    };
    for (const auto& [pattern, files] : cases) {
        SCOPED_TRACE(pattern);
        Lines listed;
        for (const std::string& n : ListFile(zip.string(), Utf8ToAnsi(pattern)).names) {
            listed.push_back(AnsiToUtf8(n));
        }
        EXPECT_EQ(listed, files);
        Reset();
        TUnZIP z;
        Run(z, zip, Utf8ToAnsi(pattern));
        EXPECT_EQ(OutFiles(), files);
    }
}

// Bytes that are no UTF-8 under the flag (stray, cut or overlong sequences,
// overlong forms of '/' and '.') become '?' and cannot lead out of the
// extraction folder. (Each name starts with a letter: a '?' in a stored name
// is a wildcard to the matching, so "*.*" need not take "???.txt".)
TEST_F(ZipNamesTest, MalformedUtf8StaysInsideTheFolder) {
    struct Case {
        const char* what;
        std::string name;
        std::string listed;
        std::string written;
    };
    const Case cases[] = {
        {"stray bytes", "A\xFF\xFE.txt", "A??.txt", "A??.txt"},
        {"cut sequence", "A\xC3", "A?", "A?"},
        {"overlong slash",
         "..\xC0\xAF..\xC0\xAF"
         "evil.txt",
         "..??..??evil.txt", "..??..??evil.txt"},
        {"overlong dots", "x/\xE0\x80\xAE\xE0\x80\xAE/evil.txt",
         "x\\" + std::string(6, '?') + "\\evil.txt", "x/" + std::string(6, '?') + "/evil.txt"},
        {"parent folders", "../\xC4/../evil.txt", "..\\?\\..\\evil.txt", "?/evil.txt"},
        {"surrogate", "A\xED\xA0\x80.txt", "A???.txt", "A???.txt"},
    };
    storedDirs = true;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ZipBuilder zb;
        zb.Add(Named(c.name, kUtf8Flag));
        const BothSides both = ListAndExtract("B.ZIP", zb.Build());
        EXPECT_EQ(both.listing.names, Lines{c.listed});
        EXPECT_EQ(both.extracted, Lines{c.written});
        EXPECT_EQ(FilesBelow(root_), (Lines{"B.ZIP", "out/" + c.written}));
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

// An archive written by python3's zipfile, which flags names outside ASCII.
TEST_F(ZipNamesTest, PythonZipfileArchive) {
    if (!HaveTool("python3")) GTEST_SKIP() << "python3 not installed";
    const fs::path zip = Path("MADE.ZIP");
    ASSERT_TRUE(
        Shell("python3 -c \"import sys, zipfile\n"
              "z = zipfile.ZipFile(sys.argv[1], 'w')\n"
              "z.writestr('README.TXT', 'readme')\n"
              "z.writestr('Ärger.txt', 'Ärger mit Umlauten')\n"
              "z.writestr('Daten/Übersicht.diz', 'overview')\n"
              "z.close()\" '" +
              zip.string() + "'"));
    storedDirs = true;
    const BothSides both = ListAndExtract("PY.ZIP", ReadFile(zip));
    EXPECT_EQ(both.listing.names, (Lines{"README.TXT", "\xC4rger.txt",
                                         "Daten\\\xDC"
                                         "bersicht.diz"}));
    EXPECT_TRUE(log.codes.empty());
    EXPECT_EQ(both.extracted, (Lines{"Daten/Übersicht.diz", "README.TXT", "Ärger.txt"}));
    EXPECT_EQ(Out("Ärger.txt"), "Ärger mit Umlauten");
}

}  // namespace
}  // namespace lumora::archive::test
