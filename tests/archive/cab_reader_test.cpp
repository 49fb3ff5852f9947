// The CAB reader: corpus cabinets against the expected descriptions and the
// gcab program's extraction, the cabinet set of the corpus against sums made
// with zlib, and hand-built cabinets for the folder walk, zero-length files,
// reserve areas, sets that are missing a part, belong to another set or loop,
// more than 255 folders, undecoded folders and damaged data.
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <map>
#include <random>

#include "archive/error_codes.h"
#include "archive/reader_factory.h"
#include "archive/un_cab.h"
#include "cab_builder.h"

namespace lumora::archive {
namespace {

namespace fs = std::filesystem;
using cabarc::CabFile;
using cabarc::CabSpec;
using Lines = std::vector<std::string>;

std::string Text(std::size_t n, unsigned seed) {
    static const char* const words[] = {"cabinet ", "folder ", "block ", "file ", "\r\n",
                                        "MSZIP ",   "data ",   "list ",  "x"};
    std::mt19937 rng(seed);
    std::string s;
    while (s.size() < n) s += words[rng() % 9];
    s.resize(n);
    return s;
}

class CabReaderTest : public test::TempDirTest {
protected:
    void Extract(const fs::path& path, const std::string& spec = "*.*") {
        TUnCAB r;
        log_.Attach(r);
        r.OnError = [this](TZipCommon&, const std::string& fn, const std::string& vol, int code) {
            log_.lines.push_back("Error " + std::to_string(code) + " " + fn +
                                 (vol == "0" ? "" : " [" + vol + "]"));
            log_.codes.push_back(code);
        };
        r.OnNextCabinet = [this](TZipCommon&, const std::string& fn, const std::string& vol,
                                 bool& cancel) {
            log_.lines.push_back("Next " + fn + " [" + vol + "]");
            if (onNext_) onNext_(cancel);
        };
        r.SetArchiveFile(path.string());
        r.SetExtractDir(Path("out").string());
        r.SetFileSpec(spec);
        r.UseStoredDirs = storedDirs_;
        r.MaxOutputBytes = limit_;
        r.Extract();
        extracted_ = r.ExtractedCount();
    }
    void Write(const std::string& name, const CabSpec& spec) {
        test::WriteFile(Path(name), cabarc::BuildCab(spec));
    }
    std::string Out(const std::string& name) const { return test::ReadFile(root_ / "out" / name); }
    void Reset() {
        log_ = {};
        fs::remove_all(Path("out"));
    }

