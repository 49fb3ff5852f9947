// What every extracting reader owes its caller, format by format: a file of
// another type or no name is refused, stored names never leave the
// extraction folder, the byte limit and OnBegin's refusal end only their
// member, and damaged archives (random damage, the hostile inputs) end the
// run quickly.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <random>

#include "archive/archive_test_support.h"
#include "archive/core/detect.h"
#include "archive/lister/zip_tv.h"
#include "support/builders/arc_builder.h"
#include "support/builders/arj_builder.h"
#include "support/builders/cab_builder.h"
#include "support/builders/lha_builder.h"
#include "support/builders/rar_builder.h"
#include "support/builders/tar_builder.h"
#include "support/builders/zip_builder.h"
#include "support/builders/zoo_builder.h"

namespace lumora::archive::test {
namespace {

using Lines = std::vector<std::string>;
using Members = std::vector<std::pair<std::string, std::string>>;  // name, data

// A gzip file of one stored-block member.
std::string GzipArchive(const std::string& name, const std::string& data) {
    return std::string("\x1F\x8B\x08\x08", 4) + Le(818899200, 4) + "\x02\x03" + name + '\0' +
           DeflateStored(data) + Le(CrcOf(data), 4) +
           Le(static_cast<std::uint32_t>(data.size()), 4);
}

// An archive of each format holding `members` stored (the gzip file: the
// first only), and its file name.
std::map<TArcType, std::pair<std::string, std::string>> Archives(const Members& members) {
    std::string all;
    std::vector<ArcEntry> arc;
    std::vector<ArjEntry> arj;
    std::vector<LhaEntry> lha;
    std::vector<ZooMember> zoo;
    std::vector<TarEntry> tar;
    std::vector<RarEntry> rar;
    ZipBuilder zip;
    cabarc::CabSpec cab;
    for (const auto& [name, data] : members) {
        arc.push_back(Stored(name, data));
        arj.emplace_back(name, data);
        lha.emplace_back(name, data);
        zoo.emplace_back(name, data);
        tar.push_back(TarFile(name, data));
        rar.push_back({.name = name, .data = data});
        zip.Add(Member(name, data));
        const auto size = static_cast<std::uint32_t>(data.size());
        cab.files.push_back({name, size, static_cast<std::uint32_t>(all.size()), 0});
        all += data;
    }
    cab.folders = {cabarc::MsZipFolder(all)};
    return {{atARC, {"A.ARC", ArcArchive(arc)}},
            {atARJ, {"A.ARJ", ArjArchive(arj)}},
            {atLHA, {"A.LZH", LhaArchive(lha)}},
            {atZOO, {"A.ZOO", ZooArchive(zoo)}},
            {atTAR, {"A.TAR", TarArchive(tar)}},
            {atRAR, {"A.RAR", RarArchive(rar)}},
            {atZIP, {"A.ZIP", zip.Build()}},
            {atCAB, {"A.CAB", cabarc::BuildCab(cab)}},
            {atGZip, {"A.GZ", GzipArchive(members[0].first, members[0].second)}}};
}

class ReadersTest : public ReaderTest {
protected:
    // Runs the reader of `type` over `archive` (file name, bytes).
    void RunBytes(TArcType type, const std::pair<std::string, std::string>& archive) {
        const auto reader = MakeReader(type);
        Run(*reader, Write(archive.first, archive.second));
    }
};

// Each reader checks the name and the type before anything else.
TEST_F(ReadersTest, NoNameAndAnotherTypeAreRefused) {
    const auto archives = Archives({{"A.TXT", "a"}});
    for (const auto& [type, archive] : archives) {
        SCOPED_TRACE(archive.first);
        const auto reader = MakeReader(type);
        Run(*reader, "");
        EXPECT_EQ(log.lines, (Lines{"Error 25140 ", "Deactivate"}));
        RunBytes(type, {archive.first, archives.at(type == atZIP ? atARJ : atZIP).second});
        EXPECT_EQ(log.lines, (Lines{"Error 25139 " + archive.first, "Deactivate"}));
    }
}

// Parent steps, roots and drives in stored names are dropped; with stored
// folders the rest of the path is kept below out/.
TEST_F(ReadersTest, StoredNamesStayInsideTheExtractionFolder) {
    const auto archives = Archives({{"../../EVIL1", "1"},
                                    {"..\\..\\EVIL2", "2"},
                                    {"/ETC/EVIL3", "3"},
                                    {"C:\\EVIL4", "4"},
                                    {"a/../../EVIL5", "5"},
                                    {"..", "6"}});
    for (const auto& [type, archive] : archives) {
        for (bool folders : {false, true}) {
            SCOPED_TRACE(archive.first + (folders ? " with folders" : ""));
            Reset();
            storedDirs = folders;
            RunBytes(type, archive);
            const Lines expected = type == atGZip ? Lines{"EVIL1"}
                                   : folders
                                       ? Lines{"ETC/EVIL3", "EVIL1", "EVIL2", "EVIL4", "a/EVIL5"}
                                       : Lines{"EVIL1", "EVIL2", "EVIL3", "EVIL4", "EVIL5"};
            EXPECT_EQ(OutFiles(), expected);
            for (const auto& f : FilesBelow(root_)) {
                EXPECT_TRUE(f == archive.first || f.starts_with("out/")) << f;
            }
        }
        fs::remove(Path(archive.first));
    }
}

// The byte limit cuts a member without ending the run, and a member refused
// by OnBegin is not written; both leave the next member whole. ARC's
// member is a run-length bomb: the limit holds for the decoded bytes.
TEST_F(ReadersTest, ByteLimitAndRefusalEndOnlyTheirMember) {
    const std::string big(1 + 40 * 254, 'b');
    std::string arcBomb = "b";
    for (int i = 0; i < 40; ++i) arcBomb += "\x90\xFF";
    auto archives = Archives({{"SKIP.TXT", "s"}, {"BIG.TXT", big}, {"NEXT.TXT", "next"}});
    archives.erase(atGZip);  // one member: see the gzip bomb
    archives[atARC].second = ArcArchive(
        {Stored("SKIP.TXT", "s"), Coded("BIG.TXT", 3, arcBomb, big), Stored("NEXT.TXT", "next")});
    limit = 100;
    configure = [this](TUnBase& r) {
        r.OnBegin = [](TZipCommon&, const std::string& fn, int, bool& extract) {
            extract = fs::path(fn).filename() != "SKIP.TXT";
        };
    };
    for (const auto& [type, archive] : archives) {
        SCOPED_TRACE(archive.first);
        Reset();
        RunBytes(type, archive);
        EXPECT_EQ(OutFiles(), (Lines{"BIG.TXT", "NEXT.TXT"}));
        EXPECT_EQ(Out("BIG.TXT"), big.substr(0, 100));
        EXPECT_EQ(Out("NEXT.TXT"), "next");
        EXPECT_EQ(extracted, 2);
        // ARC and ARJ report the refused member as skipped.
        const bool skipped = type == atARC || type == atARJ;
        EXPECT_EQ(log.codes, skipped ? std::vector<int>{ecode::FileSkipped} : std::vector<int>{});
    }
}

// An existing output file is overwritten when no OnFileExists is set; the
// handler, given the stored date, may keep it. The readers tell of the kept
// file each in their own way; ARJ asks after OnBegin, the others before.
TEST_F(ReadersTest, ExistingOutputFiles) {
    const std::map<TArcType, Lines> kept = {
        {atARC, {"Exists", "Error 26900 A.TXT"}},
        {atARJ, {"Begin A.TXT 1", "Exists", "Error 26900 A.TXT"}},
        {atCAB, {"Exists"}},
        {atGZip, {"Exists", "End A.TXT pass"}},
        {atLHA, {"Exists"}},
        {atRAR, {"Exists", "End A.TXT pass"}},
        {atTAR, {"Exists", "End A.TXT pass"}},
        {atZIP, {"Exists", "End A.TXT pass", "Error 26999 A.ZIP"}},
        {atZOO, {"Exists"}},
    };
    for (const auto& [type, archive] : Archives({{"A.TXT", "new"}})) {
        SCOPED_TRACE(archive.first);
        configure = nullptr;
        WriteFile(Path("out/A.TXT"), "old");
        RunBytes(type, archive);
        EXPECT_EQ(Out("A.TXT"), "new");
        WriteFile(Path("out/A.TXT"), "old");
        TDateTime seen = 0;
        configure = [&](TUnBase& r) {
            r.OnFileExists = [&](TZipCommon&, const std::string&, TDateTime date, bool& accept) {
                log.lines.push_back("Exists");
                seen = date;
                accept = false;
            };
        };
        RunBytes(type, archive);
        EXPECT_EQ(Out("A.TXT"), "old");
        EXPECT_EQ(DecodeDateTime(seen).year, 1995);
        Lines events = {"Activate"};
        events.insert(events.end(), kept.at(type).begin(), kept.at(type).end());
        events.push_back("Deactivate");
        EXPECT_EQ(log.lines, events);
    }
}

// Corpus archives with random bytes changed (the signature kept, the headers
// hit often) end in bounded time, within the folder and the byte limit,
// whatever they claim. A CAB set is damaged in all its cabinets at once.
TEST_F(ReadersTest, RandomlyDamagedCorpusArchivesEndCleanly) {
    LUMORA_REQUIRE_CORPUS();
    const std::vector<Lines> cases = {
        {"arc/GAME1.ARC"},
        {"arc/GAME3.ARC"},
        {"arc/TOOLS.ARC"},
        {"arj/GAME1.ARJ"},
        {"arj/GAME2.ARJ"},
        {"arj/TOOLS.ARJ"},
        {"lha/GAME1.LZH"},
        {"lha/GAME4.LZH"},
        {"lha/LH113.LZH"},
        {"lha/AMI_LH4.LZH"},
        {"zoo/GAME1.ZOO"},
        {"zoo/GAME2.ZOO"},
        {"zoo/GAME3.ZOO"},
        {"cab/GAME1.CAB"},
        {"cab/TOOLS.CAB"},
        {"cab/split-1.cab", "cab/split-2.cab", "cab/split-3.cab", "cab/split-4.cab"},
        {"rar/LA_RAR.RAR"},
        {"rar/testfile.rar5.cbr"},
        {"rar/test_read_format_rar_multivolume.part0001.rar",
         "rar/test_read_format_rar_multivolume.part0002.rar",
         "rar/test_read_format_rar_multivolume.part0003.rar",
         "rar/test_read_format_rar_multivolume.part0004.rar"},
    };
    std::mt19937 rng(12);
    limit = 1 << 20;
    for (const Lines& files : cases) {
        SCOPED_TRACE(files[0]);
        TZipCommon probe;
        probe.SetArchiveFile((CorpusDir() / files[0]).string());
        const auto start = std::chrono::steady_clock::now();
        Lines names;
        for (int round = 0; round < 80; ++round) {
            Reset();
            names.clear();
            for (const auto& f : files) {
                std::string bad = ReadFile(CorpusDir() / f);
                for (int n = 1 + rng() % 8; n > 0; --n) {
                    const std::size_t span =
                        std::min<std::size_t>(rng() % 2 ? 128 : bad.size(), bad.size());
                    bad[4 + rng() % (span - 4)] = static_cast<char>(rng());
                }
                names.push_back(fs::path(f).filename());
                Write(names.back(), bad);
            }
            const auto reader = MakeReader(probe.ArcType());
            Run(*reader, Path(names[0]));
            ASSERT_EQ(log.lines.back(), "Deactivate");
            for (const auto& f : FilesBelow(root_)) {
                ASSERT_TRUE(f.starts_with("out/") ||
                            std::find(names.begin(), names.end(), f) != names.end())
                    << f;
                ASSERT_LE(fs::file_size(Path(f)), limit) << f;
            }
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
        for (const auto& name : names) fs::remove(Path(name));
    }
}

// Every input under tests/data/hostile (inputs that once crashed, hung or
// leaked, and hand-made hostile archives) goes through detection, the
// lister and the reader of the detected type in bounded time, leaving
// itself unchanged, nothing beside it, and no file above the byte limit.
TEST_F(ReadersTest, HostileInputsEndQuicklyWithinTheirFolder) {
    const fs::path hostile = fs::path(LUMORA_TEST_DATA_DIR) / "hostile";
    if (!fs::is_directory(hostile)) GTEST_SKIP() << "no hostile inputs under " << hostile;
    limit = 1 << 20;
    storedDirs = true;
    int seen = 0;
    for (const auto& e : fs::recursive_directory_iterator(hostile)) {
        if (!e.is_regular_file() || e.path().filename() == "README.md") continue;
        SCOPED_TRACE(e.path().string());
        Reset();
        const std::string name = "in/" + e.path().filename().string();
        fs::create_directories(Path("in"));
        fs::copy_file(e.path(), Path(name), fs::copy_options::overwrite_existing);
        const auto start = std::chrono::steady_clock::now();
        try {
            TZipTV tv;
            tv.ShowBlankDirs = true;
            tv.SetArchiveFile(Path(name).string());
            tv.SetFileSpec("*.*");
            tv.Activate();
        } catch (const std::exception&) {
        }
        try {
            if (const auto reader = MakeReader(DetectArcType(Path(name).string(), 32767).type))
                Run(*reader, Path(name));
        } catch (const std::exception&) {
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
        EXPECT_EQ(ReadFile(Path(name)), ReadFile(e.path()));
        for (const auto& f : FilesBelow(root_)) {
            EXPECT_TRUE(f == name || f.starts_with("out/")) << f;
            EXPECT_LE(fs::file_size(Path(f)), limit) << f;
        }
        fs::remove(Path(name));
        ++seen;
    }
    EXPECT_GT(seen, 0);
}

}  // namespace
}  // namespace lumora::archive::test
