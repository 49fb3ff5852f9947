// lumora-cli contents and desc, run as a separate program: the lister's
// members of every corpus archive, and the description Scan I takes from
// every archive whose reader exists.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "archive/core/detect.h"
#include "archive/formats/format_table.h"
#include "archive/formats/make_reader.h"
#include "cli/cli_runner.h"
#include "scan/description_extraction.h"
#include "support/corpus.h"

namespace lumora {
namespace {

namespace fs = std::filesystem;
using test::ReadAll;
using test::RunResult;
using ::testing::HasSubstr;

std::vector<std::string> Split(const std::string& s, char sep) {
    std::vector<std::string> parts;
    std::stringstream in(s);
    for (std::string p; std::getline(in, p, sep);) parts.push_back(p);
    if (!s.empty() && s.back() == sep) parts.emplace_back();
    return parts;
}

class CliContentsTest : public test::CliTest {
protected:
    // The FileName column of a contents run.
    static std::vector<std::string> Names(const RunResult& r) {
        std::vector<std::string> names;
        const auto lines = Split(r.out, '\n');
        for (std::size_t i = 1; i < lines.size(); ++i) {
            if (!lines[i].empty()) names.push_back(Split(lines[i], '\t')[0]);
        }
        return names;
    }
};

// contents prints a header line and one TSV line per member, dates in UTC.
TEST_F(CliContentsTest, ListsMembersAsTsvWithAHeaderLine) {
    std::string gz("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03", 10);
    gz += std::string(20, 'z') + std::string("\xef\xbe\xad\xde\x0a\x00\x00\x00", 8);
    work.Write("NOTES.TXT.GZ", gz);
    const RunResult r = Run("contents NOTES.TXT.GZ");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "FileName\tUnpackedSize\tPackedSize\tRatio\tFileDate\tMethodName\tCrc\tEncrypted\n"
              "NOTES.TXT\t10\t20\t0\t1970-01-01 00:00:00\tDeflate\tDEADBEEF\t0\n");
}

// A listing error goes to stderr with status 1; stdout keeps its header.
TEST_F(CliContentsTest, ListingErrorsGoToStderrWithExitOne) {
    work.Write("TEXT.ZIP", "plain text");
    const RunResult r = Run("contents TEXT.ZIP");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "25202 Unbekannter Dateityp\n");
    EXPECT_EQ(Split(r.out, '\n').size(), 2u) << "the header line only";
}

// desc takes only the names given; without a description it exits with 1.
TEST_F(CliContentsTest, DescPrefersTheInfoFileListOrderAndExitsOneWithoutDescription) {
    const std::string zip = LUMORA_SAMPLES_DIR "/SDIONLY.ZIP";
    const RunResult sdi = Run("desc --info-files FILE_ID.DIZ,DESC.SDI " + zip);
    EXPECT_EQ(sdi.status, 0) << sdi.err;
    EXPECT_FALSE(sdi.out.empty());
    const RunResult none = Run("desc --info-files FILE_ID.DIZ " + zip);
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err, "Keine FILE_ID gefunden\n");
}

// --- the corpus -----------------------------------------------------------

struct ManifestRow {
    std::string path, format, members, descMember;
};

std::vector<ManifestRow> ReadManifest() {
    std::vector<ManifestRow> rows;
    for (const std::string& line : test::CorpusManifestLines()) {
        const auto f = Split(line, '\t');
        if (f.size() >= 6) rows.push_back({f[0], f[1], f[4], f[5]});
    }
    return rows;
}

// Where the lister's listing differs from the manifest's (made with other
// tools), and why.
struct ListingNote {
    std::vector<std::string> names;  // what the lister reports
    std::string error;               // "CODE TEXT" on stderr, empty when none
};

