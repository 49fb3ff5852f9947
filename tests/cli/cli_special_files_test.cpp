// lumora-cli with special files: a FIFO or a folder named like an archive is
// a file that cannot be opened (and no command waits on it); lists and logs
// are written through device links and standard output.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/cli_runner.h"
#include "support/builders/zip_builder.h"

namespace lumora {
namespace {

using test::ReadAll;
using test::RunResult;
using ::testing::HasSubstr;

constexpr int kTimedOut = 124;  // the exit status `timeout` gives a killed run

class CliSpecialFilesTest : public test::CliTest {
protected:
    CliSpecialFilesTest() {
        timeoutSeconds = 10;
        work.Write("A.ZIP", archive::test::ZipBuilder()
                                .Add(archive::test::Member("FILE_ID.DIZ", "Gute Datei"))
                                .Build());
    }
};

// type, contents and desc answer a FIFO or a folder named like an archive
// as they answer a missing file, and return at once; a scan lists the other
// archives and marks the FIFO as not openable.
TEST_F(CliSpecialFilesTest, FifoAndFolderNamedLikeArchivesCannotBeOpened) {
    ASSERT_EQ(::mkfifo((work / "PIPE.ZIP").c_str(), 0600), 0);
    work.MakeDir("X.ZIP");
    for (const std::string command : {"type ", "contents ", "desc "}) {
        const RunResult missing = Run(command + "MISSING.ZIP");
        for (const std::string name : {"MISSING.ZIP", "PIPE.ZIP", "X.ZIP"}) {
            const RunResult r = Run(command + name);
            ASSERT_NE(r.status, kTimedOut) << command << name << " hung";
            EXPECT_EQ(r.status, 2) << command << name;
            EXPECT_EQ(r.out, missing.out) << command << name;
            EXPECT_EQ(r.err, "lumora-cli: cannot read " + name + "\n") << command << name;
        }
    }
    EXPECT_EQ(Run("type X.ZIP").out, "atFileError\n");

    const RunResult r = Run("scan -o list.txt .");
    ASSERT_NE(r.status, kTimedOut) << "the scan hung";
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string list = ReadAll(work / "list.txt");
    EXPECT_THAT(list, HasSubstr("Gute Datei"));
    ASSERT_THAT(list, HasSubstr("PIPE.ZIP"));
    EXPECT_THAT(list.substr(list.find("PIPE.ZIP")), HasSubstr("< ? >"));
}

// -o and --log write into what they name: /dev/stdout, /dev/stderr and "-"
// reach the standard streams through their links, /dev/null takes the text
// away; the devices and links stay.
TEST_F(CliSpecialFilesTest, ListsAndLogsAreWrittenThroughLinksAndDevices) {
    for (const char* out : {"-", "/dev/stdout"}) {
        const RunResult r = Run(std::string("scan -o ") + out + " A.ZIP");
        EXPECT_EQ(r.status, 0) << out << ": " << r.err;
        EXPECT_THAT(r.out, HasSubstr("Gute Datei")) << out;
    }
    const RunResult r = Run("scan -o /dev/null --log /dev/stderr A.ZIP");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.err, HasSubstr("Job beendet : "));
    struct stat st {};
    EXPECT_TRUE(::lstat("/dev/null", &st) == 0 && S_ISCHR(st.st_mode));
    EXPECT_TRUE(::lstat("/dev/stderr", &st) == 0 && S_ISLNK(st.st_mode));
}

}  // namespace
}  // namespace lumora
