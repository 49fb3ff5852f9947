// Choosing the archives of a Scan I job: the subfolder search, the search
// window's folder text and the open dialog's take-over.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <stdexcept>

#include "scan/archive_selection.h"
#include "support/temp_folder.h"

namespace lumora {
namespace {

using test::TempFolder;
using ::testing::ElementsAre;
using Paths = std::vector<std::string>;

// FILES with three archives of its own and, in FILES/SUB, two more beside
// names the search must pass over.
class SubfolderSearchTest : public ::testing::Test {
protected:
    SubfolderSearchTest() {
        for (const char* name :
             {"FILES/ONE.ZIP", "FILES/TWO.ARJ", "FILES/THREE.LZH", "FILES/SUB/b.zip",
              "FILES/SUB/A.RAR", "FILES/SUB/OLD.LZH", "FILES/SUB/DATA.GZ", "FILES/SUB/.HIDDEN.ZIP",
              "FILES/SUB/ZIP", "FILES/.CACHE/X.ZIP"})
            tmp.Write(name, "x");
    }
    std::string Files() const { return tmp / "FILES/"; }
    std::string Sub() const { return tmp / "FILES/SUB/"; }

    TempFolder tmp;
};

// The picker gets the two archives of SUB only (how it closes is tested
// with the windows).
TEST_F(SubfolderSearchTest, FindsOnlyTheEightExtensionsBelowTheChosenFolderSorted) {
    SubfolderSearch search(Files(), nullptr);
    EXPECT_THAT(search.Run(), ElementsAre(Sub() + "A.RAR", Sub() + "b.zip"));
}

// Cancelling in the first subfolder discards what was found; the next run
// of the same search finds everything again.
TEST_F(SubfolderSearchTest, CancelledSearchAddsNothingAndTheNextRunsNormally) {
    tmp.Write("FILES/SUB/DEEP/C.CAB", "x");
    SubfolderSearch* self = nullptr;
    int folders = 0;
    bool cancelOnce = true;
    SubfolderSearch search(Files(), [&](const std::string&) {
        ++folders;
        if (folders == 2 && cancelOnce) self->Cancel();
    });
    self = &search;
    EXPECT_TRUE(search.Run().empty());
    EXPECT_TRUE(search.cancelled());
    EXPECT_EQ(folders, 2);
    cancelOnce = false;
    EXPECT_EQ(search.Run().size(), 3u);
    EXPECT_FALSE(search.cancelled());
}

// A link back up the tree ends; a folder also reachable through a link is
// searched once.
TEST_F(SubfolderSearchTest, SymbolicLinksToFoldersAreNotFollowed) {
    ASSERT_EQ(symlink("..", (Sub() + "loop").c_str()), 0);
    ASSERT_EQ(symlink(Sub().c_str(), (tmp / "FILES/again").c_str()), 0);
    tmp.MakeDir("FILES/LINKED");
    ASSERT_EQ(symlink((Sub() + "b.zip").c_str(), (tmp / "FILES/LINKED/file.zip").c_str()), 0);
    Paths shown;
    SubfolderSearch search(Files(), [&](const std::string& f) { shown.push_back(f); });
    EXPECT_THAT(search.Run(),
                ElementsAre(Files() + "LINKED/file.zip", Sub() + "A.RAR", Sub() + "b.zip"));
    EXPECT_EQ(shown, (Paths{Files(), Files() + "LINKED/", Sub()}));
}

TEST(SearchFolderText, ShortensLongFoldersToFortyCharacters) {
    const std::string forty = "/" + std::string(38, 'a') + "/";
    const std::string sixty = "/abc" + std::string(55, 'x') + "/";
    EXPECT_EQ(SearchFolderText(forty), forty);
    EXPECT_EQ(SearchFolderText(forty + "b/"), "/aa..." + std::string(32, 'a') + "/b");
    EXPECT_EQ(SearchFolderText(sixty), "/ab..." + std::string(34, 'x'));
    EXPECT_EQ(SearchFolderText("/srv/Archive/Shareware/Spiele/Strategie/Runden/2024/"),
              "/sr...eware/Spiele/Strategie/Runden/2024");
    // Umlauts count as one character each and are never cut apart.
    const std::string umlauts = "/\xc3\xa4\xc3\xb6" + std::string(40, 'u') + "\xc3\xbc/";
    EXPECT_EQ(SearchFolderText(umlauts),
              "/\xc3\xa4\xc3\xb6..." + std::string(33, 'u') + "\xc3\xbc");
}

TEST(TakeOverDialogChoice, KeepsTheDialogsOrderAndAddsTheFolderSlash) {
    const ArchiveChoice c = TakeOverDialogChoice("/srv/files", {"Z.ZIP", "/elsewhere/a.arj"});
    EXPECT_EQ(c.sourceFolder, "/srv/files/");
    EXPECT_THAT(c.archives, ElementsAre("/srv/files/Z.ZIP", "/srv/files/a.arj"));
    EXPECT_EQ(TakeOverDialogChoice("/srv/", {}).sourceFolder, "/srv/");
    EXPECT_THROW(TakeOverDialogChoice("", {"A.ZIP"}), std::invalid_argument);
    EXPECT_THROW(TakeOverDialogChoice("/srv", {"/srv/sub/"}), std::invalid_argument);
}

}  // namespace
}  // namespace lumora