    test::EventLog log_;
    std::function<void(bool&)> onNext_;
    bool storedDirs_ = false;
    std::uint64_t limit_ = 0;
    int extracted_ = 0;
};

// ---- Real cabinets ----

TEST_F(CabReaderTest, CorpusCabinetsExtractAsGcabDoes) {
    LUMORA_REQUIRE_CORPUS();
    const bool gcab = cabarc::HaveTool("gcab");
    // What each cabinet yields: its stored and MSZIP folders only.
    const std::map<std::string, Lines> only = {
        {"cab/MSPK_MIX.CAB", {"mszip.txt"}},
        {"cab/MSPK_2F.CAB", {"mszip1.txt", "mszip2.txt"}},
        {"cab/LA_LZX.CAB", {}},
    };
    storedDirs_ = true;
    const auto cabinets = cabarc::CorpusArchives({"cab"});
    ASSERT_GE(cabinets.size(), 12u);
    for (const auto& c : cabinets) {
        SCOPED_TRACE(c.path);
        Reset();
        Extract(test::CorpusDir() / c.path);
        EXPECT_TRUE(log_.codes.empty());
        for (const auto& line : log_.lines) EXPECT_FALSE(line.ends_with(" fail")) << line;
        if (!c.descMember.empty()) {
            std::string rel = c.descMember;
            std::replace(rel.begin(), rel.end(), '\\', '/');
            const fs::path expected =
                test::CorpusDir() / "expected" / c.path / fs::path(rel).filename();
            EXPECT_EQ(Out(rel), test::ReadFile(expected));
        }
        const Lines ours = fs::exists(Path("out")) ? test::FilesBelow(Path("out")) : Lines{};
        if (const auto it = only.find(c.path); it != only.end()) {
            EXPECT_EQ(ours, it->second);
        }
        if (!gcab || c.path.find("split") != std::string::npos || c.path.ends_with("RES.CAB"))
            continue;  // gcab reads neither sets nor reserve areas
        fs::remove_all(Path("gcab"));
        fs::create_directories(Path("gcab"));
        if (!cabarc::Run("cd '" + Path("gcab").string() + "' && gcab -x '" +
                         (test::CorpusDir() / c.path).string() + "'")) {
            continue;  // nor a file name of 255 characters
        }
        for (const auto& f : ours) {
            EXPECT_TRUE(Out(f) == test::ReadFile(Path("gcab/" + f))) << f;
        }
        if (!only.count(c.path)) {
            EXPECT_EQ(ours, test::FilesBelow(Path("gcab")));
        }
    }
}

TEST_F(CabReaderTest, CorpusSetExtractsFilesSpanningCabinetsWhole) {
    LUMORA_REQUIRE_CORPUS();
    // Sizes and CRC-32 of the members, from the set's blocks joined and
    // inflated by zlib.
    const std::map<std::string, std::pair<std::size_t, std::uint32_t>> expected = {
        {"small1.bin", {2000, 0x12d67cbd}},   {"small2.bin", {8000, 0x7ae7cac3}},
        {"medium1.bin", {40000, 0x6194fa6f}}, {"medium2.bin", {50000, 0xc761e509}},
        {"small3.bin", {128, 0xb224feb2}},    {"medium3.bin", {40000, 0x18844346}},
    };
    Extract(test::CorpusDir() / "cab/split-1.cab");
    EXPECT_TRUE(log_.codes.empty());
    for (const auto& [name, sum] : expected) {
        SCOPED_TRACE(name);
        const std::string data = Out(name);
        EXPECT_EQ(data.size(), sum.first);
        EXPECT_EQ(
            crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())),
            sum.second);
    }
    // Begun inside the set, the cabinet's continued folder is passed over.
    Reset();
    Extract(test::CorpusDir() / "cab/split-3.cab");
    EXPECT_TRUE(log_.codes.empty());
    EXPECT_EQ(test::FilesBelow(Path("out")), (Lines{"medium3.bin", "small3.bin"}));
}

TEST_F(CabReaderTest, UndecodedFoldersYieldNothingAndReportNothing) {
    LUMORA_REQUIRE_CORPUS();
    Extract(test::CorpusDir() / "cab/LA_LZX.CAB");
    EXPECT_EQ(log_.lines, (Lines{"Activate", "Deactivate"}));
    Reset();
    Extract(test::CorpusDir() / "cab/MSPK_MIX.CAB");
    EXPECT_EQ(log_.lines,
              (Lines{"Activate", "Begin mszip.txt 1", "End mszip.txt pass", "Deactivate"}));
}

// ---- The folder walk ----

TEST_F(CabReaderTest, StoredFolderIsCutAtTheFilesOffsets) {
    CabSpec s;
    s.folders = {cabarc::StoredFolder("aaaBBBBBcc", 4)};  // blocks of 4 bytes
    s.files = {{"A.TXT", 3, 0, 0}, {"B.TXT", 5, 3, 0}, {"C.TXT", 2, 8, 0}};
    Write("S.CAB", s);
    Extract(Path("S.CAB"), "B.TXT");
    EXPECT_EQ(log_.lines, (Lines{"Activate", "Begin B.TXT 1", "End B.TXT pass", "Deactivate"}));
    EXPECT_EQ(test::FilesBelow(Path("out")), Lines{"B.TXT"});
    EXPECT_EQ(Out("B.TXT"), "BBBBB");
    Reset();
    Extract(Path("S.CAB"));
    EXPECT_EQ(Out("A.TXT"), "aaa");
    EXPECT_EQ(Out("C.TXT"), "cc");
    EXPECT_EQ(extracted_, 3);
}

TEST_F(CabReaderTest, MsZipFilesCrossBlockBoundariesWhole) {
    const std::string data = Text(100000, 1);
    CabSpec s;
    s.folders = {cabarc::MsZipFolder(data)};
    ASSERT_EQ(s.folders[0].blocks.size(), 4u);
    s.files = {{"X.TXT", 50000, 0, 0}, {"Y.TXT", 49000, 50000, 0}, {"Z.TXT", 1000, 99000, 0}};
    Write("M.CAB", s);
    Extract(Path("M.CAB"));
    EXPECT_TRUE(log_.codes.empty());
    EXPECT_TRUE(Out("X.TXT") == data.substr(0, 50000));
    EXPECT_TRUE(Out("Y.TXT") == data.substr(50000, 49000));
    EXPECT_TRUE(Out("Z.TXT") == data.substr(99000));
}

