// lumora-cli on cabinets and ARC archives, run as a separate program: Scan I
// over the samples shows their descriptions, and extract and desc reach the
// CAB and ARC readers (a whole cabinet set from its first part).
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "support/temp_folder.h"

namespace lumora {
namespace {

using test::ReadAll;
using ::testing::HasSubstr;

const std::string kSamples = LUMORA_SAMPLES_DIR;
const std::string kCorpus = LUMORA_CORPUS_DIR;

class CliCabArcTest : public ::testing::Test {
protected:
    // Exit status; standard output in out_.
    int Run(const std::string& args) {
        const std::string cmd = "cd '" + work_.path() + "' && LC_ALL=C XDG_CONFIG_HOME='" +
                                config_.path() + "' '" LUMORA_BIN_DIR "/lumora-cli' " + args +
                                " >'" + (work_ / "stdout") + "' 2>/dev/null";
        const int raw = std::system(cmd.c_str());
        out_ = ReadAll(work_ / "stdout");
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }

    test::TempFolder work_;
    test::TempFolder config_;
    std::string out_;
};

TEST_F(CliCabArcTest, ScanOfTheSamplesShowsCabAndArcDescriptions) {
    ASSERT_EQ(Run("scan --no-divide '" + kSamples + "/SETUP.CAB' '" + kSamples + "/DOCS.ARC'"), 0);
    EXPECT_THAT(out_, HasSubstr("SETUP.CAB - Installationspaket"));
    EXPECT_THAT(out_, HasSubstr("DOCS.ARC - Dokumentation und FAQ"));
    EXPECT_THAT(out_, ::testing::Not(HasSubstr("Keine FILE_ID")));
}

TEST_F(CliCabArcTest, ExtractAndDescReachTheReaders) {
    ASSERT_EQ(Run("desc '" + kSamples + "/SETUP.CAB'"), 0);
    EXPECT_THAT(out_, HasSubstr("SETUP.CAB - Installationspaket"));
    ASSERT_EQ(Run("desc '" + kSamples + "/DOCS.ARC'"), 0);
    EXPECT_THAT(out_, HasSubstr("DOCS.ARC - Dokumentation und FAQ"));
    EXPECT_EQ(Run("extract '" + kSamples + "/DOCS.ARC' -d arc FILE_ID.DIZ"), 0);
    EXPECT_THAT(ReadAll(work_ / "arc/FILE_ID.DIZ"), HasSubstr("DOCS.ARC"));
    if (!test::Exists(kCorpus + "/MANIFEST.tsv")) GTEST_SKIP() << "archive corpus not found";
    EXPECT_EQ(Run("extract '" + kCorpus + "/cab/split-1.cab' -d set"), 0);
    EXPECT_EQ(ReadAll(work_ / "set/medium2.bin").size(), 50000u);
}

}  // namespace
}  // namespace lumora
