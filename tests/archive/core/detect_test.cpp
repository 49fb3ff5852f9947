// Archive type detection: the signature table in both modes, executables
// (string table, end of the DOS image, ZIP end record), the TAR checksum and
// every archive of the corpus.
#include "archive/core/detect.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <map>
#include <sstream>

#include "archive/archive_test_support.h"
#include "archive/core/awk_main.h"
#include "support/builders/pe_builder.h"
#include "support/builders/tar_builder.h"
#include "support/builders/zip_builder.h"

namespace lumora::archive {
namespace {

using test::MakePe;
using test::PutAt;
using test::Set16;
using test::TarFile;
using test::TarHeaderBlock;

// A literal with its zero bytes.
template <std::size_t N>
std::string B(const char (&s)[N]) {
    return std::string(s, N - 1);
}

const std::string kZipLocal = B("PK\3\4");

class DetectTest : public test::TempDirTest {
protected:
    Detection DetectBytes(const std::string& bytes, const std::string& name = "X.BIN",
                          int cmntBufSize = 0) {
        test::WriteFile(Path(name), bytes);
        return DetectArcType(Path(name).string(), cmntBufSize);
    }
};

// Every signature at the start of a plain file (the first match of the table
// wins: "HA-lh5-" is HA, not LHA), and the check of an ARC's first member:
// a known method and a zero-ended name.
TEST_F(DetectTest, PlainSignatures) {
    const std::pair<TArcType, std::vector<std::string>> cases[] = {
        {atZIP, {kZipLocal}},
        {atCAB, {"MSCF"}},
        {atZip250, {B("\0\0\0P")}},
        {atBH, {"BH\x05\x07"}},
        {atHA, {B("HA\2\0"), "HA-lh5-"}},
        {atGZip, {"\x1F\x8B-l", "\x1F\x9D", "\x1F\x9E", "\x1F\x1E", "\x1F\xA0"}},
        {atARJ, {"\x60\xEA-l"}},
        {atZOO, {"ZOO 2.10"}},
        {atLHA, {"\x20\x41-lh5-"}},
        {atRAR, {"Rar!"}},
        {atPAK, {"\x1A\x0A", "\x1A\x0B"}},
        {atArcExe, {"\xB7\x92", "\xB7\xDF"}},
        {atARC,
         {"\x1A\x08", "\x1A\x09", B("\x1A\2FILE_ID.DIZ\0\0"), B("\x1A\7A.TXT\0"), B("\x1A\1A\0")}},
        {atUnknown,
         {"\x1A\2NOTERMINATEDNAME", B("\x1A\0A\0"), B("\x1A\14A\0"), "PK\x05\x06", "hello world"}},
    };
    for (const auto& [type, heads] : cases) {
        for (std::string bytes : heads) {
            bytes.resize(64, 'x');
            const Detection d = DetectBytes(bytes);
            EXPECT_EQ(d.type, type) << bytes;
            EXPECT_EQ(d.archiveStart, type == atArcExe ? 7717 : 1) << bytes;
        }
    }
}

// Inside an executable only the self-extractor types are accepted.
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

// No name, missing, too short (under 6 bytes) and a folder.
TEST_F(DetectTest, FilesThatCannotBeArchives) {
    EXPECT_EQ(DetectArcType("", 0).type, atNA);
    EXPECT_EQ(DetectArcType(Path("missing.zip").string(), 0).type, atFileError);
    EXPECT_EQ(DetectBytes(kZipLocal + "\x0A").type, atFileError);
    EXPECT_EQ(DetectBytes(kZipLocal + "\x0A\x0A").type, atZIP);
    std::filesystem::create_directories(Path("folder.zip"));
    EXPECT_EQ(DetectArcType(Path("folder.zip").string(), 0).type, atFileError);
}

// The string table's numbers are offsets tried in turn: a ZIP there is an
// SFX at that offset, other self-extractors start there, an unknown
// signature moves on, a non-number or an offset past the end stops, only
// five digits are read, and MSCF ends the detection before the image end
// (where a ZIP would be found) is tried.
TEST_F(DetectTest, StringTableOffsets) {
    struct Case {
        std::vector<std::string> strings;
        std::string sig;
        TArcType type;
        std::int64_t sfxOffset = 0;
        bool zipAtImageEnd = false;
    };
    const Case cases[] = {
        {{"2000"}, kZipLocal, atZipExe, 2000},    {{"2000"}, "\x1A\x08", atArcExe},
        {{"2000"}, "MSCF", atNA, 0, true},        {{"3000", "2000"}, "\x60\xEA", atArjExe},
        {{"abc", "2000"}, "\x60\xEA", atUnknown}, {{"99999", "2000"}, "\x60\xEA", atUnknown},
        {{"200000"}, "\x60\xEA", atUnknown},  // read as 20000
    };
    for (const auto& c : cases) {
        std::string f = MakePe(c.strings);
        if (c.zipAtImageEnd) {
            Set16(f, 2, 0x0090);  // the DOS image ends at (3 - 1) * 512 + 144 = 1168
            Set16(f, 4, 3);
            PutAt(f, 1168, kZipLocal);
        }
        PutAt(f, 2000, c.sig + std::string(40, '\0'));
        PutAt(f, 3000, std::string(4, '\0'));
        PutAt(f, 20000, std::string(8, '\0'));
        const Detection d = DetectBytes(f, "SFX.EXE");
        EXPECT_EQ(d.type, c.type) << c.strings.front() << " " << c.sig;
        EXPECT_EQ(d.sfxOffset, c.sfxOffset) << c.strings.front();
        if (c.sfxOffset) {
            EXPECT_EQ(d.archiveStart, c.sfxOffset + 1);
        }
    }
}

// Without a string table the archive is looked for where the DOS image ends.
TEST_F(DetectTest, EndOfTheDosImage) {
    for (const auto& [sig, type, start] :
         {std::tuple{kZipLocal, atZipExe, 1169}, std::tuple{B("\0\0\x60\xEA"), atArjExe, 1171}}) {
        std::string f = "MZ" + std::string(62, '\0');
        Set16(f, 2, 0x0090);
        Set16(f, 4, 3);
        PutAt(f, 1168, sig + std::string(30, '\0'));
        const Detection d = DetectBytes(f, "A.EXE");
        EXPECT_EQ(d.type, type);
        EXPECT_EQ(d.archiveStart, start);
        EXPECT_EQ(d.sfxOffset, 0);
    }
}

// Last resort: the ZIP end record, searched within the comment buffer size
// (or a few bytes without one) from the end.
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
        zb.stub = "MZ" + std::string(198, '\0');  // no image end inside
        zb.comment = std::string(c.comment, 'c');
        zb.Add(test::Member("A.TXT", "hello"));
        const Detection d = DetectBytes(zb.Build(), "S.EXE", c.bufSize);
        EXPECT_EQ(d.type, c.found ? atZipExe : atUnknown) << c.comment << " " << c.bufSize;
        if (c.found) {
            EXPECT_EQ(d.archiveStart, 200);  // the stored offset, 0-based
        }
    }
    // An end record in an executable smaller than the search window.
    std::string small = "MZ" + std::string(40, '\0');
    PutAt(small, 20, "PK\x05\x06");
    for (int size : {0, 10, 32767}) EXPECT_EQ(DetectBytes(small, "T.EXE", size).type, atUnknown);
}

