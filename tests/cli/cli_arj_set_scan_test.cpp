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

class CliArjSetCorpusTest : public test::CliTest {};

// The whole set, then the set without its last volume.
TEST_F(CliArjSetCorpusTest, ScanTakesTheDescriptionFromTheLastVolume) {
    LUMORA_REQUIRE_CORPUS();
    UseProgramCopy();
    program.Write("LM_IDS.DAT", "FILE_ID.DIZ\r\nDESC.SDI\r\n");
    work.MakeDir("set");
    for (const char* name : {"LASTVOL.ARJ", "LASTVOL.A01", "LASTVOL.A02"})
        fs::copy_file(test::CorpusDir() / "arj" / name, work / ("set/" + std::string(name)));
    RunResult r = Run("scan -o list.txt set");
    ASSERT_EQ(r.status, 0) << r.err;
    std::string list = ReadAll(work / "list.txt");
    EXPECT_THAT(list, HasSubstr("LASTVOL.ARJ - Beschreibung im letzten Teil"));
    EXPECT_THAT(list, HasSubstr("ARJ-Satzes; der erste Band kennt sie nicht."));
    EXPECT_THAT(list, Not(HasSubstr("LASTVOL.A0")));
    EXPECT_THAT(list, Not(HasSubstr("Keine FILE_ID")));
    r = Run("desc set/LASTVOL.ARJ");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, ReadAll(test::CorpusDir() / "expected/arj/LASTVOL.ARJ/FILE_ID.DIZ"));

    fs::remove(work / "set/LASTVOL.A02");
    r = Run("scan -o list.txt set");
    ASSERT_EQ(r.status, 0) << r.err;
    list = ReadAll(work / "list.txt");
    EXPECT_THAT(list, HasSubstr("LASTVOL.ARJ   59400"));
    EXPECT_THAT(list, HasSubstr("Datei nicht gefunden"));
    r = Run("contents set/LASTVOL.ARJ");
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.out, HasSubstr("BIG.DAT"));
    EXPECT_EQ(r.err, "25132 Datei nicht gefunden\n");
}

}  // namespace
}  // namespace lumora
