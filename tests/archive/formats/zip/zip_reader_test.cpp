// The ZIP reader: the corpus archives whole and byte for byte, damaged
// corpus files, the member protocol (event order, skipped entries, existing
// files, passwords, progress) and crafted archives (planted links, records
// pointing outside the file, damaged data, permission bits, dates).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <set>

#include "archive/archive_test_support.h"
#include "archive/corpus_manifest.h"
#include "archive/formats/zip/un_zip.h"
#include "support/builders/zip_builder.h"

namespace lumora::archive::test {
namespace {

using Lines = std::vector<std::string>;
using Codes = std::vector<int>;

class ZipReaderTest : public ReaderTest {
protected:
    void ExtractZip(const std::string& bytes, const std::string& spec = "*.*") {
        Run(z, Write("T.ZIP", bytes), spec);
    }

    TUnZIP z;
};

// ---- The corpus ----

// Every intact Stored/Deflate corpus ZIP (plain or after a stub; passwords
// from the notes) extracts whole without a report, and its description
// alone matches the expected bytes. A spanned archive is no ZIP of its own.
TEST_F(ZipReaderTest, CorpusArchivesExtractWholeAndByteForByte) {
    LUMORA_REQUIRE_CORPUS();
    int described = 0;
    for (const CorpusRow& r : CorpusRowsOf({"zip", "sfx-zip"})) {
        bool plain = !r.methods.empty() && !r.Damaged() && r.path != "zip/SPLIT.ZIP";
        for (const auto& m : SplitText(r.methods, ',')) plain &= m == "stored" || m == "deflate";
        if (!plain) continue;
        SCOPED_TRACE(r.path);
        // The notes name a password as: password "TEXT".
        z.Passwords.clear();
        const std::string mark = "password \"";
        if (const auto at = r.notes.find(mark); at != std::string::npos) {
            const auto from = at + mark.size();
            z.Passwords.push_back(r.notes.substr(from, r.notes.find('"', from) - from));
        }
        Reset();
        storedDirs = true;
        Run(z, CorpusDir() / r.path);
        EXPECT_EQ(log.codes, Codes{});
        std::set<std::string> expected;
        for (const auto& m : SplitText(r.members, '|')) {
            if (!m.empty() && m.back() != '/') expected.insert(m);
        }
        const Lines files = OutFiles();
        EXPECT_EQ(std::set<std::string>(files.begin(), files.end()), expected);
        EXPECT_EQ(extracted, static_cast<int>(expected.size()));
        if (r.descSha.empty()) continue;
        Reset();
        storedDirs = false;
        Run(z, CorpusDir() / r.path, r.descMember);
        EXPECT_EQ(log.codes, Codes{});
        const std::string name = fs::path(r.descMember).filename();
        EXPECT_EQ(Out(name), ReadFile(CorpusDir() / "expected" / r.path / name));
        ++described;
    }
    EXPECT_GE(described, 20);
}

// Damaged corpus files report their codes; the intact member of one is whole.
TEST_F(ZipReaderTest, DamagedCorpusFilesReportTheirCodes) {
    LUMORA_REQUIRE_CORPUS();
    const std::pair<const char*, Lines> cases[] = {
        {"misc/TRUNC.ZIP", {"Error 25202 TRUNC.ZIP", "Deactivate"}},
        {"misc/NOTAZIP.ZIP", {"Error 25139 NOTAZIP.ZIP", "Deactivate"}},
        {"misc/ZEROLEN.ZIP", {"Error 25139 ZEROLEN.ZIP", "Deactivate"}},
        {"misc/EMPTY.ZIP", {"Error 25139 EMPTY.ZIP", "Deactivate"}},
        {"zip/SPLIT.ZIP", {"Error 25139 SPLIT.ZIP", "Deactivate"}},
        {"misc/BADDEFL.ZIP",
         {"Activate", "Begin README.TXT 1", "End README.TXT pass", "Begin FILE_ID.DIZ 2",
          "Error 25117 FILE_ID.DIZ", "End FILE_ID.DIZ fail", "Deactivate"}},
    };
    for (const auto& [path, events] : cases) {
        SCOPED_TRACE(path);
        Run(z, CorpusDir() / path);
        EXPECT_EQ(log.lines, events);
    }
    EXPECT_EQ(Out("README.TXT").size(), 6144u);
}

// ---- The member protocol ----

// Begin and End for each member in order; members of exactly one output
// buffer (32 KB) and above 64 KB come out whole.
TEST_F(ZipReaderTest, EventOrderOverAWholeRun) {
    std::string data(32768, '\0');
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
    ZipBuilder zb;
    zb.Add(Member("A.TXT", "alpha"))
        .Add(Member("B.TXT", std::string(70000, 'b'), 8))
        .Add(Member("S.DAT", data))
        .Add(Member("D.DAT", data, 8));
    ExtractZip(zb.Build());
    EXPECT_EQ(log.lines, (Lines{"Activate", "Begin A.TXT 1", "End A.TXT pass", "Begin B.TXT 2",
                                "End B.TXT pass", "Begin S.DAT 3", "End S.DAT pass",
                                "Begin D.DAT 4", "End D.DAT pass", "Deactivate"}));
    EXPECT_EQ(Out("A.TXT"), "alpha");
    EXPECT_EQ(Out("B.TXT"), std::string(70000, 'b'));
    EXPECT_TRUE(Out("S.DAT") == data);
    EXPECT_TRUE(Out("D.DAT") == data);
    EXPECT_EQ(extracted, 4);
}

// Folders, volume labels and members not matching (the whole stored path
// is compared) are passed over; nothing extracted reports 26999.
TEST_F(ZipReaderTest, FoldersLabelsAndMembersNotMatchingAreSkipped) {
    ZipBuilder zb;
    auto dir = Member("DATA/", "");
    dir.externalAttrs = 0x10;
    auto label = Member("DISK1", "");
    label.externalAttrs = 0x08;
    zb.Add(dir).Add(label).Add(Member("DATA/X.DAT", "x")).Add(Member("DATA/", ""));
    ExtractZip(zb.Build());
    EXPECT_EQ(log.lines, (Lines{"Activate", "Begin X.DAT 1", "End X.DAT pass", "Deactivate"}));
    ExtractZip(zb.Build(), "X.DAT");
    EXPECT_EQ(log.lines, (Lines{"Activate", "Error 26999 T.ZIP", "Deactivate"}));
}

// Passwords come from the list (the check byte from the CRC or, with a data
// descriptor, the time) or are asked for until one passes, which is then
// kept for the next member; failures report and write nothing.
TEST_F(ZipReaderTest, Passwords) {
    auto encrypted = [](const std::string& name, const std::string& data, std::uint16_t flags) {
        auto m = Member(name, data, 8);
        m.password = "pw";
        m.flags = flags;
        return m;
    };
    ZipBuilder two, one;
    two.Add(encrypted("A.TXT", "secret data", 0)).Add(encrypted("B.TXT", "more", 0x08));
    one.Add(encrypted("A.TXT", "one", 0));
    z.Passwords = {"wrong", "pw"};
    ExtractZip(two.Build());
    EXPECT_EQ(log.codes, Codes{});
    EXPECT_EQ(Out("A.TXT"), "secret data");
    EXPECT_EQ(Out("B.TXT"), "more");
    struct Case {
        const char* what;
        const ZipBuilder& zip;
        Lines answers;  // "": the user gives up
        Codes codes;
        bool written;
    };
    const Case cases[] = {
        {"asked until it passes", two, {"nope", "pw"}, {ecode::InvalidPassword}, true},
        {"no handler", one, {}, {ecode::EventNotAssigned}, false},
        {"wrong three times", one, {"bad", "bad", "bad"}, {26517, 26517, 26517, 26522}, false},
        {"given up", one, {""}, {ecode::PasswordFailed}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Reset();
        z.Passwords.clear();
        std::size_t asked = 0;
        z.OnGetPassword = nullptr;
        if (!c.answers.empty()) {
            z.OnGetPassword = [&](TZipCommon&, const std::string&, std::string& pw, bool& again) {
                pw = c.answers.at(std::min(asked++, c.answers.size() - 1));
                again = !pw.empty();
            };
        }
        ExtractZip(c.zip.Build());
        EXPECT_EQ(asked, c.answers.size());
        EXPECT_EQ(log.codes, c.codes);
        EXPECT_EQ(OutFiles().size(), c.written ? 2u : 0u);
        if (c.written) {
            EXPECT_EQ(z.Passwords, Lines{"pw"});
        }
    }
}

// Progress of a stored member at every change (one per 32 KB), of a
// Deflate member in the chosen steps, ending at 100.
TEST_F(ZipReaderTest, Progress) {
    std::vector<int> seen;
    z.OnProgress = [&](TZipCommon&, const std::string&, std::uint8_t p) { seen.push_back(p); };
    ZipBuilder stored, deflate;
    stored.Add(Member("BIG.DAT", std::string(102400, 'x')));
    ExtractZip(stored.Build());
    EXPECT_EQ(seen, (std::vector<int>{32, 64, 96, 100}));
    seen.clear();
    deflate.Add(Member("BIG.DAT", std::string(300000, 'x'), 8));
    z.ProgressNotify = TProgressNotify::Twenty;
    ExtractZip(deflate.Build());
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), 100);
    for (int p : seen) EXPECT_EQ(p % 20, 0) << p;
}

// ---- Crafted archives ----

// Links planted in the folder, to a file or for a folder, are never
// written through.
TEST_F(ZipReaderTest, PlantedLinksAreNeverWrittenThrough) {
    WriteFile(Path("target.txt"), "keep");
    fs::create_directories(Path("out"));
    fs::create_symlink(Path("target.txt"), Path("out/FILE_ID.DIZ"));
    fs::create_directories(Path("elsewhere"));
    fs::create_directory_symlink(Path("elsewhere"), Path("out/DOC"));
    ZipBuilder zb;
    zb.Add(Member("FILE_ID.DIZ", "new")).Add(Member("DOC/README.TXT", "doc"));
    storedDirs = true;
    ExtractZip(zb.Build());
    EXPECT_EQ(ReadFile(Path("target.txt")), "keep");
    EXPECT_FALSE(fs::is_symlink(Path("out/FILE_ID.DIZ")));
    EXPECT_EQ(Out("FILE_ID.DIZ"), "new");
    EXPECT_TRUE(fs::is_empty(Path("elsewhere")));
    // The output under the link cannot be made: the run ends silently.
    EXPECT_EQ(log.lines.back(), "Deactivate");
    EXPECT_EQ(log.codes, Codes{});
}

// Offsets and lengths pointing outside the file, a wrong local signature
// and an end record beyond the last 32 KB report their codes.
TEST_F(ZipReaderTest, RecordsPointingOutsideTheFile) {
    ZipBuilder zb;
    zb.Add(Member("A.TXT", "alpha")).Add(Member("B.TXT", "beta"));
    const std::string good = zb.Build();
    const std::size_t central = good.find("PK\x01\x02");
    const std::size_t second = good.find("PK\x01\x02", central + 4);
    struct Case {
        const char* what;
        std::size_t at;
        std::string bytes;
        bool first;         // A.TXT is extracted before
        const char* error;  // the report, if any
    };
    const Case cases[] = {
        {"directory offset", good.size() - 6, "\xFF\xFF\xFF\x7F", false, "Error 25137 T.ZIP"},
        {"name length", second + 28, "\xFF\xFF", true, "Error 25135 T.ZIP"},
        {"local offset", second + 42, std::string("\0\0\0\x40", 4), true, "Error 25145 B.TXT"},
        {"comment length", central + 32, "\xFF\xFF", true, nullptr},
        {"local signature", 0, "PK\x05\x06", false, "Error 25139 T.ZIP"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string bad = good;
        bad.replace(c.at, c.bytes.size(), c.bytes);
        ExtractZip(bad);
        Lines events;
        if (c.first) events = {"Activate", "Begin A.TXT 1", "End A.TXT pass"};
        if (c.error) events.push_back(c.error);
        events.push_back("Deactivate");
        EXPECT_EQ(log.lines, events);
    }
    zb.comment = std::string(32768 - 22 + 1, 'c');
    ExtractZip(zb.Build());
    EXPECT_EQ(log.lines, (Lines{"Error 25202 T.ZIP", "Deactivate"}));
}

// Damaged data or an unknown method ends the member with a CRC error
// (unknown methods with a box too), keeps what was decoded, and the walk
// goes on.
TEST_F(ZipReaderTest, DamagedDataEndsTheMemberWithACrcWarning) {
    const std::string data(50000, 'd');
    std::string changed = data;
    changed[100] = 'x';
    const std::string deflate = DeflateStored(data);
    const std::tuple<const char*, std::uint16_t, std::string, bool, std::size_t> cases[] = {
        {"stream cut short", 8, deflate.substr(0, 20000), false, 20000 - 5},
        {"block type 3", 8, "\x07\x00", false, 0},
        {"stored length", 8, std::string("\x01\x05\x00\x00\x00", 5), false, 0},
        {"Deflate64 block type 3", 9, "whatever", false, 0},
        {"method 14", 14, "whatever", true, 0},
        {"method 12", 12, "whatever", true, 0},
        {"stored cut short", 0, data.substr(0, 1000), false, 1000},
        {"stored bytes changed", 0, changed, false, 50000},
    };
    for (const auto& [what, method, raw, box, size] : cases) {
        SCOPED_TRACE(what);
        auto m = Member("D.DAT", data, method);
        m.raw = raw;
        ZipBuilder zb;
        zb.Add(m).Add(Member("NEXT.TXT", "next"));
        ExtractZip(zb.Build());
        EXPECT_EQ(log.boxes, box ? Lines{"Nicht unterst\xFCtzte Kompressionsmethode"} : Lines{});
        EXPECT_EQ(log.codes, Codes{ecode::CrcError});
        EXPECT_EQ(fs::file_size(Path("out/D.DAT")), size);
        EXPECT_EQ(Out("NEXT.TXT"), "next");
        EXPECT_NE(std::find(log.lines.begin(), log.lines.end(), "End D.DAT fail"), log.lines.end());
    }
}

// Of the stored attributes only the DOS read-only bit is applied (no
// execute, setuid or Unix write bits); the stored local date and time are
// set, or the time of writing with CurDate.
TEST_F(ZipReaderTest, AttributesAndDates) {
    auto ro = Member("RO.TXT", "r");
    ro.externalAttrs = 0x81ED0001;  // Unix 0755 and the DOS read-only bit
    auto suid = Member("SUID.TXT", "s");
    suid.externalAttrs = 0x8DED0020;  // Unix 04755 (setuid, execute)
    ZipBuilder zb;
    zb.Add(ro).Add(suid);  // 1995-12-14 11:16:00 local time
    ExtractZip(zb.Build());
    struct stat st {};
    ASSERT_EQ(::stat(Path("out/RO.TXT").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0333, 0u);
    ASSERT_EQ(::stat(Path("out/SUID.TXT").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & (S_ISUID | S_ISGID | 0111), 0u);
    EXPECT_NE(st.st_mode & 0200, 0u);
    std::tm tm{};
    localtime_r(&st.st_mtime, &tm);
    EXPECT_EQ((std::vector<int>{tm.tm_year, tm.tm_mon, tm.tm_mday, tm.tm_hour, tm.tm_min}),
              (std::vector<int>{95, 11, 14, 11, 16}));
    Reset();
    z.SetDateTo = TSetDate::CurDate;
    ExtractZip(zb.Build());
    ASSERT_EQ(::stat(Path("out/SUID.TXT").c_str(), &st), 0);
    EXPECT_GT(st.st_mtime, std::time(nullptr) - 3600);
}

}  // namespace
}  // namespace lumora::archive::test