// TAR needs the .TAR extension, more than 512 bytes and a right checksum
// (blanks inside the field skipped); a volume label moves the check to the
// next block.
TEST_F(DetectTest, TarByChecksumExtensionAndVolumeLabel) {
    const std::string tar = TarHeaderBlock(TarFile("FILE_ID.DIZ", "")) + std::string(1024, '\0');
    // Name "A", the rest zero: the sum is 65 + 8 * 32 = 321 = 0o501.
    const auto a = [](const std::string& checksum) {
        std::string b(1024, '\0');
        b[0] = 'A';
        return b.replace(148, 8, checksum);
    };
    const std::string label = TarHeaderBlock({"GAME2 VOLUME", "", 'V', "", "garbage!"});
    struct Case {
        std::string name, bytes;
        TArcType type;
        std::int64_t start = 1;
    };
    const Case cases[] = {
        {"BACKUP.TAR", tar, atTAR},
        {"backup.tar", tar, atTAR},
        {"BACKUP.DAT", tar, atUnknown},
        {"BACKUP", tar, atUnknown},
        {"SHORT.TAR", tar.substr(0, 512), atUnknown},
        {"A.TAR", a(B("000501\0 ")), atTAR},
        {"B.TAR", a(B("0005 01\0")), atTAR},
        {"C.TAR", a(B("000502\0 ")), atUnknown},
        {"V.TAR", label + TarHeaderBlock(TarFile("FILE_ID.DIZ", "")) + std::string(512, '\0'),
         atTAR, 513},
        {"W.TAR", label + std::string(1024, '\0'), atUnknown},
    };
    for (const auto& c : cases) {
        const Detection d = DetectBytes(c.bytes, c.name);
        EXPECT_EQ(d.type, c.type) << c.name;
        EXPECT_EQ(d.archiveStart, c.start) << c.name;
    }
}

// Setting the archive detects its type without changing the current folder;
// the comment buffer size is kept within 0..32767.
TEST_F(DetectTest, ArchiveFileSetterKeepsTheCurrentFolder) {
    char before[PATH_MAX], after[PATH_MAX];
    ASSERT_NE(::getcwd(before, sizeof before), nullptr);
    test::WriteFile(Path("sub/A.ZIP"), kZipLocal + std::string(40, '\0'));
    TZipCommon c;
    c.SetArchiveFile(Path("sub/A.ZIP").string());
    EXPECT_EQ(c.ArcType(), atZIP);
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
    int checked = 0;
    for (const std::string& line : lumora::test::CorpusManifestLines()) {
        std::istringstream fields(line);
        std::string path, format;
        std::getline(fields, path, '\t');
        std::getline(fields, format, '\t');
        const auto ex = exceptions.find(path);
        const auto fmt = byFormat.find(format);
        if (ex == exceptions.end() && fmt == byFormat.end()) continue;
        const TArcType expected = ex != exceptions.end() ? ex->second : fmt->second;
        EXPECT_EQ(DetectArcType((test::CorpusDir() / path).string(), 0).type, expected) << path;
        ++checked;
    }
    EXPECT_GT(checked, 100);
}

}  // namespace
}  // namespace lumora::archive
