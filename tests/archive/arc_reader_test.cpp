// The ARC reader: the corpus and archives made by the arc program extract
// whole, and hand-built archives show the member walk (short headers, the
// marker search, skipped and damaged members, the output limit, names that
// try to leave the extraction folder, PAK and ARC inside an executable).
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <random>
#include <set>

#include "archive/crc.h"
#include "archive/error_codes.h"
#include "archive/reader_factory.h"
#include "archive/un_arc.h"
#include "cabarc_test_support.h"

namespace lumora::archive {
namespace {

namespace fs = std::filesystem;
using cabarc::Put16;
using cabarc::Put32;

struct ArcMember {
    std::string name;
    int method = 2;
    std::string data;                 // the original bytes
    std::optional<std::string> body;  // the stored data when it differs from `data`
    std::optional<std::uint16_t> crc;
    std::string junk;  // bytes before the header
};

ArcMember Stored(std::string name, std::string data) {
    return {std::move(name), 2, std::move(data), std::nullopt, std::nullopt, ""};
}

ArcMember Coded(std::string name, int method, std::string body, std::string data) {
    return {std::move(name), method, std::move(data), std::move(body), std::nullopt, ""};
}

std::uint16_t Crc(const std::string& data) {
    Crc16 crc(0);
    crc.Update(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
    return crc.Value();
}

constexpr std::uint32_t kDosDate = 0x1F8E5A00;  // 1995-12-14 11:16

std::string BuildArc(const std::vector<ArcMember>& members, bool endMarker = true) {
    std::string a;
    for (const ArcMember& m : members) {
        const std::string body = m.body.value_or(m.data);
        a += m.junk;
        a += '\x1A';
        a += static_cast<char>(m.method);
        std::string name = m.name.substr(0, 13);
        name.resize(13, '\0');
        a += name;
        Put32(a, static_cast<std::uint32_t>(body.size()));
        Put16(a, kDosDate >> 16);
        Put16(a, kDosDate & 0xFFFF);
        Put16(a, m.crc.value_or(Crc(m.data)));
        if (m.method != 1) Put32(a, static_cast<std::uint32_t>(m.data.size()));
        a += body;
    }
    if (endMarker) a += std::string("\x1A\x00", 2);
    return a;
}

class ArcReaderTest : public test::TempDirTest {
protected:
    // Extracts `spec` from the archive at `path` into out/; the events go to log_.
    void Extract(const fs::path& path, const std::string& spec = "*.*") {
        TUnARC r;
        Configure(r);
        r.SetArchiveFile(path.string());
        r.SetFileSpec(spec);
        r.Extract();
        extracted_ = r.ExtractedCount();
    }
    void ExtractBytes(const std::string& archive, const std::string& spec = "*.*") {
        test::WriteFile(Path("A.ARC"), archive);
        Extract(Path("A.ARC"), spec);
    }
    void Configure(TUnARC& r) {
        log_.Attach(r);
        r.OnBegin = [this](TZipCommon&, const std::string& fn, int n, bool& ok) {
            log_.lines.push_back("Begin " + fs::path(fn).filename().string() + " " +
                                 std::to_string(n));
            ok = refuse_.count(fs::path(fn).filename().string()) == 0;
        };
        r.SetExtractDir(Path("out").string());
        r.MaxOutputBytes = limit_;
        r.UseStoredDirs = storedDirs_;
    }
    std::string Out(const std::string& name) { return test::ReadFile(Path("out/" + name)); }

    test::EventLog log_;
    std::set<std::string> refuse_;
    std::uint64_t limit_ = 0;
    bool storedDirs_ = false;
    int extracted_ = 0;
};

using Lines = std::vector<std::string>;

// ---- Real archives ----

TEST_F(ArcReaderTest, CorpusArchivesExtractWithEveryCrcPassing) {
    LUMORA_REQUIRE_CORPUS();
    const auto archives = cabarc::CorpusArchives({"arc", "pak"});
    ASSERT_GE(archives.size(), 6u);
    for (const auto& a : archives) {
        SCOPED_TRACE(a.path);
        log_ = {};
        fs::remove_all(Path("out"));
        Extract(test::CorpusDir() / a.path);
        const bool pak = a.path.ends_with(".PAK");
        for (int code : log_.codes) {
            // PAK's own methods (crushed) are not ARC's.
            EXPECT_TRUE(pak && (code == ecode::UnsupportedMethod || code == ecode::FileSkipped))
                << code;
        }
        EXPECT_EQ(std::count(log_.lines.begin(), log_.lines.end(), "Activate"), 1);
        for (const auto& line : log_.lines) EXPECT_FALSE(line.ends_with(" fail")) << line;
        if (!a.descMember.empty()) {
            const fs::path expected = test::CorpusDir() / "expected" / a.path / a.descMember;
            EXPECT_EQ(Out(a.descMember), test::ReadFile(expected));
        }
    }
}

TEST_F(ArcReaderTest, ArchivesOfTheArcProgramExtractByteForByte) {
    if (!cabarc::HaveTool("arc")) GTEST_SKIP() << "the arc program is not installed";
    std::mt19937 rng(3);
    std::map<std::string, std::string> files;
    const char* const words[] = {"the ", "list ", "of ", "files ", "BBS ", "\r\n", "desc "};
    for (int i = 0; i < 20000; ++i) files["TEXT.TXT"] += words[rng() % 7];
    for (int i = 0; i < 5000; ++i) files["RANDOM.BIN"] += static_cast<char>(rng());
    for (int i = 0; i < 6000; ++i) files["SKEW.DAT"] += "EEEEEEEETTTTTAAAOOINSHR"[rng() % 23];
    files["PACK.DAT"] = std::string(121, 'A') + "B";
    files["EMPTY.TXT"] = "";
    fs::create_directories(Path("src"));
    std::string names;
    for (const auto& [name, data] : files) {
        test::WriteFile(Path("src/" + name), data);
        names += " " + name;
    }
    const std::string cd = "cd '" + Path("src").string() + "' && arc ";
    ASSERT_TRUE(cabarc::Run(cd + "a ../BEST.ARC" + names));
    ASSERT_TRUE(cabarc::Run(cd + "aq ../SQUASH.ARC" + names));
    for (const char* archive : {"BEST.ARC", "SQUASH.ARC"}) {
        SCOPED_TRACE(archive);
        fs::remove_all(Path("out"));
        log_ = {};
        Extract(Path(archive));
        EXPECT_TRUE(log_.codes.empty());
        for (const auto& [name, data] : files) EXPECT_TRUE(Out(name) == data) << name;
    }
    // The methods the fixtures were meant to cover: stored, packed,
    // squeezed, crunched and squashed.
    std::set<int> methods;
    for (const char* archive : {"BEST.ARC", "SQUASH.ARC"}) {
        const std::string a = test::ReadFile(Path(archive));
        for (std::size_t p = 0; p + 29 <= a.size() && a[p] == '\x1A' && a[p + 1] != 0;) {
            methods.insert(a[p + 1]);
            std::uint32_t packed = 0;
            for (int k = 3; k >= 0; --k)
                packed = packed << 8 | static_cast<std::uint8_t>(a[p + 15 + k]);
            p += 29 + packed;
        }
    }
    EXPECT_EQ(methods, (std::set<int>{2, 3, 4, 8, 9}));
}

// ---- The member walk ----

TEST_F(ArcReaderTest, ShortHeaderRunLengthAndEmptySqueeze) {
    ExtractBytes(BuildArc({
        Stored("OLD.TXT", "method one"),
        Coded("RUN.TXT", 3, "\x41\x90\x05", "AAAAA"),
        Coded("MARK.TXT", 3, std::string("\x90\x00", 2), "\x90"),
        Coded("EMPTY.TXT", 4, std::string(2, '\0'), ""),
        Stored("FILE_ID.DIZ", "the description"),
    }));
    EXPECT_EQ(Out("OLD.TXT"), "method one");
    EXPECT_EQ(Out("RUN.TXT"), "AAAAA");
    EXPECT_EQ(Out("MARK.TXT"), "\x90");
    EXPECT_TRUE(fs::exists(Path("out/EMPTY.TXT")));
    EXPECT_EQ(Out("EMPTY.TXT"), "");
    EXPECT_EQ(Out("FILE_ID.DIZ"), "the description");
    EXPECT_TRUE(log_.codes.empty());
    EXPECT_EQ(extracted_, 5);

    ArcMember old = Stored("OLD.TXT", "method one");
    old.method = 1;
    fs::remove_all(Path("out"));
    log_ = {};
    ExtractBytes(BuildArc({old, Stored("FILE_ID.DIZ", "after the short header")}));
    EXPECT_EQ(Out("OLD.TXT"), "method one");
    EXPECT_EQ(Out("FILE_ID.DIZ"), "after the short header");
    EXPECT_TRUE(log_.codes.empty());
}

TEST_F(ArcReaderTest, EventsAndReportsOfTheWalk) {
    ArcMember badCrc = Stored("BADCRC.TXT", "damaged");
    badCrc.crc = 0x1234;
    ArcMember noLead = Coded("NOLEAD.TXT", 8, "\x0B\x41\x00", "A");
    ArcMember junk10 = Stored("JUNK10.TXT", "after ten junk bytes");
    junk10.junk = std::string(10, 'x');
    struct Case {
        const char* what;
        std::vector<ArcMember> members;
        std::string spec;
        Lines events;
        Lines files;  // written, besides NEXT.TXT
    };
    const Case cases[] = {
        {"CRC mismatch: the walk goes on behind the member's data",
         {badCrc, Stored("NEXT.TXT", "next")},
         "*.*",
         {"Activate", "Begin BADCRC.TXT 0", "Error 25117 BADCRC.TXT", "Error 26900 BADCRC.TXT",
          "End BADCRC.TXT fail", "Begin NEXT.TXT 0", "End NEXT.TXT pass", "Deactivate"},
         {"BADCRC.TXT"}},
        {"method 8 without its leading 12: skipped without the decoder's code",
         {noLead, Stored("NEXT.TXT", "next")},
         "*.*",
         {"Activate", "Begin NOLEAD.TXT 0", "Error 26900 NOLEAD.TXT", "End NOLEAD.TXT fail",
          "Begin NEXT.TXT 0", "End NEXT.TXT pass", "Deactivate"},
         {"NOLEAD.TXT"}},
        {"unknown method",
         {Coded("CRUSH.TXT", 10, "xyz", "?"), Stored("NEXT.TXT", "next")},
         "*.*",
         {"Activate", "Error 25200 CRUSH.TXT", "Error 26900 CRUSH.TXT", "Begin NEXT.TXT 0",
          "End NEXT.TXT pass", "Deactivate"},
         {}},
        {"members not matching are skipped under their own names",
         {Stored("README.TXT", "r"), Stored("NEXT.TXT", "next"), Stored("OTHER.TXT", "o")},
         "NEXT.TXT",
         {"Activate", "Error 26900 README.TXT", "Begin NEXT.TXT 0", "End NEXT.TXT pass",
          "Error 26900 OTHER.TXT", "Deactivate"},
         {}},
        {"RecNum counts the members extracted before",
         {Stored("ONE.TXT", "1"), Stored("NEXT.TXT", "next")},
         "*.*",
         {"Activate", "Begin ONE.TXT 0", "End ONE.TXT pass", "Begin NEXT.TXT 1",
          "End NEXT.TXT pass", "Deactivate"},
         {"ONE.TXT"}},
        {"refused by OnBegin",
         {Stored("REFUSE.TXT", "r"), Stored("NEXT.TXT", "next")},
         "*.*",
         {"Activate", "Begin REFUSE.TXT 0", "Error 26900 REFUSE.TXT", "Begin NEXT.TXT 0",
          "End NEXT.TXT pass", "Deactivate"},
         {}},
        {"ten junk bytes before a header are passed over",
         {Stored("ONE.TXT", "1"), junk10},
         "JUNK10.TXT",
         {"Activate", "Error 26900 ONE.TXT", "Begin JUNK10.TXT 0", "End JUNK10.TXT pass",
          "Deactivate"},
         {"JUNK10.TXT"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(Path("out"));
        log_ = {};
        refuse_ = {"REFUSE.TXT"};
        ExtractBytes(BuildArc(c.members), c.spec);
        EXPECT_EQ(log_.lines, c.events);
        Lines files = test::FilesBelow(Path("out"));
        Lines expected = c.files;
        if (c.spec == "*.*" || c.spec == "NEXT.TXT") expected.push_back("NEXT.TXT");
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(files, expected);
    }
    EXPECT_EQ(Out("JUNK10.TXT"), "after ten junk bytes");
}

TEST_F(ArcReaderTest, ElevenJunkBytesEndTheWalk) {
    ArcMember late = Stored("LATE.TXT", "never reached");
    late.junk = std::string(11, 'x');
    ExtractBytes(BuildArc({Stored("ONE.TXT", "1"), late}));
    EXPECT_EQ(log_.lines, (Lines{"Activate", "Begin ONE.TXT 0", "End ONE.TXT pass",
                                 "Error 25139 A.ARC", "Deactivate"}));
    EXPECT_FALSE(fs::exists(Path("out/LATE.TXT")));
}

TEST_F(ArcReaderTest, DamagedArchivesEnd) {
    struct Case {
        const char* what;
        std::string bytes;
        Lines codes;
    };
    // The data ends before the size the header claims.
    std::string bigClaim = BuildArc({Coded("BIG.TXT", 2, "short", "short and more")}, false);
    bigClaim[15] = '\xFF', bigClaim[16] = '\xFF', bigClaim[17] = '\x0F';  // 1 MB packed
    const Case cases[] = {
        {"no end marker", BuildArc({Stored("ONE.TXT", "1")}, false), {}},
        {"header cut short", BuildArc({Stored("ONE.TXT", "1")}, false) + "\x1A\x02NAME", {"25139"}},
        {"data claimed beyond the file", bigClaim, {"25117", "26900"}},
        {"empty file", "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        log_ = {};
        fs::remove_all(Path("out"));
        test::WriteFile(Path("D.ARC"), c.bytes);
        TUnARC r;
        Configure(r);
        r.SetArchiveFile(Path("D.ARC").string());
        if (c.bytes.empty()) {
            EXPECT_EQ(r.ArcType(), atFileError);
            r.Extract();
            EXPECT_EQ(log_.codes, std::vector<int>{ecode::BadArchive});
            continue;
        }
        r.Extract();
        Lines codes;
        for (int code : log_.codes) codes.push_back(std::to_string(code));
        EXPECT_EQ(codes, c.codes);
    }
}

// Archives of the arc program with random bytes changed end, whatever they claim.
TEST_F(ArcReaderTest, RandomlyDamagedArchivesEnd) {
    LUMORA_REQUIRE_CORPUS();
    std::mt19937 rng(9);
    for (const char* name : {"GAME1.ARC", "GAME3.ARC", "TOOLS.ARC"}) {
        const std::string original = test::ReadFile(test::CorpusDir() / "arc" / name);
        for (int round = 0; round < 60; ++round) {
            std::string a = original;
            for (int k = 0; k < 6; ++k) a[rng() % a.size()] = static_cast<char>(rng());
            a[0] = '\x1A';
            log_ = {};
            fs::remove_all(Path("out"));
            limit_ = 1 << 20;
            ExtractBytes(a);
            ASSERT_EQ(log_.lines.back(), "Deactivate");
        }
    }
}

TEST_F(ArcReaderTest, OutputLimitCutsARunLengthBomb) {
    std::string bomb = "A";
    for (int i = 0; i < 4000; ++i) bomb += "\x90\xFF";
    limit_ = 10000;
    ExtractBytes(BuildArc({Coded("BOMB.TXT", 3, bomb, "?")}));
    EXPECT_EQ(Out("BOMB.TXT"), std::string(10000, 'A'));
    EXPECT_EQ(log_.lines,
              (Lines{"Activate", "Begin BOMB.TXT 0", "End BOMB.TXT pass", "Deactivate"}));
}

TEST_F(ArcReaderTest, NamesStayInsideTheExtractionFolder) {
    for (bool stored : {false, true}) {
        SCOPED_TRACE(stored);
        storedDirs_ = stored;
        fs::remove_all(Path("out"));
        ExtractBytes(BuildArc({Stored("..\\..\\EVIL", "x"), Stored("/ETC/PASSWD", "y"),
                               Stored("ABCDEFGHIJKLM", "thirteen")}));
        const Lines expected =
            stored ? Lines{"A.ARC", "out/ABCDEFGHIJKLM", "out/ETC/PASSWD", "out/EVIL"}
                   : Lines{"A.ARC", "out/ABCDEFGHIJKLM", "out/EVIL", "out/PASSWD"};
        EXPECT_EQ(test::FilesBelow(root_), expected);
        EXPECT_EQ(Out("EVIL"), "x");
        EXPECT_EQ(Out("ABCDEFGHIJKLM"), "thirteen");
    }
}

// ---- Types ----

TEST_F(ArcReaderTest, ArcInsideAnExecutableAndPak) {
    // An MS-DOS image of 512 bytes, then an ARC whose first member is
    // crunched (1A 08): found after the image.
    std::string stub(512, '\0');
    stub[0] = 'M', stub[1] = 'Z';
    stub[4] = 2;  // two pages, the last one full
    // "HI" as 9-bit codes after the leading 12: 0x48, 0x49.
    const std::string hi = std::string("\x0C\x48\x92\x00", 4);
    test::WriteFile(Path("SFX.EXE"),
                    stub + BuildArc({Coded("HI.TXT", 8, hi, "HI"), Stored("FILE_ID.DIZ", "d")}));
    TUnARC r;
    Configure(r);
    r.SetArchiveFile(Path("SFX.EXE").string());
    EXPECT_EQ(r.ArcType(), atArcExe);
    r.Extract();
    EXPECT_TRUE(log_.codes.empty());
    EXPECT_EQ(Out("HI.TXT"), "HI");
    EXPECT_EQ(Out("FILE_ID.DIZ"), "d");

    // PAK archives go through the same reader; their own methods are reported.
    log_ = {};
    test::WriteFile(Path("P.PAK"), BuildArc({Coded("CRUSH.TXT", 10, "zz", "?"),
                                             Stored("FILE_ID.DIZ", "pak description")}));
    auto reader = MakeReader(atPAK);
    ASSERT_NE(reader, nullptr);
    TUnARC p;
    Configure(p);
    p.SetArchiveFile(Path("P.PAK").string());
    EXPECT_EQ(p.ArcType(), atPAK);
    p.Extract();
    EXPECT_EQ(log_.codes, (std::vector<int>{ecode::UnsupportedMethod, ecode::FileSkipped}));
    EXPECT_EQ(Out("FILE_ID.DIZ"), "pak description");
}

TEST_F(ArcReaderTest, WrongTypeAndNameAreRefused) {
    TUnARC r;
    Configure(r);
    r.Extract();
    test::WriteFile(Path("Z.ZIP"), "PK\x03\x04 not an arc at all");
    r.SetArchiveFile(Path("Z.ZIP").string());
    r.Extract();
    EXPECT_EQ(log_.codes, (std::vector<int>{ecode::BadFileName, ecode::BadArchive}));
    EXPECT_EQ(std::count(log_.lines.begin(), log_.lines.end(), "Deactivate"), 2);
}

}  // namespace
}  // namespace lumora::archive
