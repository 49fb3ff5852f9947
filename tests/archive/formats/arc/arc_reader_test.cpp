// The ARC reader: the corpus and archives of the arc program extract whole;
// hand-built archives show the member walk (short headers, the marker
// search, skipped and damaged members) and ARC and PAK inside executables.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

#include "archive/archive_test_support.h"
#include "archive/corpus_manifest.h"
#include "archive/formats/arc/un_arc.h"
#include "support/builders/arc_builder.h"

namespace lumora::archive::test {
namespace {

using Lines = std::vector<std::string>;

class ArcReaderTest : public ReaderTest {};

// Every corpus member decodes with its CRC passing (PAK's own methods are
// reported as such) and the descriptions match the expected bytes.
TEST_F(ArcReaderTest, CorpusArchivesExtractWithEveryCrcPassing) {
    LUMORA_REQUIRE_CORPUS();
    const auto rows = CorpusRowsOf({"arc", "pak"});
    ASSERT_GE(rows.size(), 6u);
    for (const CorpusRow& a : rows) {
        SCOPED_TRACE(a.path);
        Reset();
        Extract(CorpusDir() / a.path);
        const bool pak = a.path.ends_with(".PAK");
        for (int code : log.codes) {
            EXPECT_TRUE(pak && (code == ecode::UnsupportedMethod || code == ecode::FileSkipped));
        }
        for (const auto& line : log.lines) EXPECT_FALSE(line.ends_with(" fail")) << line;
        if (!a.descMember.empty()) {
            EXPECT_EQ(Out(a.descMember),
                      ReadFile(CorpusDir() / "expected" / a.path / a.descMember));
        }
    }
}

// Archives the arc program makes with each of its methods (stored, packed,
// squeezed, crunched, squashed) extract byte for byte.
TEST_F(ArcReaderTest, ArchivesOfTheArcProgramExtractByteForByte) {
    if (!HaveTool("arc")) GTEST_SKIP() << "the arc program is not installed";
    std::mt19937 rng(3);
    std::map<std::string, std::string> files;
    const char* const words[] = {"the ", "list ", "of ", "files ", "BBS ", "\r\n", "desc "};
    for (int i = 0; i < 20000; ++i) files["TEXT.TXT"] += words[rng() % 7];
    for (int i = 0; i < 5000; ++i) files["RANDOM.BIN"] += static_cast<char>(rng());
    for (int i = 0; i < 6000; ++i) files["SKEW.DAT"] += "EEEEEEEETTTTTAAAOOINSHR"[rng() % 23];
    files["PACK.DAT"] = std::string(121, 'A') + "B";
    files["EMPTY.TXT"] = "";
    std::string names;
    for (const auto& [name, data] : files) {
        WriteFile(Path("src/" + name), data);
        names += " " + name;
    }
    const std::string cd = "cd '" + Path("src").string() + "' && arc ";
    ASSERT_TRUE(Shell(cd + "a ../BEST.ARC" + names));
    ASSERT_TRUE(Shell(cd + "aq ../SQUASH.ARC" + names));
    std::set<int> methods;
    for (const char* archive : {"BEST.ARC", "SQUASH.ARC"}) {
        SCOPED_TRACE(archive);
        Reset();
        Extract(Path(archive));
        EXPECT_TRUE(log.codes.empty());
        for (const auto& [name, data] : files) EXPECT_TRUE(Out(name) == data) << name;
        const std::string a = ReadFile(Path(archive));
        for (std::size_t p = 0; p + 29 <= a.size() && a[p] == '\x1A' && a[p + 1] != 0;) {
            methods.insert(a[p + 1]);
            std::uint32_t packed = 0;
            for (int k = 3; k >= 0; --k) packed = packed << 8 | std::uint8_t(a[p + 15 + k]);
            p += 29 + packed;
        }
    }
    EXPECT_EQ(methods, (std::set<int>{2, 3, 4, 8, 9}));
}

// The short header of method 1, run-length data with its escape byte, an
// empty squeezed member.
TEST_F(ArcReaderTest, ShortHeaderRunLengthAndEmptySqueeze) {
    ArcEntry old = Stored("OLD.TXT", "method one");
    old.method = 1;
    Extract(Write("A.ARC", ArcArchive({
                               old,
                               Coded("RUN.TXT", 3, "\x41\x90\x05", "AAAAA"),
                               Coded("MARK.TXT", 3, std::string("\x90\x00", 2), "\x90"),
                               Coded("EMPTY.TXT", 4, std::string(2, '\0'), ""),
                           })));
    EXPECT_TRUE(log.codes.empty());
    EXPECT_EQ(OutFiles(), (Lines{"EMPTY.TXT", "MARK.TXT", "OLD.TXT", "RUN.TXT"}));
    EXPECT_EQ(Out("OLD.TXT"), "method one");
    EXPECT_EQ(Out("RUN.TXT"), "AAAAA");
    EXPECT_EQ(Out("MARK.TXT"), "\x90");
    EXPECT_EQ(Out("EMPTY.TXT"), "");
    EXPECT_EQ(extracted, 4);
}

// Damaged or skipped members report their codes and the walk goes on
// behind their data; ten junk bytes before a header are passed over.
TEST_F(ArcReaderTest, EventsAndReportsOfTheWalk) {
    ArcEntry badCrc = Stored("BADCRC.TXT", "damaged");
    badCrc.crc = 0x1234;
    struct Case {
        const char* what;
        ArcEntry member;
        std::string spec;
        Lines events;  // before NEXT.TXT's
        Lines files;   // besides NEXT.TXT
        std::size_t junk = 0;
    };
    const Case cases[] = {
        {"CRC mismatch",
         badCrc,
         "*.*",
         {"Begin BADCRC.TXT 0", "Error 25117 BADCRC.TXT", "Error 26900 BADCRC.TXT",
          "End BADCRC.TXT fail"},
         {"BADCRC.TXT"}},
        {"method 8 without its leading 12: skipped without the decoder's code",
         Coded("NOLEAD.TXT", 8, "\x0B\x41\x00", "A"),
         "*.*",
         {"Begin NOLEAD.TXT 0", "Error 26900 NOLEAD.TXT", "End NOLEAD.TXT fail"},
         {"NOLEAD.TXT"}},
        {"unknown method",
         Coded("CRUSH.TXT", 10, "xyz", "?"),
         "*.*",
         {"Error 25200 CRUSH.TXT", "Error 26900 CRUSH.TXT"},
         {}},
        {"not matching", Stored("README.TXT", "r"), "NEXT.TXT", {"Error 26900 README.TXT"}, {}},
        {"junk before the next header",
         Stored("ONE.TXT", "1"),
         "*.*",
         {"Begin ONE.TXT 0", "End ONE.TXT pass"},
         {"ONE.TXT"},
         10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Reset();
        ArcEntry next = Stored("NEXT.TXT", "next");
        next.junk = std::string(c.junk, 'x');
        Extract(Write("A.ARC", ArcArchive({c.member, next})), c.spec);
        Lines events = {"Activate"};
        events.insert(events.end(), c.events.begin(), c.events.end());
        // RecNum counts the members extracted before.
        events.push_back(c.junk ? "Begin NEXT.TXT 1" : "Begin NEXT.TXT 0");
        events.insert(events.end(), {"End NEXT.TXT pass", "Deactivate"});
        EXPECT_EQ(log.lines, events);
        Lines files = c.files;
        files.push_back("NEXT.TXT");
        std::sort(files.begin(), files.end());
        EXPECT_EQ(OutFiles(), files);
        EXPECT_EQ(Out("NEXT.TXT"), "next");
    }
}

// Damaged archives end with their report: cut headers, data claimed beyond
// the file, and a header more than ten bytes after the last member.
TEST_F(ArcReaderTest, DamagedArchivesEnd) {
    std::string bigClaim = ArcArchive({Coded("BIG.TXT", 2, "short", "short and more")}, false);
    bigClaim[15] = '\xFF', bigClaim[16] = '\xFF', bigClaim[17] = '\x0F';  // 1 MB packed
    ArcEntry late = Stored("LATE.TXT", "never reached");
    late.junk = std::string(11, 'x');
    const std::string one = ArcArchive({Stored("ONE.TXT", "1")}, false);
    struct Case {
        const char* what;
        std::string bytes;
        std::vector<int> codes;
        Lines files;
    };
    const Case cases[] = {
        {"no end marker", one, {}, {"ONE.TXT"}},
        {"header cut short", one + "\x1A\x02NAME", {ecode::BadArchive}, {"ONE.TXT"}},
        {"data claimed beyond the file",
         bigClaim,
         {ecode::CrcError, ecode::FileSkipped},
         {"BIG.TXT"}},
        {"eleven junk bytes", one + ArcArchive({late}), {ecode::BadArchive}, {"ONE.TXT"}},
        {"empty file", "", {ecode::BadArchive}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Reset();
        TUnARC r;
        Run(r, Write("D.ARC", c.bytes));
        EXPECT_EQ(log.codes, c.codes);
        EXPECT_EQ(OutFiles(), c.files);
        EXPECT_EQ(log.lines.back(), "Deactivate");
    }
}

// ARC after an MS-DOS image is found there; PAK archives go through the
// same reader, their own methods reported.
TEST_F(ArcReaderTest, ArcInsideAnExecutableAndPak) {
    std::string stub(512, '\0');
    stub[0] = 'M', stub[1] = 'Z';
    stub[4] = 2;  // two pages, the last one full
    // "HI" as 9-bit codes after the leading 12, in a crunched member (1A 08).
    const std::string hi = std::string("\x0C\x48\x92\x00", 4);
    Extract(Write("SFX.EXE",
                  stub + ArcArchive({Coded("HI.TXT", 8, hi, "HI"), Stored("FILE_ID.DIZ", "d")})));
    EXPECT_TRUE(log.codes.empty());
    EXPECT_EQ(Out("HI.TXT"), "HI");
    EXPECT_EQ(Out("FILE_ID.DIZ"), "d");

    Extract(Write("P.PAK", ArcArchive({Coded("CRUSH.TXT", 10, "zz", "?"),
                                       Stored("FILE_ID.DIZ", "pak description")})));
    EXPECT_EQ(log.codes, (std::vector<int>{ecode::UnsupportedMethod, ecode::FileSkipped}));
    EXPECT_EQ(Out("FILE_ID.DIZ"), "pak description");
}

}  // namespace
}  // namespace lumora::archive::test