TEST_F(CabReaderTest, ZeroLengthFileInTheMiddle) {
    for (const auto& folder : {cabarc::StoredFolder("12345"), cabarc::MsZipFolder("12345")}) {
        SCOPED_TRACE(folder.type);
        CabSpec s;
        s.folders = {folder};
        s.files = {{"A.TXT", 3, 0, 0}, {"Z.TXT", 0, 3, 0, 0x21}, {"B.TXT", 2, 3, 0}};
        Write("Z.CAB", s);
        Reset();
        // The byte after the zero-length file still belongs to the next one.
        Extract(Path("Z.CAB"), "B.TXT");
        EXPECT_EQ(Out("B.TXT"), "45");
        Reset();
        Extract(Path("Z.CAB"));
        EXPECT_EQ(log_.lines,
                  (Lines{"Activate", "Begin A.TXT 1", "End A.TXT pass", "Begin Z.TXT 2",
                         "End Z.TXT pass", "Begin B.TXT 3", "End B.TXT pass", "Deactivate"}));
        EXPECT_EQ(Out("A.TXT"), "123");
        EXPECT_EQ(Out("B.TXT"), "45");
        ASSERT_TRUE(fs::exists(Path("out/Z.TXT")));
        EXPECT_EQ(fs::file_size(Path("out/Z.TXT")), 0u);
        const auto perms = fs::status(Path("out/Z.TXT")).permissions();
        EXPECT_EQ(perms & fs::perms::owner_write, fs::perms::none);  // read-only
        fs::permissions(Path("out/Z.TXT"), fs::perms::owner_write, fs::perm_options::add);
    }
}

TEST_F(CabReaderTest, FolderCountAbove255IsReadWhole) {
    CabSpec s;
    for (int k = 0; k < 257; ++k)
        s.folders.push_back(cabarc::StoredFolder("f" + std::to_string(k)));
    s.files = {{"FIRST.TXT", 2, 0, 0}, {"LAST.TXT", 4, 0, 256}};
    Write("MANY.CAB", s);
    Extract(Path("MANY.CAB"));
    EXPECT_TRUE(log_.codes.empty());
    EXPECT_EQ(Out("FIRST.TXT"), "f0");
    EXPECT_EQ(Out("LAST.TXT"), "f256");
}

TEST_F(CabReaderTest, FilesOfAnUndecodedFolderGetNoOtherFolderBytes) {
    CabSpec s;
    cabarc::CabFolder lzx = cabarc::StoredFolder("lzx data");
    lzx.type = 0x1203;
    s.folders = {cabarc::StoredFolder("aaa"), lzx, cabarc::MsZipFolder("ccc")};
    s.files = {{"A.TXT", 3, 0, 0}, {"X.TXT", 3, 0, 1}, {"C.TXT", 3, 0, 2}};
    Write("MIX.CAB", s);
    Extract(Path("MIX.CAB"));
    EXPECT_TRUE(log_.codes.empty());
    EXPECT_EQ(test::FilesBelow(Path("out")), (Lines{"A.TXT", "C.TXT"}));
    EXPECT_EQ(Out("C.TXT"), "ccc");
}

// ---- Sets of cabinets ----

// Two cabinets with reserve areas: S1 in the first, SPAN across both (its
// folder's MSZIP block split between them), T after SPAN in the continued
// folder, U in the second cabinet's own folder.
struct TwoCabinets {
    std::string data = Text(70000, 2);
    CabSpec first;
    CabSpec second;

    explicit TwoCabinets(const std::string& nextName = "PART2.CAB") {
        const auto [a, b] = cabarc::SplitFolder(cabarc::MsZipFolder(data), 1, 1000);
        for (CabSpec* s : {&first, &second}) {
            s->reserve = true;
            s->headerReserve = 20;
            s->folderReserve = 5;
            s->dataReserve = 3;
        }
        first.next = {{nextName, "Disk 2"}};
        first.folders = {cabarc::StoredFolder("s1"), a};
        first.files = {{"S1.TXT", 2, 0, 0}, {"SPAN.TXT", 60000, 0, cabarc::kCabToNextIndex}};
        second.prev = {{"PART1.CAB", "Disk 1"}};
        second.index = 1;
        second.folders = {b, cabarc::StoredFolder("uu")};
        second.files = {{"SPAN.TXT", 60000, 0, cabarc::kCabFromPrevIndex},
                        {"T.TXT", 10000, 60000, 0},
                        {"U.TXT", 2, 0, 1}};
    }
};

