// The ARJ reader: the corpus archives and the multi-volume set against the
// expected bytes (and against arj itself where installed), the header
// search, the member checks, FileSpec with and without wildcards, CRC
// results, volumes found without regard to case, and hostile headers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "archive/archive_test_support.h"
#include "archive/arj_header.h"
#include "archive/crc.h"
#include "archive/error_codes.h"
#include "archive/reader_factory.h"
#include "archive/un_arj.h"

namespace lumora::archive::test {
namespace {

std::string Le(std::uint32_t v, int width) {
    std::string s;
    for (int i = 0; i < width; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

std::uint32_t Crc32Of(const std::string& s) {
    Crc32 crc;
    crc.Update(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
    return crc.Value();
}

bool HaveTool(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

struct ArjEntry {
    ArjEntry(std::string n, std::string d = "") : name(std::move(n)), data(std::move(d)) {}
    std::string name;
    std::string data;         // the member's original bytes
    std::string packed;       // compressed bytes (methods 1-4); `data` when empty
    std::uint8_t method = 0;  // 0 stored
    std::uint8_t flags = 0;
    std::uint8_t fileType = 0;
    std::uint8_t version = 11;
    std::uint8_t minVersion = 1;
    std::optional<std::uint32_t> crc;
    std::optional<std::uint32_t> packedSize;
    std::string ext;  // one extended header's data, when not empty
};

// A header block: signature, size, basic header, its CRC, extended headers.
std::string HeaderBlock(const ArjEntry& e) {
    const std::string& packed = e.packed.empty() ? e.data : e.packed;
    std::string b{30,
                  static_cast<char>(e.version),
                  static_cast<char>(e.minVersion),
                  2,
                  static_cast<char>(e.flags),
                  static_cast<char>(e.method),
                  static_cast<char>(e.fileType),
                  0};
    b +=
        Le(0x1F9A6000, 4) + Le(e.packedSize.value_or(static_cast<std::uint32_t>(packed.size())), 4);
    b += Le(static_cast<std::uint32_t>(e.data.size()), 4) + Le(e.crc.value_or(Crc32Of(e.data)), 4);
    b += std::string(6, '\0') + e.name + '\0' + '\0';
    std::string block = "\x60\xEA" + Le(static_cast<std::uint32_t>(b.size()), 2) + b;
    block += Le(Crc32Of(b), 4);
    if (!e.ext.empty()) block += Le(static_cast<std::uint32_t>(e.ext.size()), 2) + e.ext + "CRC!";
    return block + Le(0, 2);
}

std::string ArjArchive(const std::vector<ArjEntry>& entries, const std::string& name = "T.ARJ") {
    ArjEntry main{name};
    main.fileType = 2;
    std::string s = HeaderBlock(main);
    for (const ArjEntry& e : entries) s += HeaderBlock(e) + (e.packed.empty() ? e.data : e.packed);
    return s + std::string("\x60\xEA\0\0", 4);
}

class ArjReaderTest : public TempDirTest {
protected:
    void Extract(const fs::path& archive, const std::string& spec = "*.*") {
        TZipCommon probe;
        probe.SetArchiveFile(archive);
        const auto reader = MakeReader(probe.ArcType());
        ASSERT_NE(dynamic_cast<TUnARJ*>(reader.get()), nullptr) << ArcTypeName(probe.ArcType());
        log = {};
        log.Attach(*reader);
        if (onError) reader->OnError = onError;
        reader->SetArchiveFile(archive);
        reader->SetExtractDir(Path("out"));
        reader->SetFileSpec(spec);
        reader->MaxOutputBytes = maxOutput;
        reader->Extract();
        extracted = reader->ExtractedCount();
    }
    fs::path Write(const std::string& bytes, const std::string& name = "T.ARJ") {
        WriteFile(Path(name), bytes);
        return Path(name);
    }
    std::string Out(const std::string& name) { return ReadFile(Path("out") / name); }

    EventLog log;
    TOnError onError;
    std::uint64_t maxOutput = 0;
    int extracted = 0;
};

TEST_F(ArjReaderTest, CorpusArchivesExtractAsArjDoes) {
    LUMORA_REQUIRE_CORPUS();
    const bool haveArj = HaveTool("arj");
    for (const char* path :
         {"arj/GAME1.ARJ", "arj/GAME2.ARJ", "arj/GAME3.ARJ", "arj/GAME4.ARJ", "arj/TOOLS.ARJ",
          "arj/ARJCMT.ARJ", "arj/DOCONLY.ARJ", "arj/ARJ020B.ARJ", "arj/MULTI.ARJ", "sfx/ARJSFX.EXE",
          "arj/CRYPT.ARJ"}) {
        SCOPED_TRACE(path);
        fs::remove_all(Path("out"));
        fs::remove_all(Path("arj"));
        Extract(CorpusDir() / path);
        if (fs::path(path).filename() == "CRYPT.ARJ") {  // garbled: the run ends at once
            EXPECT_EQ(log.codes, std::vector<int>{ecode::PasswordProtected});
            EXPECT_EQ(extracted, 0);
            continue;
        }
        EXPECT_EQ(log.codes, std::vector<int>{});
        const fs::path expected = CorpusDir() / "expected" / path;
        if (fs::is_directory(expected)) {
            for (const auto& want : fs::directory_iterator(expected))
                EXPECT_EQ(Out(want.path().filename()), ReadFile(want.path()));
        }
        if (!haveArj) continue;
        // arj itself extracts every member (and follows the volumes) into
        // its own folder.
        const std::string cmd = "mkdir -p '" + Path("arj").string() + "' && cd '" +
                                Path("arj").string() + "' && arj e -v -y " +
                                (CorpusDir() / path).string() + " >/dev/null 2>&1";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        EXPECT_EQ(FilesBelow(Path("arj")), FilesBelow(Path("out")));
        for (const auto& name : FilesBelow(Path("arj")))
            EXPECT_EQ(Out(name), ReadFile(Path("arj") / name)) << name;
        EXPECT_EQ(static_cast<int>(FilesBelow(Path("out")).size()), extracted);
    }
}

// A member split over three volumes whose names are written in lower case.
TEST_F(ArjReaderTest, MembersSplitOverVolumesAreWrittenWhole) {
    ArjEntry a{"BIG.DAT", std::string(300, 'a')}, b{"BIG.DAT", std::string(200, 'b')},
        c{"BIG.DAT", std::string(100, 'c')};
    a.flags = b.flags = kArjContinues;
    Write(ArjArchive({{"FIRST.TXT", "first"}, a}, "SET.ARJ"), "set.arj");
    Write(ArjArchive({b}, "SET.A01"), "set.a01");
    Write(ArjArchive({c, {"LAST.TXT", "last"}}, "SET.A02"), "Set.A02");
    Extract(Path("set.arj"));
    EXPECT_EQ(log.codes, std::vector<int>{});
    EXPECT_EQ(Out("BIG.DAT"), a.data + b.data + c.data);
    EXPECT_EQ(Out("LAST.TXT"), "last");
    EXPECT_EQ(extracted, 3);
    maxOutput = 350;  // reached inside the second part
    Extract(Path("set.arj"));
    EXPECT_EQ(log.codes, std::vector<int>{});
    EXPECT_EQ(Out("BIG.DAT"), a.data + b.data.substr(0, 50));
    EXPECT_EQ(Out("LAST.TXT"), "last");
    maxOutput = 0;

    // Every part's CRC is checked, not only the last one's; a stored member
    // that fails does not count, so the walk goes on.
    b.crc = 1;
    Write(ArjArchive({b}, "SET.A01"), "set.a01");
    Extract(Path("set.arj"), "BIG.DAT");
    EXPECT_EQ(log.codes,
              (std::vector<int>{ecode::FileSkipped, ecode::CrcError, ecode::FileSkipped}));
    EXPECT_EQ(Out("BIG.DAT"), a.data + b.data + c.data);

    // A missing volume is announced as the next disk (the handler may put
    // it in place), then reported as not found.
    fs::rename(Path("Set.A02"), Path("later.a02"));
    std::vector<std::string> reports;
    onError = [&](TZipCommon&, const std::string& fn, const std::string& volumeId, int code) {
        if (code != ecode::FileSkipped)
            reports.push_back(std::to_string(code) + " " + fn + " " + volumeId);
    };
    Extract(Path("set.arj"), "LAST.TXT");
    EXPECT_EQ(reports, (std::vector<std::string>{"25903 set.A02 2", "25132 set.A02 2"}));
    onError = [&](TZipCommon&, const std::string&, const std::string&, int code) {
        if (code == ecode::NextDisk) fs::rename(Path("later.a02"), Path("SET.A02"));
    };
    Extract(Path("set.arj"), "LAST.TXT");
    EXPECT_EQ(Out("LAST.TXT"), "last");
}

TEST_F(ArjReaderTest, HeaderSearchPassesOverBadCandidatesWithinItsBounds) {
    const std::string archive = ArjArchive({{"FILE_ID.DIZ", "found"}});
    const std::string tooBig("\x60\xEA\xFF\xFF", 4);  // size above 2600
    const std::string badCrc = "\x60\xEA" + Le(40, 2) + std::string(44, 'x');
    std::string dosStub(1100, '\0');  // the DOS image ends at 1100
    dosStub.replace(0, 6, "MZ" + Le(76, 2) + Le(3, 2));
    struct Case {
        const char* what;
        std::string bytes;
        bool found;
        TArcType type = atARJ;
    };
    const Case cases[] = {
        {"size above 2600", tooBig + archive, true},
        {"overlapping pair, bad CRC", tooBig + "\x60" + badCrc + archive, true},
        {"plain file, header beyond 25000", tooBig + std::string(26000, ' ') + archive, false},
        {"stub, header 24000 after it", dosStub + tooBig + std::string(24000, ' ') + archive, true,
         atArjExe},
        {"stub, header 25100 after it", dosStub + tooBig + std::string(25100, ' ') + archive, false,
         atArjExe},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(Path("out"));
        TZipCommon probe;
        probe.SetArchiveFile(Write(c.bytes));
        EXPECT_EQ(probe.ArcType(), c.type);
        Extract(Path("T.ARJ"));
        EXPECT_EQ(log.codes, c.found ? std::vector<int>{} : std::vector<int>{ecode::BadArchive});
        EXPECT_EQ(fs::exists(Path("out/FILE_ID.DIZ")), c.found);
    }
}

TEST_F(ArjReaderTest, MemberChecksEndTheRun) {
    ArjEntry garbled{"A.TXT", "a"}, method5{"A.TXT", "a"}, method4v1{"A.TXT", "a"},
        version4{"A.TXT", "a"}, fileType2{"A.TXT", "a"};
    garbled.flags = 0x01;
    method5.method = 5;
    method4v1.method = 4;
    method4v1.version = 1;
    version4.minVersion = 4;
    fileType2.fileType = 2;
    const std::pair<ArjEntry, int> cases[] = {{garbled, ecode::PasswordProtected},
                                              {method5, ecode::UnsupportedMethod},
                                              {method4v1, ecode::UnsupportedMethod},
                                              {version4, ecode::VersionError},
                                              {fileType2, ecode::UnknownFileType}};
    for (const auto& [entry, code] : cases) {
        SCOPED_TRACE(code);
        Extract(Write(ArjArchive({entry, {"B.TXT", "b"}})));
        EXPECT_EQ(log.lines,
                  (std::vector<std::string>{"Activate", "Error " + std::to_string(code) + " A.TXT",
                                            "Deactivate"}));
    }
}

TEST_F(ArjReaderTest, PlainFileSpecStopsAfterTheFirstExtractedMember) {
    ArjEntry badCrc{"A.TXT", "damaged"};
    badCrc.crc = 1;
    ArjEntry folder{"DIR"};
    folder.fileType = kArjDirectory;
    const fs::path archive = Write(
        ArjArchive({folder, badCrc, {"A.TXT", "first"}, {"B.TXT", "b"}, {"A.TXT", "second"}}));
    struct Case {
        const char* spec;
        std::vector<std::string> lines;
        const char* content;
    };
    const Case cases[] = {
        {"A.TXT",
         {"Activate", "Begin A.TXT 1", "Error 25117 A.TXT", "End A.TXT fail", "Begin A.TXT 1",
          "End A.TXT pass", "Deactivate"},
         "first"},
        {"?.TXT",
         {"Activate", "Begin A.TXT 1", "Error 25117 A.TXT", "End A.TXT fail", "Begin A.TXT 1",
          "End A.TXT pass", "Begin B.TXT 2", "End B.TXT pass", "Begin A.TXT 3", "End A.TXT pass",
          "Deactivate"},
         "second"},
        {"A*",
         {"Activate", "Begin A.TXT 1", "Error 25117 A.TXT", "End A.TXT fail", "Begin A.TXT 1",
          "End A.TXT pass", "Error 26900 B.TXT", "Begin A.TXT 2", "End A.TXT pass", "Deactivate"},
         "second"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.spec);
        Extract(archive, c.spec);
        EXPECT_EQ(log.lines, c.lines);
        EXPECT_EQ(Out("A.TXT"), c.content);
    }
}

// A compressed member with a wrong CRC still counts as extracted.
TEST_F(ArjReaderTest, CompressedMemberWithWrongCrcCounts) {
    if (!HaveTool("arj")) GTEST_SKIP() << "arj not installed";
    const std::string text(5000, 'z');
    WriteFile(Path("src/A.TXT"), text);
    ASSERT_EQ(std::system(
                  ("cd '" + Path("src").string() + "' && arj a -m1 -y M.ARJ A.TXT >/dev/null 2>&1")
                      .c_str()),
              0);
    const std::string made = ReadFile(Path("src/M.ARJ"));
    const std::size_t second = made.find("\x60\xEA", 4);  // the member's header
    const std::size_t size = static_cast<unsigned char>(made[second + 2]) |
                             static_cast<unsigned char>(made[second + 3]) << 8;
    const std::size_t data = second + 4 + size + 4 + 2;
    ArjEntry m{"A.TXT", text};
    m.packed = made.substr(data, made.size() - data - 4);
    m.method = 1;
    m.crc = 1;
    Extract(Write(ArjArchive({m, {"A.TXT", "second"}})), "A.TXT");
    EXPECT_EQ(log.codes, std::vector<int>{ecode::CrcError});
    EXPECT_EQ(Out("A.TXT"), text);
    EXPECT_EQ(extracted, 1);
}

TEST_F(ArjReaderTest, BeginComesBeforeFileExistsAndEitherMaySkip) {
    WriteFile(Path("out/A.TXT"), "old");
    const fs::path archive = Write(ArjArchive({{"A.TXT", "new"}}));
    std::vector<std::string> order;
    TUnARJ r;
    log.Attach(r);
    r.OnBegin = [&](TZipCommon&, const std::string&, int, bool&) { order.push_back("Begin"); };
    r.OnFileExists = [&](TZipCommon&, const std::string&, TDateTime, bool& accept) {
        order.push_back("Exists");
        accept = false;
    };
    r.SetArchiveFile(archive);
    r.SetExtractDir(Path("out"));
    r.Extract();
    EXPECT_EQ(order, (std::vector<std::string>{"Begin", "Exists"}));
    EXPECT_EQ(log.codes, std::vector<int>{ecode::FileSkipped});
    EXPECT_EQ(Out("A.TXT"), "old");
}

TEST_F(ArjReaderTest, HostileHeaders) {
    ArjEntry past{"A.TXT", "a"}, withExt{"B.TXT", "b"};
    past.packedSize = 5000;
    withExt.ext = "extended";
    std::string badHeaderCrc = ArjArchive({{"A.TXT", "a"}});
    badHeaderCrc[badHeaderCrc.find("A.TXT") + 1] = 'X';
    struct Case {
        const char* what;
        std::string bytes;
        std::vector<int> codes;
        std::vector<std::string> files;
    };
    const Case cases[] = {
        {"data past the end",
         ArjArchive({{"GOOD.TXT", "g"}, past}),
         {ecode::BadFileHeader},
         {"GOOD.TXT"}},
        {"header CRC", badHeaderCrc, {ecode::HeaderCrcError}, {}},
        {"extended header", ArjArchive({withExt}), {}, {"B.TXT"}},
        {"names",
         ArjArchive({{"../../EVIL1.TXT", "1"}, {"C:\\EVIL2.TXT", "2"}, {"..", "3"}}),
         {},
         {"EVIL1.TXT", "EVIL2.TXT"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(Path("out"));
        Extract(Write(c.bytes));
        EXPECT_EQ(log.codes, c.codes);
        EXPECT_EQ(fs::exists(Path("out")) ? FilesBelow(Path("out")) : std::vector<std::string>{},
                  c.files);
    }
    EXPECT_EQ(FilesBelow(root_).size(), 3u);  // T.ARJ and the two files in out/
}

// Damage anywhere behind the signature ends the run with a report at worst:
// no crash, no hang, nothing written outside the folder.
TEST_F(ArjReaderTest, RandomlyDamagedArchivesEndCleanly) {
    LUMORA_REQUIRE_CORPUS();
    std::mt19937 rng(12);
    maxOutput = 1 << 20;
    for (const char* path : {"arj/GAME1.ARJ", "arj/GAME2.ARJ", "arj/TOOLS.ARJ"}) {
        SCOPED_TRACE(path);
        const std::string good = ReadFile(CorpusDir() / path);
        for (int round = 0; round < 100; ++round) {
            std::string bad = good;
            for (int n = 1 + rng() % 8; n > 0; --n)
                bad[4 + rng() % (bad.size() - 4)] = static_cast<char>(rng());
            fs::remove_all(Path("out"));
            WriteFile(Path("T.ARJ"), bad);
            Extract(Path("T.ARJ"));
            for (const auto& f : FilesBelow(root_))
                ASSERT_TRUE(f == "T.ARJ" || f.starts_with("out/")) << f;
        }
    }
}

}  // namespace
}  // namespace lumora::archive::test
