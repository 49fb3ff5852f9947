// The CAB reader: corpus cabinets against the expected descriptions and the
// gcab program, the corpus set against sums made with zlib, and hand-built
// cabinets for the folder walk, sets that lack a part, belong to another
// set or loop, and damaged data.
#include <gtest/gtest.h>
#include <zlib.h>

#include <chrono>
#include <map>

#include "archive/archive_test_support.h"
#include "archive/corpus_manifest.h"
#include "archive/formats/cab/un_cab.h"
#include "support/builders/cab_builder.h"

namespace lumora::archive::test {
namespace {

using cabarc::CabSpec;
using Lines = std::vector<std::string>;
using Files = std::map<std::string, std::string>;

// Text that MSZIP packs, though not to nothing.
std::string Text(std::size_t n, std::uint32_t x) {
    std::string s;
    while (s.size() < n) s += std::to_string((x = x * 1103515245 + 12345) >> 22) + " block\r\n";
    return s.substr(0, n);
}

class CabReaderTest : public ReaderTest {
protected:
    // The CAB reader, its errors with their volume and the question for
    // the next cabinet in the log.
    void Extract(const fs::path& path, const std::string& spec = "*.*") {
        TUnCAB r;
        configure = [this](TUnBase& b) {
            b.OnError = [this](TZipCommon&, const std::string& fn, const std::string& vol,
                               int code) {
                log.lines.push_back("Error " + std::to_string(code) + " " + fn +
                                    (vol == "0" ? "" : " [" + vol + "]"));
                log.codes.push_back(code);
            };
        };
        r.OnNextCabinet = [this](TZipCommon&, const std::string& fn, const std::string& vol,
                                 bool& cancel) {
            log.lines.push_back("Next " + fn + " [" + vol + "]");
            if (onNext) onNext(cancel);
        };
        Run(r, path, spec);
    }
    void WriteCab(const std::string& name, const CabSpec& spec) {
        Write(name, cabarc::BuildCab(spec));
    }

