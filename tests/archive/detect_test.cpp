// Archive type detection: the signature table in both modes, executables
// (string table, end of the DOS image, ZIP end record), the TAR checksum and
// every archive of the corpus.
#include "archive/detect.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <map>
#include <set>
#include <sstream>

#include "archive/awk_main.h"
#include "archive_test_support.h"
#include "pe_builder.h"
#include "zip_builder.h"

namespace lumora::archive {
namespace {

using test::MakePe;
using test::PutAt;
using test::Set16;

const std::string kZipLocal("PK\x03\x04", 4);

class DetectTest : public test::TempDirTest {
protected:
    Detection DetectBytes(const std::string& bytes, const std::string& name = "X.BIN",
                          int cmntBufSize = 0) {
        const auto path = Path(name);
        test::WriteFile(path, bytes);
        return DetectArcType(path.string(), cmntBufSize);
    }
};

TEST_F(DetectTest, PlainSignatures) {
    struct Case {
        std::string head;
        TArcType type;
    };
    const std::vector<Case> cases = {
        {kZipLocal, atZIP},
        {"MSCF", atCAB},
        {std::string("\0\0\0P", 4), atZip250},
        {"BH\x05\x07", atBH},
        {"HA\x02\x00", atHA},
        {"HA-lh5-", atHA},  // first match wins over "-l" at bytes 2..3
        {"\x1F\x8B-l", atGZip},
        {"\x1F\x9D", atGZip},
        {"\x1F\x9E", atGZip},
        {"\x1F\x1E", atGZip},
        {"\x1F\xA0", atGZip},
        {"\x60\xEA-l", atARJ},
        {"ZOO 2.10", atZOO},
        {"\x20\x41-lh5-", atLHA},
        {"Rar!", atRAR},
        {"\x1A\x0A", atPAK},
        {"\x1A\x0B", atPAK},
        {"\x1A\x08", atARC},
        {"\x1A\x09", atARC},
        {"\xB7\x92", atArcExe},
        {"\xB7\xDF", atArcExe},
        {std::string("\x1A\x02"
                     "FILE_ID.DIZ\0\0",
                     15),
         atARC},  // stored first member
        {std::string("\x1A\x07"
                     "A.TXT\0",
                     8),
         atARC},
        {std::string("\x1A\x01"
                     "A\0",
                     4),
         atARC},
        {"\x1A\x02"
         "NOTERMINATEDNAME",
         atUnknown},
        {std::string("\x1A\x00"
                     "A\0",
                     4),
         atUnknown},
        {std::string("\x1A\x0C"
                     "A\0",
                     4),
         atUnknown},
        {"PK\x05\x06", atUnknown},
        {"hello world", atUnknown},
    };
    for (const auto& c : cases) {
        std::string bytes = c.head;
        bytes.resize(64, 'x');
        const Detection d = DetectBytes(bytes);
        EXPECT_EQ(ArcTypeName(d.type), ArcTypeName(c.type)) << "head " << c.head;
        EXPECT_EQ(d.archiveStart, c.type == atArcExe ? 7717 : 1) << "head " << c.head;
    }
}

TEST(ClassifySignatureTest, InsideAnExecutable) {
    const std::map<std::uint32_t, TArcType> cases = {
        {0x04034B50u, atZipExe},  {0x4643534Du, atNA},      {0x50000000u, atZip250Exe},
        {0x07054842u, atBHExe},   {0x00004148u, atNA},      {0x00008B1Fu, atNA},
        {0x0000EA60u, atArjExe},  {0x00004F5Au, atNA},      {0x6C2D0000u, atLhaExe},
        {0x00006152u, atRarExe},  {0x00000A1Au, atPakExe},  {0x0000081Au, atArcExe},
        {0x0000021Au, atUnknown}, {0x12345678u, atUnknown},
    };
    for (const auto& [value, type] : cases) {
        std::int64_t start = 1;
        EXPECT_EQ(ClassifySignature(value, SigMode::Inside, start), type) << std::hex << value;
    }
}

TEST_F(DetectTest, FilesThatCannotBeArchives) {
    EXPECT_EQ(DetectArcType("", 0).type, atNA);
    EXPECT_EQ(DetectArcType(Path("missing.zip").string(), 0).type, atFileError);
    EXPECT_EQ(DetectBytes(kZipLocal + "\x0A").type, atFileError);  // 5 bytes
    EXPECT_EQ(DetectBytes(kZipLocal + "\x0A\x0A").type, atZIP);    // 6 bytes
    std::filesystem::create_directories(Path("folder.zip"));
    EXPECT_EQ(DetectArcType(Path("folder.zip").string(), 0).type, atFileError);
}

TEST_F(DetectTest, StringTableOffsetOfAZip) {
    std::string f = MakePe({"12345"});
    PutAt(f, 12345, kZipLocal + std::string(40, '\0'));
    const Detection d = DetectBytes(f, "SFX.EXE");
    EXPECT_EQ(d.type, atZipExe);
    EXPECT_EQ(d.sfxOffset, 12345);
    EXPECT_EQ(d.archiveStart, 12346);
}

TEST_F(DetectTest, StringTablePassOutcomes) {
    struct Case {
        std::vector<std::string> strings;
        std::string sigAt2000;
        TArcType type;
    };
    const std::vector<Case> cases = {
        {{"2000"}, "\x1A\x08", atArcExe},
        {{"2000"}, "MSCF", atNA},                    // not accepted inside: the pass ends there
        {{"3000", "2000"}, "\x60\xEA", atArjExe},    // 3000: nothing known, next identifier
        {{"abc", "2000"}, "\x60\xEA", atUnknown},    // not a number: the pass stops
        {{"99999", "2000"}, "\x60\xEA", atUnknown},  // beyond the file: the pass stops
        {{"200000"}, "\x60\xEA", atUnknown},         // only 5 characters are read: 20000
    };
    for (const auto& c : cases) {
        std::string f = MakePe(c.strings);
        PutAt(f, 2000, c.sigAt2000 + std::string(2, '\0'));
        PutAt(f, 3000, std::string(4, '\0'));
        PutAt(f, 20000, std::string(8, '\0'));
        const Detection d = DetectBytes(f, "SFX.EXE");
        EXPECT_EQ(ArcTypeName(d.type), ArcTypeName(c.type)) << c.strings.front();
        EXPECT_EQ(d.sfxOffset, 0);
    }
}

TEST_F(DetectTest, MscfAtAStringOffsetStopsBeforeTheOtherPasses) {
    std::string f = MakePe({"2000"});
    PutAt(f, 2000, "MSCF");
    Set16(f, 2, 0x0090);  // DOS image ends at 1168, where a ZIP is
    Set16(f, 4, 3);
    PutAt(f, 1168, kZipLocal);
    EXPECT_EQ(DetectBytes(f, "SFX.EXE").type, atNA);
}

TEST_F(DetectTest, EndOfTheDosImage) {
    std::string f(64, '\0');
    f[0] = 'M', f[1] = 'Z';
    Set16(f, 2, 0x0090);
    Set16(f, 4, 3);  // (3 - 1) * 512 + 144 = 1168
    std::string zip = f;
    PutAt(zip, 1168, kZipLocal + std::string(30, '\0'));
    Detection d = DetectBytes(zip, "A.EXE");
    EXPECT_EQ(d.type, atZipExe);
    EXPECT_EQ(d.archiveStart, 1169);
    EXPECT_EQ(d.sfxOffset, 0);

    std::string arj = f;
    PutAt(arj, 1168, std::string("\0\0\x60\xEA", 4) + std::string(30, '\0'));
    d = DetectBytes(arj, "B.EXE");
    EXPECT_EQ(d.type, atArjExe);
    EXPECT_EQ(d.archiveStart, 1171);
}

TEST_F(DetectTest, ZipAppendedToAStubFoundByItsEndRecord) {
    struct Case {
        std::size_t comment;
        int bufSize;
        bool found;
    };
    const Case cases[] = {{0, 0, true},     {1, 0, true},     {5, 0, false},
                          {100, 100, true}, {101, 100, true}, {102, 100, false}};
    for (const auto& c : cases) {
        test::ZipBuilder zb;
        zb.stub = std::string("MZ") + std::string(198, '\0');  // no image end inside
        zb.comment = std::string(c.comment, 'c');
        zb.Add(test::Member("A.TXT", "hello"));
        const Detection d = DetectBytes(zb.Build(), "S.EXE", c.bufSize);
        EXPECT_EQ(d.type, c.found ? atZipExe : atUnknown) << c.comment << " " << c.bufSize;
        if (c.found) {
            EXPECT_EQ(d.archiveStart, 200);  // the stored offset, 0-based
        }
    }
}

TEST_F(DetectTest, SmallExecutableWithACommentBuffer) {
    std::string f = "MZ" + std::string(40, '\0');
    PutAt(f, 20, "PK\x05\x06");
    for (int size : {0, 10, 32767}) EXPECT_EQ(DetectBytes(f, "T.EXE", size).type, atUnknown);
}

// A block whose checksum field holds the sum of its bytes.
std::string TarBlock(const std::string& name, char type = '0', const char* checksum = nullptr) {
    std::string b(512, '\0');
    b.replace(0, name.size(), name);
    b[156] = type;
    unsigned sum = 8 * 32;
    for (int i = 0; i < 512; ++i) sum += static_cast<unsigned char>(b[i]);
    char field[9];
    std::snprintf(field, sizeof field, "%06o", sum);
    b.replace(148, 8, checksum ? std::string(checksum, 8) : std::string(field, 6) + '\0' + ' ');
    return b;
}

TEST_F(DetectTest, TarByChecksumAndExtension) {
    const std::string tar = TarBlock("FILE_ID.DIZ") + std::string(1024, '\0');
    EXPECT_EQ(DetectBytes(tar, "BACKUP.TAR").type, atTAR);
    EXPECT_EQ(DetectBytes(tar, "backup.tar").type, atTAR);
    EXPECT_EQ(DetectBytes(tar, "BACKUP.DAT").type, atUnknown);
    EXPECT_EQ(DetectBytes(tar, "BACKUP").type, atUnknown);
    EXPECT_EQ(DetectBytes(tar.substr(0, 512), "SHORT.TAR").type, atUnknown);  // must exceed 512

    // Name "A", all else zero except the type byte 0: 65 + 8 * 32 = 321 = 0o501.
    std::string a(512, '\0');
    a[0] = 'A';
    a.replace(148, 8, std::string("000501\0 ", 8));
    EXPECT_EQ(DetectBytes(a + std::string(512, '\0'), "A.TAR").type, atTAR);
    a.replace(148, 8, std::string("0005 01\0", 8));  // ParseOctal skips the blank
    EXPECT_EQ(DetectBytes(a + std::string(512, '\0'), "B.TAR").type, atTAR);
    a.replace(148, 8, std::string("000502\0 ", 8));
    const Detection bad = DetectBytes(a + std::string(512, '\0'), "C.TAR");
    EXPECT_EQ(bad.type, atUnknown);
    EXPECT_EQ(bad.archiveStart, 1);
}

TEST_F(DetectTest, TarVolumeLabelMovesTheCheckToTheNextBlock) {
    const std::string label = TarBlock("GAME2 VOLUME", 'V', "garbage!");
    Detection d = DetectBytes(label + TarBlock("FILE_ID.DIZ") + std::string(512, '\0'), "V.TAR");
    EXPECT_EQ(d.type, atTAR);
    EXPECT_EQ(d.archiveStart, 513);
    d = DetectBytes(label + std::string(1024, '\0'), "W.TAR");
    EXPECT_EQ(d.type, atUnknown);
    EXPECT_EQ(d.archiveStart, 1);
}

TEST_F(DetectTest, ArchiveFileSetterKeepsTheCurrentFolder) {
    char before[PATH_MAX];
    ASSERT_NE(::getcwd(before, sizeof before), nullptr);
    const auto path = Path("sub/A.ZIP");
    test::WriteFile(path, kZipLocal + std::string(40, '\0'));
    TZipCommon c;
    c.SetArchiveFile(path.string());
    EXPECT_EQ(c.ArcType(), atZIP);
    char after[PATH_MAX];
    ASSERT_NE(::getcwd(after, sizeof after), nullptr);
    EXPECT_STREQ(before, after);
    c.SetArchiveFile("");
    EXPECT_EQ(c.ArcType(), atNA);
    c.SetZipCmntBufSize(40000);
    EXPECT_EQ(c.ZipCmntBufSize(), 32767);
    c.SetZipCmntBufSize(-5);
    EXPECT_EQ(c.ZipCmntBufSize(), 0);
}

// Expected type per corpus format; the listed files are known exceptions.
TEST(DetectCorpusTest, EveryArchiveOfTheCorpus) {
    LUMORA_REQUIRE_CORPUS();
    const std::map<std::string, TArcType> byFormat = {
        {"zip", atZIP}, {"sfx-zip", atZipExe}, {"arj", atARJ},   {"sfx-arj", atArjExe},
        {"lha", atLHA}, {"sfx-lha", atLhaExe}, {"zoo", atZOO},   {"arc", atARC},
        {"pak", atPAK}, {"cab", atCAB},        {"gzip", atGZip}, {"compress", atGZip},
        {"tar", atTAR}, {"rar", atRAR},        {"ha", atHA},
    };
    const std::map<std::string, TArcType> exceptions = {
        {"zip/SPLIT.ZIP", atUnknown},       // last part of a spanned set: starts mid-member
        {"misc/EMPTY.ZIP", atUnknown},      // only an end record
        {"misc/NOTAZIP.ZIP", atUnknown},    // text
        {"misc/ZEROLEN.ZIP", atFileError},  // 0 bytes
        {"misc/BADHDR.LZH", atLHA},
        {"sfx/LHARCSFX.COM", atUnknown},  // no MZ header, code before the archive
        {"sfx/WINSFX.EXE", atUnknown},    // archive neither at an offset nor at the image end
        {"sfx/RARSFX.EXE", atUnknown},
    };
    std::ifstream manifest(test::CorpusDir() / "MANIFEST.tsv");
    std::string line;
    std::getline(manifest, line);
    int checked = 0;
    while (std::getline(manifest, line)) {
        std::istringstream fields(line);
        std::string path, format;
        std::getline(fields, path, '\t');
        std::getline(fields, format, '\t');
        const auto ex = exceptions.find(path);
        const auto fmt = byFormat.find(format);
        if (ex == exceptions.end() && fmt == byFormat.end()) continue;
        const TArcType expected = ex != exceptions.end() ? ex->second : fmt->second;
        const Detection d = DetectArcType((test::CorpusDir() / path).string(), 0);
        EXPECT_EQ(ArcTypeName(d.type), ArcTypeName(expected)) << path;
        ++checked;
    }
    EXPECT_GT(checked, 100);
}

}  // namespace
}  // namespace lumora::archive
