// Scan I on a folder holding a multi-volume ARJ set: the description comes
// from the set's last volume, and the later volumes (.A01, .A02) are no
// archives of their own in the list. An incomplete set shows its error.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/cli_runner.h"
#include "support/corpus.h"

namespace lumora {
namespace {

namespace fs = std::filesystem;
using test::ReadAll;
using test::RunResult;
using ::testing::HasSubstr;
using ::testing::Not;

class CliArjSetCorpusTest : public test::CliTest {
protected:
    void SetUp() override {
        LUMORA_REQUIRE_CORPUS();
        UseProgramCopy();
        program.Write("LM_IDS.DAT", "FILE_ID.DIZ\r\nDESC.SDI\r\n");
    }
    void CopySet(std::initializer_list<const char*> names) {
        work.MakeDir("set");
        for (const char* name : names)
            fs::copy_file(test::CorpusDir() / "arj" / name, work / ("set/" + std::string(name)));
    }
};

TEST_F(CliArjSetCorpusTest, ScanTakesTheDescriptionFromTheLastVolume) {
    CopySet({"LASTVOL.ARJ", "LASTVOL.A01", "LASTVOL.A02"});
    const RunResult r = Run("scan -o list.txt set");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string list = ReadAll(work / "list.txt");
    EXPECT_THAT(list, HasSubstr("LASTVOL.ARJ - Beschreibung im letzten Teil"));
    EXPECT_THAT(list, HasSubstr("ARJ-Satzes; der erste Band kennt sie nicht."));
    EXPECT_THAT(list, Not(HasSubstr("LASTVOL.A0")));
    EXPECT_THAT(list, Not(HasSubstr("Keine FILE_ID")));

    const RunResult desc = Run("desc set/LASTVOL.ARJ");
    EXPECT_EQ(desc.status, 0) << desc.err;
    EXPECT_EQ(desc.out, ReadAll(test::CorpusDir() / "expected/arj/LASTVOL.ARJ/FILE_ID.DIZ"));
}

TEST_F(CliArjSetCorpusTest, AnIncompleteSetShowsTheMissingVolume) {
    CopySet({"LASTVOL.ARJ", "LASTVOL.A01"});
    const RunResult r = Run("scan -o list.txt set");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string list = ReadAll(work / "list.txt");
    EXPECT_THAT(list, HasSubstr("LASTVOL.ARJ   59400"));
    EXPECT_THAT(list, HasSubstr("Datei nicht gefunden"));
    const RunResult contents = Run("contents set/LASTVOL.ARJ");
    EXPECT_EQ(contents.status, 1);
    EXPECT_THAT(contents.out, HasSubstr("BIG.DAT"));
    EXPECT_EQ(contents.err, "25132 Datei nicht gefunden\n");
}

}  // namespace
}  // namespace lumora
