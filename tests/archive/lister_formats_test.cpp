// The lister's header walks of the formats other than ZIP, on small archives
// built here.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "archive/archive_test_support.h"
#include "archive/lister_test_support.h"

namespace lumora::archive::test {
namespace {

using ::testing::ElementsAre;

class ListerFormatsTest : public TempDirTest {
protected:
    Listing ListBytes(const std::string& name, const std::string& bytes,
                      const std::string& spec = "*.*", bool dirs = false) {
        WriteFile(Path(name), bytes);
        return ListFile(Path(name).string(), spec, dirs);
    }
};

// Headers longer than 32 + name (extended times here) and 64-bit sizes do
// not throw the walk off the block chain.
TEST_F(ListerFormatsTest, RarStepsByHeaderSizeAndPackedSize) {
    RarEntry a{"README.TXT", std::string(300, 'r')};
    a.extraFlags = 0x1000;
    a.headerExtra = std::string("\x00\xB0\x01\x02\x03", 5);  // mtime with 3 extra bytes
    RarEntry b{"GAME.EXE", std::string(50, 'g')};
    b.largeSizes = true;
    RarEntry c{"FILE_ID.DIZ", "Best game\r\n"};
    c.extraFlags = 0x1000;
    c.headerExtra = std::string("\x00\xB0\x01\x02\x03", 5);
    RarEntry dir{"DOC", "", true};
    const std::string rar = RarArchive({a, dir, b, c});
    const Listing l = ListBytes("T.RAR", rar);
    EXPECT_TRUE(l.result);
    EXPECT_THAT(l.lines, ElementsAre("README.TXT 300 1", "GAME.EXE 50 2", "FILE_ID.DIZ 11 3"));
    EXPECT_THAT(ListBytes("T.RAR", rar, "*.*", true).names,
                ElementsAre("README.TXT", "DOC", "GAME.EXE", "FILE_ID.DIZ"));
}

TEST_F(ListerFormatsTest, TarPassesOverLongNameAndPaxData) {
    const std::string longName = std::string(120, 'D') + "/MODULE.PAS";
    const std::string pax = "29 path=PAX/LONG/FILE_ID.DIZ\n";
    const std::string tar = TarMember("././@LongLink", longName + '\0', 'L') +
                            TarMember(longName.substr(0, 100), "code") +
                            TarMember("PaxHeaders/x", pax, 'x') + TarMember("FILE_ID.DIZ", "desc") +
                            TarMember("DATA/", "", '5') + TarMember("DATA/LEVELS.DAT", "lv") +
                            TarEnd();
    const Listing l = ListBytes("L.TAR", tar);
    EXPECT_TRUE(l.result);
    EXPECT_THAT(l.names, ElementsAre(std::string(120, 'D') + "\\MODULE.PAS",
                                     "PAX\\LONG\\FILE_ID.DIZ", "DATA\\LEVELS.DAT"));
    EXPECT_THAT(ListBytes("L.TAR", tar, "LEVELS.DAT").lines, ElementsAre("DATA\\LEVELS.DAT 2 1"));
}

TEST_F(ListerFormatsTest, TarOneByteMemberIsFollowedByTheNextHeaderAt1024) {
    const std::string tar = TarMember("A.TXT", "x") + TarMember("B.TXT", "yy") + TarEnd();
    ASSERT_EQ(tar.substr(1024, 5), "B.TXT");
    EXPECT_THAT(ListBytes("O.TAR", tar).lines, ElementsAre("A.TXT 1 1", "B.TXT 2 2"));
}

TEST_F(ListerFormatsTest, GzipNamesFromHeaderOrArchive) {
    std::string noName("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03", 10);
    noName += std::string(20, 'z');
    Put32(noName, 0xCAFEBABE);
    Put32(noName, 4242);
    const Listing l = ListBytes("NOTES.TXT.GZ", noName, "*.DIZ");
    EXPECT_THAT(l.lines, ElementsAre("NOTES.TXT 4242 1")) << "no FileSpec test for gzip";

    std::string named("\x1f\x8b\x08\x0c\x00\x00\x00\x00\x00\x03", 10);
    named += std::string(
                 "\x04\x00"
                 "ABCD",
                 6) +
             "FILE_ID.DIZ" + '\0' + std::string(20, 'z');
    Put32(named, 0);
    Put32(named, 77);
    const Listing n = ListBytes("X.GZ", named);
    EXPECT_THAT(n.lines, ElementsAre("FILE_ID.DIZ 77 1"));
}

TEST_F(ListerFormatsTest, ArcMethodOneHeaderIsShorter) {
    const std::string arc = ArcMember("README.TXT", std::string(40, 'r'), 1) +
                            ArcMember("FILE_ID.DIZ", "desc", 2) + std::string("\x1a\x00", 2) +
                            std::string(30, '\0');
    const Listing l = ListBytes("M1.ARC", arc);
    EXPECT_TRUE(l.result);
    EXPECT_THAT(l.lines, ElementsAre("README.TXT 40 1", "FILE_ID.DIZ 4 2"));
}

TEST_F(ListerFormatsTest, CabStopsAfterTheHeadersFileCount) {
    const Listing l = ListBytes("C.CAB", CabArchive({"A.TXT", "DOC\\FILE_ID.DIZ", "JUNK"}, 2));
    EXPECT_TRUE(l.result);
    EXPECT_THAT(l.lines, ElementsAre("A.TXT 100 1", "DOC\\FILE_ID.DIZ 100 2"));
}

TEST_F(ListerFormatsTest, ZooFollowsTheEntryChain) {
    const std::string zoo =
        ZooArchive({{"A.TXT", ZooEntryAt(1)}, {"FILE_ID.DIZ", ZooEntryAt(2)}, {"", 0}});
    const Listing l = ListBytes("Z.ZOO", zoo);
    EXPECT_TRUE(l.result);
    EXPECT_THAT(l.names, ElementsAre("A.TXT", "FILE_ID.DIZ"));
}

TEST_F(ListerFormatsTest, HaWindowsStayOnTheEntriesWhateverTheMachineData) {
    const std::string ha = HaArchive({{"", "README.TXT", std::string(30, 'r'), "\x02\xa4\x01"},
                                      {"DOC/", "FILE_ID.DIZ", "desc", ""},
                                      {"", "LAST.TXT", std::string(40, 'l'), "1234567"}});
    const Listing l = ListBytes("H.HA", ha);
    EXPECT_TRUE(l.result);
    EXPECT_THAT(l.lines, ElementsAre("README.TXT 30 1", "DOC\\FILE_ID.DIZ 4 2", "LAST.TXT 40 3"));
}

TEST_F(ListerFormatsTest, LhaLevelZeroNamesKeepTheirFolders) {
    const std::string lzh = LhaMember("DATA\\LEVELS.DAT", std::string(30, 'l')) +
                            LhaMember("FILE_ID.DIZ", "desc") + std::string(1, '\0') +
                            std::string(30, '\0');
    const Listing l = ListBytes("L.LZH", lzh);
    EXPECT_TRUE(l.result);
    EXPECT_THAT(l.lines, ElementsAre("DATA\\LEVELS.DAT 30 1", "FILE_ID.DIZ 4 2"));
}

TEST_F(ListerFormatsTest, BhHeadersWithTheNameAfterTheWindow) {
    auto member = [](const std::string& name, const std::string& data) {
        std::string h("BH\x05\x07", 4);
        Put16(h, 37);
        h += std::string("\x00\x14\x14\x00\x00", 5);  // versions, flags, method 0
        Put32(h, 0x1F8E5A00);
        Put32(h, static_cast<std::uint32_t>(data.size()));
        Put32(h, static_cast<std::uint32_t>(data.size()));
        Put32(h, CrcOf(data));
        Put16(h, 0x20);
        h += std::string(4, '\0');
        Put16(h, static_cast<std::uint32_t>(name.size()));
        Put16(h, 0);  // the window's last two bytes
        return h + name + data;
    };
    const Listing l = ListBytes(
        "B.BH", member("A.TXT", "aaaa") + member("FILE_ID.DIZ", "d") + std::string(40, '\0'));
    EXPECT_TRUE(l.result);
    EXPECT_THAT(l.lines, ElementsAre("A.TXT 4 1", "FILE_ID.DIZ 1 2"));
}

}  // namespace
}  // namespace lumora::archive::test