const std::map<std::string, ListingNote>& ListingNotes() {
    static const std::map<std::string, ListingNote> notes = {
        // The last part of a split archive has no local headers to detect.
        {"zip/SPLIT.ZIP", {{}, "25202 Unbekannter Dateityp"}},
        // Members the manifest's tool could not list.
        {"lha/UNLHA_LX.LZH", {{"GPL-2"}, ""}},
        {"sfx/LHA213SF.EXE", {{"GPL-2"}, ""}},
        {"sfx/LHA255SF.EXE", {{"GPL-2"}, ""}},
        // Symbolic links are -lhd- entries, listed like folders.
        {"lha/LA_JUNK.LZH", {{"file1", "file2"}, ""}},
        // Without a stored name the member is named after the archive.
        {"gzip/NONAME.GZ", {{"NONAME"}, ""}},
        {"gzip/README.Z", {{"README"}, ""}},
        // The volume label is no member.
        {"tar/GAME2.TAR", {{"FILE_ID.DIZ", "README.TXT", "GAME2.EXE", "DATA\\LEVELS.DAT"}, ""}},
        // The first volume holds the first member only.
        {"rar/test_read_format_rar_multivolume.part0001.rar",
         {{"ppmd_lzss_conversion_test.txt"}, ""}},
        // Self-extractors whose archive detection does not find.
        {"sfx/LHARCSFX.COM", {{}, "25202 Unbekannter Dateityp"}},
        {"sfx/WINSFX.EXE", {{}, "25202 Unbekannter Dateityp"}},
        {"sfx/RARSFX.EXE", {{}, "25202 Unbekannter Dateityp"}},
        // Damaged and empty files.
        {"misc/TRUNC.ZIP", {{}, "25137 Header ID Fehler"}},
        {"misc/BADHDR.LZH", {{"README.TXT"}, "25108 Ung\xC3\xBCltiger File-Header"}},
        {"misc/NOTAZIP.ZIP", {{}, "25202 Unbekannter Dateityp"}},
        {"misc/ZEROLEN.ZIP", {{}, "25137 Header ID Fehler"}},
        {"misc/EMPTY.ZIP", {{}, "25202 Unbekannter Dateityp"}},
    };
    return notes;
}

// The manifest's members as the lister names them: "\" as separator, no
// folder entries; ZOO lists the short names only.
std::vector<std::string> ExpectedNames(const ManifestRow& row) {
    std::vector<std::string> names;
    for (std::string m : Split(row.members, '|')) {
        if (m.empty() || m.back() == '/') continue;
        std::replace(m.begin(), m.end(), '/', '\\');
        if (row.format == "zoo") m = m.substr(m.rfind('\\') + 1);
        names.push_back(m);
    }
    return names;
}

fs::path ExpectedDescription(const ManifestRow& row) {
    std::string member = row.descMember;
    member = member.substr(member.find_last_of("/\\") + 1);
    return test::CorpusDir() / "expected" / row.path / member;
}

class CliCorpusTest : public CliContentsTest {
protected:
    void SetUp() override { LUMORA_REQUIRE_CORPUS(); }
};

// Every corpus archive lists the manifest's members (or the noted
// difference), and the description member's size is the extracted size.
TEST_F(CliCorpusTest, ListingsGiveTheManifestsMembers) {
    for (const ManifestRow& row : ReadManifest()) {
        const RunResult r = Run("contents '" + (test::CorpusDir() / row.path).string() + "'");
        const auto note = ListingNotes().find(row.path);
        std::vector<std::string> expected = ExpectedNames(row);
        std::string error;
        if (note != ListingNotes().end()) {
            expected = note->second.names;
            error = note->second.error;
        }
        if (row.path == "rar/LA_UNIC.RAR") {
            // Names in a Japanese code page: the count is what can be compared.
            EXPECT_EQ(Names(r).size(), expected.size()) << row.path;
        } else {
            EXPECT_EQ(Names(r), expected) << row.path;
        }
        EXPECT_EQ(r.status, error.empty() ? 0 : 1) << row.path;
        EXPECT_EQ(r.err, error.empty() ? "" : error + "\n") << row.path;
        // The description member's size matches the bytes the oracles extracted.
        if (!row.descMember.empty() && fs::exists(ExpectedDescription(row)) && error.empty()) {
            std::string stored = row.descMember;
            std::replace(stored.begin(), stored.end(), '/', '\\');
            if (row.format == "zoo") stored = stored.substr(stored.rfind('\\') + 1);
            bool seen = false;
            for (const std::string& line : Split(r.out, '\n')) {
                const auto f = Split(line, '\t');
                if (f.size() < 2 || f[0] != stored || seen) continue;
                seen = true;
                if (row.path != "zoo/ZOODEL.ZOO") {  // the first copy is the deleted one
                    EXPECT_EQ(std::stoull(f[1]), fs::file_size(ExpectedDescription(row)))
                        << row.path;
                }
            }
            EXPECT_TRUE(seen) << row.path << " " << stored;
        }
    }
}

