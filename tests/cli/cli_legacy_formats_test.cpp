// lumora-cli extract on GZIP, compress, TAR and legacy-method ZIP files of
// the corpus, run as a separate program.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "support/temp_folder.h"

namespace lumora {
namespace {

using test::ReadAll;
using ::testing::HasSubstr;

const std::string kCorpus = LUMORA_CORPUS_DIR;

class CliLegacyFormatsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::Exists(kCorpus + "/MANIFEST.tsv")) GTEST_SKIP() << "archive corpus not found";
    }
    // Exit status; stderr in err_.
    int Run(const std::string& args) {
        const std::string cmd = "cd '" + work_.path() +
                                "' && LC_ALL=C '" LUMORA_BIN_DIR "/lumora-cli' " + args +
                                " >/dev/null 2>'" + (work_ / "stderr") + "'";
        const int raw = std::system(cmd.c_str());
        err_ = ReadAll(work_ / "stderr");
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    static std::string Expected(const std::string& rel) {
        return ReadAll(kCorpus + "/expected/" + rel + "/FILE_ID.DIZ");
    }

    test::TempFolder work_;
    std::string err_;
};

TEST_F(CliLegacyFormatsTest, DescriptionsComeOutByteForByte) {
    for (const char* rel : {"tar/GAME1.TAR", "tar/GAME2.TAR", "gzip/DIZNAME.GZ", "zip/SHRINK.ZIP",
                            "zip/REDUCE2.ZIP", "zip/IMPL4K3T.ZIP"}) {
        SCOPED_TRACE(rel);
        const std::string dir = std::string("out/") + rel;
        EXPECT_EQ(Run("extract '" + kCorpus + "/" + rel + "' -d '" + dir + "' FILE_ID.DIZ"), 0)
            << err_;
        EXPECT_EQ(err_, "");
        EXPECT_EQ(ReadAll(work_ / dir + "/FILE_ID.DIZ"), Expected(rel));
    }
}

TEST_F(CliLegacyFormatsTest, CompressFilesShowTheUnsupportedMethod) {
    EXPECT_EQ(Run("extract '" + kCorpus + "/gzip/README.Z' -d z"), 0);
    EXPECT_EQ(err_, "Hinweis: Nicht unterst\xC3\xBCtzte Kompressionsmethode\n");
    EXPECT_TRUE(test::Exists(work_ / "z/README"));
    EXPECT_EQ(ReadAll(work_ / "z/README"), "");
}

TEST_F(CliLegacyFormatsTest, WholeTarWithStoredFolders) {
    EXPECT_EQ(Run("extract '" + kCorpus + "/tar/GAME1.TAR' -d all --stored-dirs"), 0) << err_;
    EXPECT_EQ(ReadAll(work_ / "all/FILE_ID.DIZ"), Expected("tar/GAME1.TAR"));
    EXPECT_TRUE(test::Exists(work_ / "all/DATA/LEVELS.DAT"));
}

}  // namespace
}  // namespace lumora
