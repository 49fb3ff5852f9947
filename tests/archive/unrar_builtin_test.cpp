// The RAR calls on the built-in library: the member named exactly is
// extracted, nothing lands outside the destination folder, and the byte limit
// holds.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "archive/archive_test_support.h"
#include "archive/lister_test_support.h"
#include "archive/unrar/rar_extract.h"
#include "archive/unrar/unrar_library.h"

namespace lumora::archive::test {
namespace {

using unrar::RarExtractMember;
using unrar::UnrarLibrary;

class UnrarBuiltinTest : public TempDirTest {
protected:
    UnrarLibrary library{"liblumora-no-such-library.so"};
};

TEST_F(UnrarBuiltinTest, MissingSharedLibraryFallsBackToTheBuiltInOne) {
    EXPECT_TRUE(library.IsBuiltIn());
    EXPECT_NE(library.Functions().SetOutputLimit, nullptr);
}

TEST_F(UnrarBuiltinTest, OnlyTheExactStoredNameIsExtracted) {
    WriteFile(Path("A.RAR"), RarArchive({{"DOC\\FILE_ID.DIZ", "in folder"},
                                         {"file_id.diz", "lower"},
                                         {"FILE_ID.DIZ", "root"}}));
    const std::string dest = Path("out").string() + "/";
    fs::create_directories(dest);
    const auto r =
        RarExtractMember(library.Functions(), Path("A.RAR").string(), "FILE_ID.DIZ", dest);
    EXPECT_TRUE(r.found);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(FilesBelow(dest), std::vector<std::string>{"FILE_ID.DIZ"});
    EXPECT_EQ(ReadFile(dest + "FILE_ID.DIZ"), "root");
    EXPECT_FALSE(
        RarExtractMember(library.Functions(), Path("A.RAR").string(), "NONE.TXT", dest).found);
}

TEST_F(UnrarBuiltinTest, StoredPathsStayInsideTheDestination) {
    WriteFile(Path("EVIL.RAR"), RarArchive({{"../../ESCAPE.TXT", "x"}, {"/ABS.TXT", "y"}}));
    const std::string dest = Path("a/b").string() + "/";
    fs::create_directories(dest);
    const auto& f = library.Functions();
    EXPECT_TRUE(RarExtractMember(f, Path("EVIL.RAR").string(), "../../ESCAPE.TXT", dest).found);
    EXPECT_TRUE(RarExtractMember(f, Path("EVIL.RAR").string(), "/ABS.TXT", dest).found);
    EXPECT_EQ(FilesBelow(root_),
              (std::vector<std::string>{"EVIL.RAR", "a/b/ABS.TXT", "a/b/ESCAPE.TXT"}));
}

TEST_F(UnrarBuiltinTest, LimitCutsTheOutputAndAPlantedLinkIsNotFollowed) {
    WriteFile(Path("BIG.RAR"), RarArchive({{"FILE_ID.DIZ", std::string(5000, 'b')}}));
    WriteFile(Path("victim"), "keep");
    const std::string dest = Path("out").string() + "/";
    fs::create_directories(dest);
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