// Archives whose description Scan I does not take as the oracles did.
struct DescNote {
    enum Kind { Fails, MayFail } kind;
    std::string message;  // for Fails: stderr (empty: any text)
};

const std::map<std::string, DescNote>& DescNotes() {
    static const std::map<std::string, DescNote> notes = {
        // Scan I asks for no passwords.
        {"zip/CRYPT.ZIP", {DescNote::Fails, "Passwort fehlgeschlagen"}},
        {"arj/CRYPT.ARJ", {DescNote::Fails, ""}},
        // Damaged data, damaged directory.
        {"misc/BADDEFL.ZIP",
         {DescNote::Fails,
          "Fehler bei der CRC \xC3\x9C"
          "berpr\xC3\xBC"
          "fung"}},
        {"misc/TRUNC.ZIP", {DescNote::Fails, "Header ID Fehler"}},
    };
    return notes;
}

// What Scan I takes from each archive. Rows whose type has no reader yet are
// passed over, so each format joins when its reader lands.
TEST_F(CliCorpusTest, DescriptionsAreTheExtractedBytes) {
    int compared = 0;
    for (const ManifestRow& row : ReadManifest()) {
        const std::string path = (test::CorpusDir() / row.path).string();
        const archive::TArcType type = archive::DetectArcType(path, 0).type;
        const archive::DescriptionSource source = archive::FormatOf(type).description;
        if (source == archive::DescriptionSource::Reader && !archive::MakeReader(type)) continue;
        const RunResult r = Run("desc --info-files FILE_ID.DIZ,DESC.SDI '" + path + "'");
        const auto note = DescNotes().find(row.path);
        // Readers other than ZOO's match the whole stored name against the
        // name the lister found, so a description in a folder stays inside.
        const bool inFolder = row.descMember.find_first_of("/\\") != std::string::npos;
        const bool hasBytes = source != archive::DescriptionSource::None &&
                              !row.descMember.empty() && fs::exists(ExpectedDescription(row)) &&
                              (!inFolder || row.format == "zoo");
        if (note != DescNotes().end() && note->second.kind == DescNote::Fails) {
            EXPECT_EQ(r.status, 1) << row.path;
            if (!note->second.message.empty()) {
                EXPECT_EQ(r.err, note->second.message + "\n") << row.path;
            }
        } else if (row.path == "zip/TWODIZ.ZIP") {
            // DOC/FILE_ID.DIZ comes first, but only the root FILE_ID.DIZ matches.
            EXPECT_EQ(r.status, 0) << row.path;
            EXPECT_NE(r.out, ReadAll(ExpectedDescription(row))) << row.path;
            EXPECT_THAT(r.out, HasSubstr("TWODIZ")) << row.path;
        } else if (hasBytes && (r.status == 0 || note == DescNotes().end())) {
            EXPECT_EQ(r.status, 0) << row.path << ": " << r.err;
            EXPECT_EQ(r.out, ReadAll(ExpectedDescription(row))) << row.path;
            ++compared;
        } else {
            EXPECT_EQ(r.status, 1) << row.path;
            EXPECT_EQ(r.out, "") << row.path;
        }
    }
    EXPECT_GE(compared, 30) << "ZIP, ARC and CAB descriptions at least";
}

}  // namespace
}  // namespace lumora
