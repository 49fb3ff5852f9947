// Crafted archives: every walk must advance and stay inside the file; sizes
// and chains that would move it backwards, in a circle or past the end end
// the listing with the header error, quickly.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>

#include "archive/archive_test_support.h"
#include "archive/lister_test_support.h"

namespace lumora::archive::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

std::string ArjBlock(const std::string& basic) {
    std::string b("\x60\xEA", 2);
    Put16(b, static_cast<std::uint32_t>(basic.size()));
    b += basic;
    Put32(b, CrcOf(basic));
    Put16(b, 0);
    return b;
}

std::string ArjBasic(const std::string& name, std::uint32_t packed, std::uint8_t fileType = 0) {
    std::string b;
    b += '\x1e';  // fixed part 30
    b += std::string("\x0b\x01\x00", 3);
    b += '\0';  // flags
    b += '\0';  // stored
    b += static_cast<char>(fileType);
    b += '\0';
    Put32(b, 0x1F8E5A00);
    Put32(b, packed);
    Put32(b, packed);
    Put32(b, 0);
    Put16(b, 0);
    Put16(b, 0x20);
    Put16(b, 0);
    return b + name + '\0' + '\0';
}

std::string Patched(std::string bytes, std::size_t at, const std::string& with) {
    return bytes.replace(at, with.size(), with);
}

struct HostileCase {
    std::string name;
    std::string bytes;
    bool result;
    std::vector<int> codes;
    std::vector<std::string> listed;
};

std::vector<HostileCase> Cases() {
    std::string huge;
    Put32(huge, 0xFFFFFF00);
    const std::string zip = ZipDirectoryOnly({{"A.TXT"}, {"B.TXT"}});
    const std::string arjMain = ArjBlock(ArjBasic("X.ARJ", 0, 2));
    std::string bigBasic = ArjBasic("A.TXT", 0);
    bigBasic.resize(2601, '\0');
    std::string rar = RarArchive({{"A.TXT", "aaaa"}, {"B.TXT", "bbbb"}});
    const std::size_t firstFile = 7 + 13;
    return {
        {"BACK.ZOO",
         ZooArchive({{"A.TXT", ZooEntryAt(1)}, {"B.TXT", ZooEntryAt(0)}, {"", 0}}),
         false,
         {ecode::BadFileHeader},
         {"A.TXT", "B.TXT"}},
        {"SELF.ZOO",
         ZooArchive({{"A.TXT", ZooEntryAt(0)}, {"", 0}}),
         false,
         {ecode::BadFileHeader},
         {"A.TXT"}},
        {"HUGE.LZH",
         LhaMember("A.TXT", "aaaa", 0xFFFFFF00) + LhaMember("B.TXT", "bb") + std::string(40, '\0'),
         false,
         {ecode::BadFileHeader},
         {"A.TXT"}},
        {"SMALL.LZH",
         Patched(LhaMember("A.TXT", "aaaa") + LhaMember("B.TXT", "bb") + std::string(40, '\0'), 33,
                 "\x03"),
         false,
         {ecode::BadFileHeader},
         {"A.TXT"}},
        {"WRAP.TAR",
         TarHeader("A.TXT", 0, '0', std::string("37777776000\0", 12)) + TarMember("B.TXT", "bb") +
             TarEnd(),
         false,
         {ecode::BadFileHeader},
         {"A.TXT"}},
        {"HUGE.RAR", Patched(rar, firstFile + 7, huge), false, {ecode::BadFileHeader}, {"A.TXT"}},
        {"SHORT.RAR",
         Patched(rar, 7 + 5, std::string("\x05\x00", 2)),
         false,
         {ecode::BadFileHeader},
         {}},
        {"HUGE.ARC",
         ArcMember("A.TXT", "aaaa", 2, 0xFFFFFF00) + ArcMember("B.TXT", "bb"),
         false,
         {ecode::BadFileHeader},
         {"A.TXT"}},
        {"NAME.ZIP",
         Patched(zip, 30 + 28, std::string("\xff\xff", 2)),
         false,
         {ecode::BadFileHeader},
         {}},
        {"NONUL.HA",
         HaArchive({{"", "A.TXT", "aaaa", ""}}).substr(0, 4 + 17 + 4) + "A.TXT",
         false,
         {ecode::BadFileHeader},
         {}},
        {"BIG.ARJ",
         arjMain + ArjBlock(bigBasic) + std::string(40, '\0'),
         false,
         {ecode::BadFileHeader},
         {}},
        {"NONUL.CAB",
         CabArchive({"A.TXT"}, 2).substr(0, 44 + 16 + 5) + std::string(300, 'x'),
         true,
         {ecode::BadFileHeader},
         {}},
    };
}

class ListerHostileTest : public TempDirTest {};

TEST_F(ListerHostileTest, CraftedSizesEndTheWalkWithTheHeaderError) {
    for (const HostileCase& c : Cases()) {
        WriteFile(Path(c.name), c.bytes);
        const auto start = std::chrono::steady_clock::now();
        const Listing l = ListFile(Path(c.name).string());
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        EXPECT_EQ(l.result, c.result) << c.name;
        EXPECT_THAT(l.codes, ElementsAreArray(c.codes)) << c.name;
        EXPECT_THAT(l.names, ElementsAreArray(c.listed)) << c.name;
        EXPECT_LT(ms.count(), 1000) << c.name;
    }
}

TEST_F(ListerHostileTest, ArjMainHeaderIsFoundBehindAStub) {
    const std::string arj = std::string("MZ") + std::string(94, '\0') +
                            ArjBlock(ArjBasic("X.ARJ", 0, 2)) +
                            ArjBlock(ArjBasic("FILE_ID.DIZ", 3)) + "abc" +
                            std::string("\x60\xEA\x00\x00", 4) + std::string(40, '\0');
    std::string patched = arj;
    patched[2] = '\x60';  // DOS image of 96 bytes: the ARJ header follows it
    patched[4] = '\x01';
    WriteFile(Path("SFX.EXE"), patched);
    TZipTV tv;
    tv.SetArchiveFile(Path("SFX.EXE").string());
    ASSERT_EQ(tv.ArcType(), atArjExe);
    const Listing l = List(tv);
    EXPECT_TRUE(l.result);
    EXPECT_THAT(l.lines, ElementsAre("FILE_ID.DIZ 3 1"));
}

}  // namespace
}  // namespace lumora::archive::test
