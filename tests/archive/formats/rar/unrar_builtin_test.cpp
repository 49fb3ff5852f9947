// The RAR calls on the built-in library (used when the shared one is
// missing): only the member named exactly is extracted, nothing lands
// outside the destination folder, and the byte limit holds.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "archive/archive_test_support.h"
#include "archive/formats/rar/rar_extract.h"
#include "archive/formats/rar/unrar_library.h"
#include "archive/lister_test_support.h"

namespace lumora::archive::test {
namespace {

using unrar::RarExtractMember;

class UnrarBuiltinTest : public TempDirTest {
protected:
    unrar::UnrarLibrary library{"liblumora-no-such-library.so"};
    std::string Dest(const std::string& rel) {
        fs::create_directories(Path(rel));
        return Path(rel).string() + "/";
    }
};

// The name is compared whole and with its case: not a folder's member, not
// another case; a missing name is reported as not found.
TEST_F(UnrarBuiltinTest, OnlyTheExactStoredNameIsExtracted) {
    ASSERT_TRUE(library.IsBuiltIn());
    WriteFile(Path("A.RAR"), RarArchive({{"DOC\\FILE_ID.DIZ", "in folder"},
                                         {"file_id.diz", "lower"},
                                         {"FILE_ID.DIZ", "root"}}));
    const std::string dest = Dest("out");
    const auto& f = library.Functions();
    const auto r = RarExtractMember(f, Path("A.RAR").string(), "FILE_ID.DIZ", dest);
    EXPECT_TRUE(r.found);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(FilesBelow(dest), std::vector<std::string>{"FILE_ID.DIZ"});
    EXPECT_EQ(ReadFile(dest + "FILE_ID.DIZ"), "root");
    EXPECT_FALSE(RarExtractMember(f, Path("A.RAR").string(), "NONE.TXT", dest).found);
}

// Non-ASCII members are found by the name the lister shows and land where
// a description is read back from: that name in UTF-8.
TEST_F(UnrarBuiltinTest, NamesAreTheListersInWindows1252) {
    RarEntry japanese{"T\xE3\x83\x86.DIZ", "jp"};
    japanese.extraFlags = 0x200;  // a Unicode name, stored as UTF-8 only
    WriteFile(Path("U.RAR"), RarArchive({{"\xDC.DIZ", "umlaut"}, japanese}));
    const std::string dest = Dest("out");
    for (const char* name : {"\xDC.DIZ", "T\xE3\x83\x86.DIZ"})
        EXPECT_TRUE(RarExtractMember(library.Functions(), Path("U.RAR").string(), name, dest).found)
            << name;
    EXPECT_EQ(ReadFile(dest + "\xC3\x9C.DIZ"), "umlaut");
    EXPECT_EQ(ReadFile(dest + "T\xC3\xA3\xC6\x92\xE2\x80\xA0.DIZ"), "jp");
}

// Parent steps and roots in stored names are dropped.
TEST_F(UnrarBuiltinTest, StoredPathsStayInsideTheDestination) {
    WriteFile(Path("EVIL.RAR"), RarArchive({{"../../ESCAPE.TXT", "x"}, {"/ABS.TXT", "y"}}));
    const std::string dest = Dest("a/b");
    const auto& f = library.Functions();
    EXPECT_TRUE(RarExtractMember(f, Path("EVIL.RAR").string(), "../../ESCAPE.TXT", dest).found);
    EXPECT_TRUE(RarExtractMember(f, Path("EVIL.RAR").string(), "/ABS.TXT", dest).found);
    EXPECT_EQ(FilesBelow(root_),
              (std::vector<std::string>{"EVIL.RAR", "a/b/ABS.TXT", "a/b/ESCAPE.TXT"}));
}

// The output stops at the limit, and a link planted under the member's
// name is replaced, not followed.
TEST_F(UnrarBuiltinTest, LimitCutsTheOutputAndAPlantedLinkIsNotFollowed) {
    WriteFile(Path("BIG.RAR"), RarArchive({{"FILE_ID.DIZ", std::string(5000, 'b')}}));
    WriteFile(Path("victim"), "keep");
    const std::string dest = Dest("out");
    fs::create_symlink(Path("victim"), dest + "FILE_ID.DIZ");
    const auto r =
        RarExtractMember(library.Functions(), Path("BIG.RAR").string(), "FILE_ID.DIZ", dest, 1000);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(ReadFile(dest + "FILE_ID.DIZ"), std::string(1000, 'b'));
    EXPECT_FALSE(fs::is_symlink(dest + "FILE_ID.DIZ"));
    EXPECT_EQ(ReadFile(Path("victim")), "keep");
}

}  // namespace
}  // namespace lumora::archive::test