TEST_F(CabReaderTest, SetWithReserveAreasAndASpanningFile) {
    TwoCabinets set;
    Write("PART1.CAB", set.first);
    Write("part2.cab", set.second);  // the stored name differs in case
    Extract(Path("PART1.CAB"));
    EXPECT_TRUE(log_.codes.empty());
    EXPECT_EQ(Out("S1.TXT"), "s1");
    EXPECT_TRUE(Out("SPAN.TXT") == set.data.substr(0, 60000));
    EXPECT_TRUE(Out("T.TXT") == set.data.substr(60000));
    EXPECT_EQ(Out("U.TXT"), "uu");
    EXPECT_EQ(log_.lines,
              (Lines{"Activate", "Begin S1.TXT 1", "End S1.TXT pass", "Begin SPAN.TXT 2",
                     "End SPAN.TXT pass", "Begin T.TXT 3", "End T.TXT pass", "Begin U.TXT 4",
                     "End U.TXT pass", "Deactivate"}));
}

TEST_F(CabReaderTest, MissingNextCabinet) {
    TwoCabinets set;
    Write("PART1.CAB", set.first);
    struct Case {
        const char* what;
        std::function<void(bool&)> onNext;
        Lines tail;  // events after SPAN.TXT began
    };
    const Case cases[] = {
        {"not found after the question",
         [](bool&) {},
         {"Next PART2.CAB [Disk 2]", "Error 25132 PART2.CAB [Disk 2]", "End SPAN.TXT fail",
          "Deactivate"}},
        {"cancelled",
         [](bool& cancel) { cancel = true; },
         {"Next PART2.CAB [Disk 2]", "End SPAN.TXT fail", "Deactivate"}},
        {"put in place by the handler",
         [&](bool&) { Write("PART2.CAB", set.second); },
         {"Next PART2.CAB [Disk 2]", "End SPAN.TXT pass", "Begin T.TXT 3", "End T.TXT pass",
          "Begin U.TXT 4", "End U.TXT pass", "Deactivate"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Reset();
        fs::remove(Path("PART2.CAB"));
        onNext_ = c.onNext;
        Extract(Path("PART1.CAB"));
        Lines head = {"Activate", "Begin S1.TXT 1", "End S1.TXT pass", "Begin SPAN.TXT 2"};
        head.insert(head.end(), c.tail.begin(), c.tail.end());
        EXPECT_EQ(log_.lines, head);
    }
}

TEST_F(CabReaderTest, CabinetOfAnotherSetEndsTheRunWhenLeft) {
    auto single = [](const std::string& name, std::uint16_t set, const char* next) {
        CabSpec s;
        s.setId = set;
        if (next) s.next = {{next, "disk"}};
        s.folders = {cabarc::StoredFolder(name)};
        s.files = {{name, static_cast<std::uint32_t>(name.size()), 0, 0}};
        return s;
    };
    Write("A.CAB", single("A.TXT", 1, "B.CAB"));
    Write("B.CAB", single("B.TXT", 2, "C.CAB"));
    Write("C.CAB", single("C.TXT", 2, nullptr));
    Extract(Path("A.CAB"));
    EXPECT_EQ(log_.lines, (Lines{"Activate", "Begin A.TXT 1", "End A.TXT pass", "Begin B.TXT 2",
                                 "End B.TXT pass", "Error 25904 B.CAB", "Deactivate"}));
    EXPECT_FALSE(fs::exists(Path("out/C.TXT")));
}

TEST_F(CabReaderTest, SetsThatNameAVisitedCabinetEnd) {
    auto naming = [](const char* next, const char* file) {
        CabSpec s;
        s.next = {{next, "disk"}};
        s.folders = {cabarc::StoredFolder("x")};
        s.files = {{file, 1, 0, 0}};
        return s;
    };
    Write("SELF.CAB", naming("self.cab", "S.TXT"));
    Write("A.CAB", naming("B.CAB", "A.TXT"));
    Write("B.CAB", naming("A.CAB", "B.TXT"));
    fs::create_symlink(Path("LINK.CAB"), Path("LOOP.CAB"));
    Write("LINK.CAB", naming("LOOP.CAB", "L.TXT"));
    const auto start = std::chrono::steady_clock::now();
    Extract(Path("SELF.CAB"));
    EXPECT_EQ(log_.lines, (Lines{"Activate", "Begin S.TXT 1", "End S.TXT pass",
                                 "Error 25135 SELF.CAB [disk]", "Deactivate"}));
    Reset();
    Extract(Path("A.CAB"));
    EXPECT_EQ(log_.codes, std::vector<int>{ecode::ReadError});
    EXPECT_EQ(test::FilesBelow(Path("out")), (Lines{"A.TXT", "B.TXT"}));
    Reset();
    Extract(Path("LINK.CAB"));  // the same file under another name
    EXPECT_EQ(log_.codes, std::vector<int>{ecode::ReadError});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

TEST_F(CabReaderTest, NextCabinetNamesAreFileNamesOnly) {
    TwoCabinets set("..\\..\\ELSEWHERE\\PART2.CAB");
    Write("PART1.CAB", set.first);
    Write("PART2.CAB", set.second);
    fs::create_directories(Path("ELSEWHERE"));
    Extract(Path("PART1.CAB"));
    EXPECT_TRUE(log_.codes.empty());
    EXPECT_EQ(Out("U.TXT"), "uu");

    TwoCabinets noName("C:\\DISK\\");
    Write("PART1.CAB", noName.first);
    Reset();
    Extract(Path("PART1.CAB"));
    EXPECT_EQ(log_.codes, std::vector<int>{ecode::FileNotFound});
}

// ---- Damage and limits ----

TEST_F(CabReaderTest, DamagedCabinetsReportAndEnd) {
    const std::string data = Text(5000, 3);
    struct Case {
        const char* what;
        std::string bytes;
        Lines events;
    };
    CabSpec garbage;
    garbage.folders = {cabarc::CabFolder{1, {{"CK\xFF\xFF\xFF\xFF\xFF", 100}}}};
    garbage.files = {{"G.TXT", 100, 0, 0}};
    CabSpec beyond;
    beyond.folders = {cabarc::StoredFolder("abc")};
    beyond.files = {{"IN.TXT", 3, 0, 0}, {"OUT.TXT", 5, 3, 0}};
    CabSpec cut;
    cut.folders = {cabarc::StoredFolder(data)};
    cut.files = {{"CUT.TXT", 5000, 0, 0}};
    std::string cutBytes = cabarc::BuildCab(cut);
    cutBytes.resize(cutBytes.size() - 100);
    std::string badSig = cabarc::BuildCab(beyond);
    badSig[0] = 'X';
    CabSpec many;  // the header claims more files than the list holds
    many.folders = {cabarc::StoredFolder("abc")};
    many.files = {{"ONE.TXT", 3, 0, 0}};
    std::string manyBytes = cabarc::BuildCab(many);
    manyBytes[28] = '\xFF', manyBytes[29] = '\xFF';
    const Case cases[] = {
        {"MSZIP garbage",
         cabarc::BuildCab(garbage),
         {"Activate", "Begin G.TXT 1", "Error 25109 G.TXT", "End G.TXT fail", "Deactivate"}},
        {"file beyond the folder's data",
         cabarc::BuildCab(beyond),
         {"Activate", "Begin IN.TXT 1", "End IN.TXT pass", "Begin OUT.TXT 2", "Error 25145 OUT.TXT",
          "End OUT.TXT fail", "Deactivate"}},
        {"data block cut short",
         cutBytes,
         {"Activate", "Begin CUT.TXT 1", "Error 25135 CUT.TXT", "End CUT.TXT fail", "Deactivate"}},
        {"file count beyond the list",
         manyBytes,
         {"Activate", "Begin ONE.TXT 1", "End ONE.TXT pass", "Deactivate"}},
        {"header only", cabarc::BuildCab(beyond).substr(0, 36), {"Activate", "Deactivate"}},
        {"wrong signature", badSig, {"Error 25139 D.CAB", "Deactivate"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Reset();
        test::WriteFile(Path("D.CAB"), c.bytes);
        Extract(Path("D.CAB"));
        EXPECT_EQ(log_.lines, c.events);
    }
}

TEST_F(CabReaderTest, FoldersSharingTheirBlocksAreDamage) {
    // 300 folders whose entries all name the same 60000-byte block: decoding
    // it once per folder would read far more than the cabinet holds.
    CabSpec s;
    s.folders = {cabarc::StoredFolder(std::string(60000, 'z'), 60000)};
    for (int k = 1; k < 300; ++k) s.folders.push_back(cabarc::StoredFolder("x"));
    for (int k = 0; k < 300; ++k) {
        s.files.push_back({"F" + std::to_string(k), 60000, 0, static_cast<std::uint16_t>(k)});
    }
    std::string bytes = cabarc::BuildCab(s);
    for (int k = 1; k < 300; ++k) bytes.replace(36 + 8 * k, 4, bytes.substr(36, 4));
    test::WriteFile(Path("O.CAB"), bytes);
    Extract(Path("O.CAB"));
    EXPECT_EQ(Out("F0").size(), 60000u);
    EXPECT_EQ(log_.lines, (Lines{"Activate", "Begin F0 1", "End F0 pass", "Begin F1 2",
                                 "Error 25145 O.CAB", "End F1 fail", "Deactivate"}));
}

// Cabinets with random bytes changed end, whatever they claim.
TEST_F(CabReaderTest, RandomlyDamagedCabinetsEnd) {
    TwoCabinets set;
    const std::string first = cabarc::BuildCab(set.first);
    const std::string second = cabarc::BuildCab(set.second);
    std::mt19937 rng(5);
    for (int round = 0; round < 300; ++round) {
        std::string a = first;
        std::string b = second;
        for (int k = 0; k < 4; ++k) {
            std::string& victim = rng() % 2 ? a : b;
            victim[rng() % std::min<std::size_t>(victim.size(), rng() % 2 ? 120 : victim.size())] =
                static_cast<char>(rng());
        }
        test::WriteFile(Path("PART1.CAB"), a);
        test::WriteFile(Path("PART2.CAB"), b);
        Reset();
        Extract(Path("PART1.CAB"));
        ASSERT_EQ(log_.lines.back(), "Deactivate");
    }
}

TEST_F(CabReaderTest, NamesStayInsideTheExtractionFolder) {
    CabSpec s;
    s.folders = {cabarc::StoredFolder("abc")};
    s.files = {{"..\\..\\EVIL.TXT", 1, 0, 0},
               {"C:\\ABS\\DRIVE.TXT", 1, 1, 0},
               {"\\ROOT.TXT", 1, 2, 0},
               {"..", 0, 3, 0}};
    Write("N.CAB", s);
    for (bool stored : {false, true}) {
        SCOPED_TRACE(stored);
        storedDirs_ = stored;
        Reset();
        Extract(Path("N.CAB"));
        const Lines expected = stored ? Lines{"ABS/DRIVE.TXT", "EVIL.TXT", "ROOT.TXT"}
                                      : Lines{"DRIVE.TXT", "EVIL.TXT", "ROOT.TXT"};
        EXPECT_EQ(test::FilesBelow(Path("out")), expected);
        EXPECT_EQ(test::FilesBelow(root_).size(), expected.size() + 1);  // and N.CAB
    }
}

TEST_F(CabReaderTest, OutputLimitAndRefusedFiles) {
    CabSpec s;
    s.folders = {cabarc::MsZipFolder(Text(40000, 4) + "tail")};
    s.files = {{"BIG.TXT", 40000, 0, 0}, {"TAIL.TXT", 4, 40000, 0}};
    Write("L.CAB", s);
    limit_ = 100;
    Extract(Path("L.CAB"));
    EXPECT_EQ(Out("BIG.TXT"), Text(100, 4));
    EXPECT_EQ(Out("TAIL.TXT"), "tail");
    EXPECT_TRUE(log_.codes.empty());

    Reset();
    TUnCAB r;
    log_.Attach(r);
    r.OnBegin = [](TZipCommon&, const std::string& fn, int, bool& ok) {
        ok = fs::path(fn).filename() != "BIG.TXT";
    };
    r.SetArchiveFile(Path("L.CAB").string());
    r.SetExtractDir(Path("out").string());
    r.Extract();
    EXPECT_EQ(test::FilesBelow(Path("out")), Lines{"TAIL.TXT"});
    EXPECT_EQ(log_.lines, (Lines{"Activate", "End TAIL.TXT pass", "Deactivate"}));
    EXPECT_NE(MakeReader(atCAB), nullptr);
}

}  // namespace
}  // namespace lumora::archive
