// What every extracting reader owes its caller, format by format: a file of
// another type or no name is refused, stored names never leave the
// extraction folder, the byte limit and OnBegin's refusal end only their
// member, and randomly damaged archives end the run quickly.
#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include "archive_builders.h"
#include "archive_test_support.h"
#include "cab_builder.h"

namespace lumora::archive::test {
namespace {

using Lines = std::vector<std::string>;
using Members = std::vector<std::pair<std::string, std::string>>;  // name, data

// A gzip file of one stored-block member.
std::string GzipArchive(const std::string& name, const std::string& data) {
    return std::string("\x1F\x8B\x08\x08\0\0\0\0\0\x03", 10) + name + '\0' + DeflateStored(data) +
           Le(CrcOf(data), 4) + Le(static_cast<std::uint32_t>(data.size()), 4);
}

// An archive of `type` holding `members` stored (the gzip file: the first).
std::string Build(TArcType type, const Members& members) {
    std::string all;
    std::vector<ArcMember> arc;
    std::vector<ArjEntry> arj;
    std::vector<LhaEntry> lha;
    std::vector<ZooMember> zoo;
    std::vector<TarEntry> tar;
    ZipBuilder zip;
    cabarc::CabSpec cab;
    for (const auto& [name, data] : members) {
        arc.push_back(Stored(name, data));
        arj.emplace_back(name, data);
        lha.emplace_back(name, data);
        zoo.push_back({name, data});
        tar.push_back(TarFile(name, data));
        zip.Add(Member(name, data));
        const auto size = static_cast<std::uint32_t>(data.size());
        cab.files.push_back({name, size, static_cast<std::uint32_t>(all.size()), 0});
        all += data;
    }
    cab.folders = {cabarc::MsZipFolder(all)};
    switch (type) {
        case atARC:
            return ArcArchive(arc);
        case atARJ:
            return ArjArchive(arj);
        case atLHA:
            return LhaArchive(lha);
        case atZOO:
            return ZooArchive(zoo);
        case atTAR:
            return TarArchive(tar);
        case atZIP:
            return zip.Build();
        case atCAB:
            return cabarc::BuildCab(cab);
        case atGZip:
            return GzipArchive(members[0].first, members[0].second);
        default:
            return "";
    }
}

const TArcType kTypes[] = {atARC, atARJ, atLHA, atZOO, atTAR, atZIP, atCAB, atGZip};

// The archive's file name, by its type.
std::string FileOf(TArcType type) {
    switch (type) {
        case atARC:
            return "A.ARC";
        case atARJ:
            return "A.ARJ";
        case atLHA:
            return "A.LZH";
        case atZOO:
            return "A.ZOO";
        case atTAR:
            return "A.TAR";
        case atZIP:
            return "A.ZIP";
        case atCAB:
            return "A.CAB";
        default:
            return "A.GZ";
    }
}

class ReadersTest : public ReaderTest {
protected:
    // Runs the reader of `type` over `bytes`.
    void RunBytes(TArcType type, const std::string& bytes) {
        const auto reader = MakeReader(type);
        Run(*reader, Write(FileOf(type), bytes));
    }
};

// Each reader checks the name and the type before anything else.
TEST_F(ReadersTest, NoNameAndAnotherTypeAreRefused) {
    const std::string other = Build(atZIP, {{"A.TXT", "a"}});
    for (TArcType type : kTypes) {
        SCOPED_TRACE(FileOf(type));
        const auto reader = MakeReader(type);
        Run(*reader, "");
        EXPECT_EQ(log.codes, std::vector<int>{ecode::BadFileName});
        EXPECT_EQ(log.lines.back(), "Deactivate");
        RunBytes(type, type == atZIP ? Build(atARJ, {{"A.TXT", "a"}}) : other);
        EXPECT_EQ(log.codes, std::vector<int>{ecode::BadArchive});
        EXPECT_EQ(log.lines.back(), "Deactivate");
        EXPECT_TRUE(OutFiles().empty());
    }
}

// Parent steps, roots and drives in stored names are dropped; with stored
// folders the rest of the path is kept below out/.
TEST_F(ReadersTest, StoredNamesStayInsideTheExtractionFolder) {
    const Members hostile = {{"../../EVIL1", "1"}, {"..\\..\\EVIL2", "2"}, {"/ETC/EVIL3", "3"},
                             {"C:\\EVIL4", "4"},   {"a/../../EVIL5", "5"}, {"..", "6"}};
    struct Case {
        TArcType type;
        bool storedDirs;
        Lines files;
    };
    const Lines flat = {"EVIL1", "EVIL2", "EVIL3", "EVIL4", "EVIL5"};
    const Lines deep = {"EVIL1", "EVIL2", "ETC/EVIL3", "EVIL4", "a/EVIL5"};
    const Case cases[] = {
        {atARC, false, flat}, {atARC, true, deep}, {atARJ, false, flat},      {atARJ, true, deep},
        {atLHA, false, flat}, {atLHA, true, deep}, {atZOO, false, flat},      {atZOO, true, deep},
        {atTAR, false, flat}, {atTAR, true, deep}, {atZIP, false, flat},      {atZIP, true, deep},
        {atCAB, false, flat}, {atCAB, true, deep}, {atGZip, true, {"EVIL1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(FileOf(c.type) + (c.storedDirs ? " with folders" : ""));
        Reset();
        storedDirs = c.storedDirs;
        const std::string archive = FileOf(c.type);
        RunBytes(c.type, Build(c.type, hostile));
        Lines expected = c.files;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(OutFiles(), expected);
        for (const auto& f : FilesBelow(root_)) EXPECT_TRUE(f == archive || f.starts_with("out/"));
        fs::remove(Path(archive));
    }
}

// The byte limit cuts a member without ending the run, and a member refused
// by OnBegin is not written; both leave the next member whole.
TEST_F(ReadersTest, ByteLimitAndRefusalEndOnlyTheirMember) {
    const std::string big(10161, 'b');  // 1 + 40 * 254: the ARC run-length bomb below
    std::string arcBomb = "b";
    for (int i = 0; i < 40; ++i) arcBomb += "\x90\xFF";
    const Members members = {{"SKIP.TXT", "s"}, {"BIG.TXT", big}, {"NEXT.TXT", "next"}};
    limit = 100;
    configure = [this](TUnBase& r) {
        r.OnBegin = [this](TZipCommon&, const std::string& fn, int, bool& extract) {
            extract = fs::path(fn).filename() != "SKIP.TXT";
            log.lines.push_back("Begin");
        };
    };
    for (TArcType type : kTypes) {
        if (type == atGZip) continue;  // one member: see the gzip bomb
        SCOPED_TRACE(FileOf(type));
        Reset();
        std::string bytes = Build(type, members);
        if (type == atARC) {
            bytes = ArcArchive({Stored("SKIP.TXT", "s"), Coded("BIG.TXT", 3, arcBomb, big),
                                Stored("NEXT.TXT", "next")});
        }
        RunBytes(type, bytes);
        EXPECT_EQ(OutFiles(), (Lines{"BIG.TXT", "NEXT.TXT"}));
        EXPECT_EQ(Out("BIG.TXT"), big.substr(0, 100));
        EXPECT_EQ(Out("NEXT.TXT"), "next");
        EXPECT_EQ(extracted, 2);
        // ARC and ARJ report the refused member as skipped.
        const bool skipped = type == atARC || type == atARJ;
        EXPECT_EQ(log.codes, skipped ? std::vector<int>{ecode::FileSkipped} : std::vector<int>{});
    }
}

// Corpus archives with random bytes changed (the signature kept, the headers
// hit often) end in bounded time, within the folder and the byte limit,
// whatever they claim. CAB damages a whole set of cabinets at once.
TEST_F(ReadersTest, RandomlyDamagedArchivesEndCleanly) {
    LUMORA_REQUIRE_CORPUS();
    struct Case {
        TArcType type;
        Lines files;  // the first is run; the others sit beside it
    };
    const Case cases[] = {
        {atARC, {"arc/GAME1.ARC"}},
        {atARC, {"arc/GAME3.ARC"}},
        {atARC, {"arc/TOOLS.ARC"}},
        {atARJ, {"arj/GAME1.ARJ"}},
        {atARJ, {"arj/GAME2.ARJ"}},
        {atARJ, {"arj/TOOLS.ARJ"}},
        {atLHA, {"lha/GAME1.LZH"}},
        {atLHA, {"lha/GAME4.LZH"}},
        {atLHA, {"lha/LH113.LZH"}},
        {atLHA, {"lha/AMI_LH4.LZH"}},
        {atZOO, {"zoo/GAME1.ZOO"}},
        {atZOO, {"zoo/GAME2.ZOO"}},
        {atZOO, {"zoo/GAME3.ZOO"}},
        {atCAB, {"cab/GAME1.CAB"}},
        {atCAB, {"cab/TOOLS.CAB"}},
        {atCAB, {"cab/split-1.cab", "cab/split-2.cab", "cab/split-3.cab", "cab/split-4.cab"}},
    };
    std::mt19937 rng(12);
    limit = 1 << 20;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.files[0]);
        std::vector<std::string> good;
        for (const auto& f : c.files) good.push_back(ReadFile(CorpusDir() / f));
        const auto start = std::chrono::steady_clock::now();
        for (int round = 0; round < 80; ++round) {
            Reset();
            for (std::size_t i = 0; i < good.size(); ++i) {
                std::string bad = good[i];
                for (int n = 1 + rng() % 8; n > 0; --n) {
                    const std::size_t span = rng() % 2 ? 128 : bad.size();
                    bad[4 + rng() % (std::min(span, bad.size()) - 4)] = static_cast<char>(rng());
                }
                Write(fs::path(c.files[i]).filename(), bad);
            }
            const auto reader = MakeReader(c.type);
            Run(*reader, Path(fs::path(c.files[0]).filename()));
            ASSERT_EQ(log.lines.back(), "Deactivate");
            for (const auto& f : FilesBelow(root_)) {
                const bool archive = std::any_of(c.files.begin(), c.files.end(), [&](auto& a) {
                    return fs::path(a).filename() == f;
                });
                ASSERT_TRUE(archive || f.starts_with("out/")) << f;
                ASSERT_LE(fs::file_size(Path(f)), limit) << f;
            }
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
        for (const auto& f : c.files) fs::remove(Path(fs::path(f).filename()));
    }
}

}  // namespace
}  // namespace lumora::archive::test