    std::function<void(bool&)> onNext;
};

// Every corpus cabinet extracts without a report, its description as
// expected, its files as gcab extracts them (stored and MSZIP folders only).
TEST_F(CabReaderTest, CorpusCabinetsExtractAsGcabDoes) {
    LUMORA_REQUIRE_CORPUS();
    const bool gcab = HaveTool("gcab");
    const std::map<std::string, Lines> only = {
        {"cab/MSPK_MIX.CAB", {"mszip.txt"}},
        {"cab/MSPK_2F.CAB", {"mszip1.txt", "mszip2.txt"}},
        {"cab/LA_LZX.CAB", {}},
    };
    storedDirs = true;
    const auto cabinets = CorpusRowsOf({"cab"});
    ASSERT_GE(cabinets.size(), 12u);
    for (const CorpusRow& c : cabinets) {
        SCOPED_TRACE(c.path);
        Reset();
        Extract(CorpusDir() / c.path);
        EXPECT_TRUE(log.codes.empty());
        for (const auto& line : log.lines) EXPECT_FALSE(line.ends_with(" fail")) << line;
        if (!c.descMember.empty()) {
            std::string rel = c.descMember;
            std::replace(rel.begin(), rel.end(), '\\', '/');
            EXPECT_EQ(Out(rel),
                      ReadFile(CorpusDir() / "expected" / c.path / fs::path(rel).filename()));
        }
        const Lines ours = OutFiles();
        if (const auto it = only.find(c.path); it != only.end()) {
            EXPECT_EQ(ours, it->second);
        }
        if (!gcab || c.path.find("split") != std::string::npos || c.path.ends_with("RES.CAB"))
            continue;  // gcab reads neither sets nor reserve areas
        fs::remove_all(Path("gcab"));
        fs::create_directories(Path("gcab"));
        if (!Shell("cd '" + Path("gcab").string() + "' && gcab -x '" +
                   (CorpusDir() / c.path).string() + "'")) {
            continue;  // nor a file name of 255 characters
        }
        for (const auto& f : ours) EXPECT_TRUE(Out(f) == ReadFile(Path("gcab/" + f))) << f;
        if (!only.count(c.path)) {
            EXPECT_EQ(ours, FilesBelow(Path("gcab")));
        }
    }
}

// The corpus set yields its files spanning cabinets whole; begun inside
// the set, the cabinet's continued folder is passed over.
TEST_F(CabReaderTest, CorpusSetExtractsFilesSpanningCabinetsWhole) {
    LUMORA_REQUIRE_CORPUS();
    // Sizes and CRC-32 from the set's blocks joined and inflated by zlib.
    const std::map<std::string, std::pair<std::size_t, std::uint32_t>> expected = {
        {"small1.bin", {2000, 0x12d67cbd}},   {"small2.bin", {8000, 0x7ae7cac3}},
        {"medium1.bin", {40000, 0x6194fa6f}}, {"medium2.bin", {50000, 0xc761e509}},
        {"small3.bin", {128, 0xb224feb2}},    {"medium3.bin", {40000, 0x18844346}},
    };
    Extract(CorpusDir() / "cab/split-1.cab");
    EXPECT_TRUE(log.codes.empty());
    for (const auto& [name, sum] : expected) {
        SCOPED_TRACE(name);
        const std::string data = Out(name);
        EXPECT_EQ(data.size(), sum.first);
        EXPECT_EQ(crc32(0, reinterpret_cast<const Bytef*>(data.data()), uInt(data.size())),
                  sum.second);
    }
    Reset();
    Extract(CorpusDir() / "cab/split-3.cab");
    EXPECT_TRUE(log.codes.empty());
    EXPECT_EQ(OutFiles(), (Lines{"medium3.bin", "small3.bin"}));
}

// Files are cut from their folder's data at their offsets: across block
// boundaries, with a zero-length file between two others, in the 257th
// folder, and never from another folder when theirs cannot be decoded.
TEST_F(CabReaderTest, FilesAreCutFromTheirFolder) {
    const std::string text = Text(100000, 1);
    cabarc::CabFolder lzx = cabarc::StoredFolder("lzx data");
    lzx.type = 0x1203;
    CabSpec stored, mszip, zeroStored, zeroMsZip, many, mixed;
    stored.folders = {cabarc::StoredFolder("aaaBBBBBcc", 4)};  // blocks of 4 bytes
    stored.files = {{"A.TXT", 3, 0, 0}, {"B.TXT", 5, 3, 0}, {"C.TXT", 2, 8, 0}};
    mszip.folders = {cabarc::MsZipFolder(text)};
    mszip.files = {{"X.TXT", 50000, 0, 0}, {"Y.TXT", 49000, 50000, 0}, {"Z.TXT", 1000, 99000, 0}};
    zeroStored.folders = {cabarc::StoredFolder("12345")};
    zeroStored.files = {{"A.TXT", 3, 0, 0}, {"Z.TXT", 0, 3, 0, 0x21}, {"B.TXT", 2, 3, 0}};
    zeroMsZip = zeroStored;
    zeroMsZip.folders = {cabarc::MsZipFolder("12345")};
    for (int k = 0; k < 257; ++k) many.folders.push_back(cabarc::StoredFolder(std::to_string(k)));
    many.files = {{"FIRST.TXT", 1, 0, 0}, {"LAST.TXT", 3, 0, 256}};
    mixed.folders = {cabarc::StoredFolder("aaa"), lzx, cabarc::MsZipFolder("ccc")};
    mixed.files = {{"A.TXT", 3, 0, 0}, {"X.TXT", 3, 0, 1}, {"C.TXT", 3, 0, 2}};
    struct Case {
        const char* what;
        const CabSpec& cab;
        std::string spec;
        Files files;
    };
    const Case cases[] = {
        {"stored, one file", stored, "B.TXT", {{"B.TXT", "BBBBB"}}},
        {"stored", stored, "*.*", {{"A.TXT", "aaa"}, {"B.TXT", "BBBBB"}, {"C.TXT", "cc"}}},
        {"MSZIP",
         mszip,
         "*.*",
         {{"X.TXT", text.substr(0, 50000)},
          {"Y.TXT", text.substr(50000, 49000)},
          {"Z.TXT", text.substr(99000)}}},
        {"zero length, stored", zeroStored, "B.TXT", {{"B.TXT", "45"}}},
        {"zero length, MSZIP", zeroMsZip, "B.TXT", {{"B.TXT", "45"}}},
        {"zero length, all", zeroMsZip, "*.*", {{"A.TXT", "123"}, {"Z.TXT", ""}, {"B.TXT", "45"}}},
        {"257 folders", many, "*.*", {{"FIRST.TXT", "0"}, {"LAST.TXT", "256"}}},
        {"undecoded folder", mixed, "*.*", {{"A.TXT", "aaa"}, {"C.TXT", "ccc"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Reset();
        WriteCab("C.CAB", c.cab);
        Extract(Path("C.CAB"), c.spec);
        EXPECT_TRUE(log.codes.empty());
        Lines names;
        for (const auto& [name, data] : c.files) {
            names.push_back(name);
            EXPECT_TRUE(Out(name) == data) << name;
        }
        std::sort(names.begin(), names.end());
        EXPECT_EQ(OutFiles(), names);
        EXPECT_EQ(extracted, static_cast<int>(names.size()));
    }
    // The undecoded folder's file is not even begun.
    EXPECT_EQ(log.lines, (Lines{"Activate", "Begin A.TXT 1", "End A.TXT pass", "Begin C.TXT 2",
                                "End C.TXT pass", "Deactivate"}));
    WriteCab("C.CAB", zeroStored);
    Extract(Path("C.CAB"), "Z.TXT");
    EXPECT_EQ(fs::status(Path("out/Z.TXT")).permissions() & fs::perms::owner_write,
              fs::perms::none);  // read-only
}

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

// The next cabinet is found whatever the case of its name, or asked for:
// not found after the question, the question cancelled, or the cabinet put
// in place by the handler.
TEST_F(CabReaderTest, NextCabinetOfASet) {
    TwoCabinets set;
    WriteCab("PART1.CAB", set.first);
    const Lines whole = {"End SPAN.TXT pass", "Begin T.TXT 3",  "End T.TXT pass",
                         "Begin U.TXT 4",     "End U.TXT pass", "Deactivate"};
    struct Case {
        const char* what;
        std::function<void(bool&)> onNext;
        Lines tail;  // events after SPAN.TXT began
    };
    Lines asked = {"Next PART2.CAB [Disk 2]"};
    asked.insert(asked.end(), whole.begin(), whole.end());
    const Case cases[] = {
        {"present, its name in lower case", nullptr, whole},
        {"not found after the question",
         [](bool&) {},
         {"Next PART2.CAB [Disk 2]", "Error 25132 PART2.CAB [Disk 2]", "End SPAN.TXT fail",
          "Deactivate"}},
        {"cancelled",
         [](bool& cancel) { cancel = true; },
         {"Next PART2.CAB [Disk 2]", "End SPAN.TXT fail", "Deactivate"}},
        {"put in place by the handler", [&](bool&) { WriteCab("PART2.CAB", set.second); }, asked},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Reset();
        fs::remove(Path("PART2.CAB"));
        fs::remove(Path("part2.cab"));
        if (!c.onNext) WriteCab("part2.cab", set.second);
        onNext = c.onNext;
        Extract(Path("PART1.CAB"));
        Lines lines = {"Activate", "Begin S1.TXT 1", "End S1.TXT pass", "Begin SPAN.TXT 2"};
        lines.insert(lines.end(), c.tail.begin(), c.tail.end());
        EXPECT_EQ(log.lines, lines);
        if (std::find(c.tail.begin(), c.tail.end(), "End SPAN.TXT pass") == c.tail.end()) continue;
        EXPECT_EQ(Out("S1.TXT"), "s1");
        EXPECT_TRUE(Out("SPAN.TXT") == set.data.substr(0, 60000));
        EXPECT_TRUE(Out("T.TXT") == set.data.substr(60000));
        EXPECT_EQ(Out("U.TXT"), "uu");
    }
}

// A next cabinet of another set ends the run when the walk would leave
// into it; sets naming a visited cabinet (itself, a pair, a link) end
// quickly; the next cabinet's name is taken as a file name only.
TEST_F(CabReaderTest, SetsThatLeaveTheirSetOrLoopEnd) {
    auto single = [](const std::string& file, std::uint16_t set, const char* next) {
        CabSpec s;
        s.setId = set;
        if (next) s.next = {{next, "disk"}};
        s.folders = {cabarc::StoredFolder("x")};
        s.files = {{file, 1, 0, 0}};
        return s;
    };
    WriteCab("A.CAB", single("A.TXT", 1, "B.CAB"));
    WriteCab("B.CAB", single("B.TXT", 2, "C.CAB"));
    WriteCab("C.CAB", single("C.TXT", 2, nullptr));
    Extract(Path("A.CAB"));
    EXPECT_EQ(log.lines, (Lines{"Activate", "Begin A.TXT 1", "End A.TXT pass", "Begin B.TXT 2",
                                "End B.TXT pass", "Error 25904 B.CAB", "Deactivate"}));

    WriteCab("SELF.CAB", single("S.TXT", 7, "self.cab"));
    WriteCab("A.CAB", single("A.TXT", 7, "B.CAB"));
    WriteCab("B.CAB", single("B.TXT", 7, "A.CAB"));
    fs::create_symlink(Path("LINK.CAB"), Path("LOOP.CAB"));
    WriteCab("LINK.CAB", single("L.TXT", 7, "LOOP.CAB"));
    const auto start = std::chrono::steady_clock::now();
    Reset();
    Extract(Path("SELF.CAB"));
    EXPECT_EQ(log.lines, (Lines{"Activate", "Begin S.TXT 1", "End S.TXT pass",
                                "Error 25135 SELF.CAB [disk]", "Deactivate"}));
    Reset();
    Extract(Path("A.CAB"));
    EXPECT_EQ(log.codes, std::vector<int>{ecode::ReadError});
    EXPECT_EQ(OutFiles(), (Lines{"A.TXT", "B.TXT"}));
    Reset();
    Extract(Path("LINK.CAB"));
    EXPECT_EQ(log.codes, std::vector<int>{ecode::ReadError});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));

    TwoCabinets set("..\\..\\ELSEWHERE\\PART2.CAB");
    WriteCab("PART1.CAB", set.first);
    WriteCab("PART2.CAB", set.second);
    fs::create_directories(Path("ELSEWHERE"));
    Reset();
    Extract(Path("PART1.CAB"));
    EXPECT_TRUE(log.codes.empty());
    EXPECT_EQ(Out("U.TXT"), "uu");
    WriteCab("PART1.CAB", TwoCabinets("C:\\DISK\\").first);
    Reset();
    Extract(Path("PART1.CAB"));
    EXPECT_EQ(log.codes, std::vector<int>{ecode::FileNotFound});
}

// Damaged cabinets report and end: MSZIP garbage, a file beyond its
// folder's data, a cut data block, a file count beyond the list, a bare
// header, a wrong signature, and folders sharing one block.
TEST_F(CabReaderTest, DamagedCabinetsReportAndEnd) {
    CabSpec garbage;
    garbage.folders = {cabarc::CabFolder{1, {{"CK\xFF\xFF\xFF\xFF\xFF", 100}}}};
    garbage.files = {{"G.TXT", 100, 0, 0}};
    CabSpec beyond;
    beyond.folders = {cabarc::StoredFolder("abc")};
    beyond.files = {{"IN.TXT", 3, 0, 0}, {"OUT.TXT", 5, 3, 0}};
    CabSpec cut;
    cut.folders = {cabarc::StoredFolder(Text(5000, 3))};
    cut.files = {{"CUT.TXT", 5000, 0, 0}};
    std::string cutBytes = cabarc::BuildCab(cut);
    cutBytes.resize(cutBytes.size() - 100);
    std::string badSig = cabarc::BuildCab(beyond);
    badSig[0] = 'X';
    CabSpec one;
    one.folders = {cabarc::StoredFolder("abc")};
    one.files = {{"ONE.TXT", 3, 0, 0}};
    CabSpec many = one;
    many.fileCount = 0xFFFF;  // the header claims more files than the list holds
    // 300 folders whose entries all name one 60000-byte block: decoding it
    // once per folder would read far more than the cabinet holds.
    CabSpec shared;
    shared.folders = {cabarc::StoredFolder(std::string(60000, 'z'), 60000)};
    for (int k = 1; k < 300; ++k) shared.folders.push_back(cabarc::StoredFolder("x"));
    for (int k = 0; k < 300; ++k) {
        shared.files.push_back({"F" + std::to_string(k), 60000, 0, std::uint16_t(k)});
    }
    std::string sharedBytes = cabarc::BuildCab(shared);
    for (int k = 1; k < 300; ++k) sharedBytes.replace(36 + 8 * k, 4, sharedBytes.substr(36, 4));
    const std::pair<std::string, Lines> cases[] = {
        {cabarc::BuildCab(garbage),
         {"Begin G.TXT 1", "Error 25109 G.TXT", "End G.TXT fail", "Deactivate"}},
        {cabarc::BuildCab(beyond),
         {"Begin IN.TXT 1", "End IN.TXT pass", "Begin OUT.TXT 2", "Error 25145 OUT.TXT",
          "End OUT.TXT fail", "Deactivate"}},
        {cutBytes, {"Begin CUT.TXT 1", "Error 25135 CUT.TXT", "End CUT.TXT fail", "Deactivate"}},
        {cabarc::BuildCab(many), {"Begin ONE.TXT 1", "End ONE.TXT pass", "Deactivate"}},
        {cabarc::BuildCab(beyond).substr(0, 36), {"Deactivate"}},
        {badSig, {"Error 25139 D.CAB", "Deactivate"}},
        {sharedBytes,
         {"Begin F0 1", "End F0 pass", "Begin F1 2", "Error 25145 D.CAB", "End F1 fail",
          "Deactivate"}},
    };
    for (const auto& [bytes, events] : cases) {
        SCOPED_TRACE(events.front());
        Reset();
        Extract(Write("D.CAB", bytes));
        Lines expected = events;
        if (bytes != badSig) expected.insert(expected.begin(), "Activate");
        EXPECT_EQ(log.lines, expected);
    }
    EXPECT_EQ(Out("F0").size(), 60000u);
}

}  // namespace
}  // namespace lumora::archive::test
