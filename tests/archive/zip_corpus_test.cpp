// The ZIP reader against the corpus: every Stored/Deflate ZIP yields the
// expected description bytes and extracts whole without a report; damaged
// files report their codes.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "archive/error_codes.h"
#include "archive/reader_factory.h"
#include "archive/un_zip.h"
#include "archive_test_support.h"

namespace lumora::archive {
namespace {

namespace fs = std::filesystem;

struct ManifestRow {
    std::string path, format, methods, members, descMember, descSha, notes;
};

std::vector<ManifestRow> ReadManifest() {
    std::vector<ManifestRow> rows;
    std::ifstream in(test::CorpusDir() / "MANIFEST.tsv");
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::istringstream f(line);
        ManifestRow r;
        std::string skip;
        std::getline(f, r.path, '\t');
        std::getline(f, r.format, '\t');
        std::getline(f, skip, '\t');
        std::getline(f, r.methods, '\t');
        std::getline(f, r.members, '\t');
        std::getline(f, r.descMember, '\t');
        std::getline(f, r.descSha, '\t');
        std::getline(f, skip, '\t');
        std::getline(f, r.notes, '\t');
        rows.push_back(r);
    }
    return rows;
}

std::vector<std::string> Split(const std::string& s, char sep) {
    std::vector<std::string> out;
    std::istringstream in(s);
    for (std::string part; std::getline(in, part, sep);) out.push_back(part);
    return out;
}

// Intact ZIP archives (plain or after a stub) whose members are all Stored or
// Deflate. A spanned archive (SPLIT.ZIP) is not read: its last part is no ZIP
// of its own.
std::vector<ManifestRow> StoredOrDeflateZips() {
    std::vector<ManifestRow> out;
    for (const auto& r : ReadManifest()) {
        if ((r.format != "zip" && r.format != "sfx-zip") || r.path == "zip/SPLIT.ZIP" ||
            r.notes.rfind("DAMAGED", 0) == 0) {
            continue;
        }
        bool ok = !r.methods.empty();
        for (const auto& m : Split(r.methods, ',')) ok = ok && (m == "stored" || m == "deflate");
        if (ok) out.push_back(r);
    }
    return out;
}

std::string PasswordOf(const ManifestRow& r) {
    std::smatch m;
    static const std::regex re("password \"([^\"]+)\"");
    return std::regex_search(r.notes, m, re) ? m[1].str() : "";
}

class ZipCorpusTest : public test::TempDirTest {
protected:
    void SetUp() override {
        test::TempDirTest::SetUp();
        LUMORA_REQUIRE_CORPUS();
    }

    void Prepare(TUnZIP& z, test::EventLog& log, const std::string& rel, const std::string& spec,
                 const std::string& dir) {
        log.Attach(z);
        z.SetArchiveFile((test::CorpusDir() / rel).string());
        z.SetExtractDir(Path(dir).string());
        z.SetFileSpec(spec);
    }
};

TEST_F(ZipCorpusTest, DescriptionsExtractByteForByte) {
    int checked = 0;
    for (const auto& r : StoredOrDeflateZips()) {
        if (r.descMember.empty() || r.descSha.empty()) continue;
        SCOPED_TRACE(r.path);
        TUnZIP z;
        test::EventLog log;
        Prepare(z, log, r.path, r.descMember, r.path);
        if (const std::string pw = PasswordOf(r); !pw.empty()) z.Passwords.push_back(pw);
        z.Extract();
        EXPECT_TRUE(log.codes.empty()) << log.codes.front();
        const std::string name = fs::path(r.descMember).filename();
        const auto expected = test::CorpusDir() / "expected" / r.path / name;
        EXPECT_EQ(test::ReadFile(Path(r.path) / name), test::ReadFile(expected));
        ++checked;
    }
    EXPECT_GE(checked, 20);
}

TEST_F(ZipCorpusTest, WholeArchivesExtractWithoutReports) {
    for (const auto& r : StoredOrDeflateZips()) {
        SCOPED_TRACE(r.path);
        TUnZIP z;
        test::EventLog log;
        Prepare(z, log, r.path, "*.*", r.path);
        z.UseStoredDirs = true;
        if (const std::string pw = PasswordOf(r); !pw.empty()) z.Passwords.push_back(pw);
        z.Extract();
        EXPECT_TRUE(log.codes.empty()) << log.codes.front();
        std::set<std::string> expected;
        for (const auto& m : Split(r.members, '|')) {
            if (!m.empty() && m.back() != '/') expected.insert(m);
        }
        const auto files = test::FilesBelow(Path(r.path));
        EXPECT_EQ(std::set<std::string>(files.begin(), files.end()), expected);
        EXPECT_EQ(z.ExtractedCount(), static_cast<int>(expected.size()));
    }
}

TEST_F(ZipCorpusTest, DamagedFilesReportTheirCodes) {
    struct Case {
        const char* path;
        TArcType type;
        std::vector<std::string> events;
    };
    const Case cases[] = {
        {"misc/TRUNC.ZIP", atZIP, {"Error 25202 TRUNC.ZIP", "Deactivate"}},
        {"misc/NOTAZIP.ZIP", atUnknown, {"Error 25139 NOTAZIP.ZIP", "Deactivate"}},
        {"misc/ZEROLEN.ZIP", atFileError, {"Error 25139 ZEROLEN.ZIP", "Deactivate"}},
        {"misc/EMPTY.ZIP", atUnknown, {"Error 25139 EMPTY.ZIP", "Deactivate"}},
        {"zip/SPLIT.ZIP", atUnknown, {"Error 25139 SPLIT.ZIP", "Deactivate"}},
        {"misc/BADDEFL.ZIP",
         atZIP,
         {"Activate", "Begin README.TXT 1", "End README.TXT pass", "Begin FILE_ID.DIZ 2",
          "Error 25117 FILE_ID.DIZ", "End FILE_ID.DIZ fail", "Deactivate"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        TUnZIP z;
        test::EventLog log;
        Prepare(z, log, c.path, "*.*", "out");
        EXPECT_EQ(z.ArcType(), c.type);
        z.Extract();
        EXPECT_EQ(log.lines, c.events);
    }
    // The intact member of the damaged archive is whole.
    EXPECT_EQ(test::ReadFile(Path("out/README.TXT")).size(), 6144u);
}

TEST_F(ZipCorpusTest, ReaderTableKnowsTheZipKinds) {
    for (TArcType t : {atZIP, atZipExe, atZip250, atZip250Exe}) {
        EXPECT_NE(dynamic_cast<TUnZIP*>(MakeReader(t).get()), nullptr) << ArcTypeName(t);
    }
    EXPECT_EQ(MakeReader(atUnknown), nullptr);
}

}  // namespace
}  // namespace lumora::archive
