// TAR member names longer than the 100-byte field, as GNU tar writes them in
// its three formats (long-name record, pax record, ustar prefix): the lister
// and the reader must agree on the whole name, so that what is listed can be
// extracted by that name.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "archive/archive_test_support.h"
#include "archive/formats/tar/un_tar.h"
#include "archive/lister_test_support.h"

namespace lumora::archive {
namespace {

namespace fs = std::filesystem;

class TarNamesTest : public test::TempDirTest {};

TEST_F(TarNamesTest, LongNamesListAndExtractAlike) {
    if (std::system("tar --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no tar";
    const std::string dir = "SRC/" + std::string(60, 'D') + "/" + std::string(60, 'E');
    const std::string member = dir + "/MODULE.PAS";
    test::WriteFile(Path("tree/" + member), "program x;");
    test::WriteFile(Path("tree/FILE_ID.DIZ"), "desc");
    for (const char* format : {"gnu", "pax", "ustar"}) {
        SCOPED_TRACE(format);
        const fs::path archive = Path(std::string(format) + ".TAR");
        const std::string cmd = "tar -C '" + Path("tree").string() + "' --format=" + format +
                                " -cf '" + archive.string() + "' SRC FILE_ID.DIZ";
        ASSERT_EQ(std::system(cmd.c_str()), 0);

        const test::Listing listing = test::ListFile(archive.string());
        ASSERT_TRUE(listing.result);
        std::string stored = member;
        std::replace(stored.begin(), stored.end(), '/', '\\');
        EXPECT_NE(std::find(listing.names.begin(), listing.names.end(), stored),
                  listing.names.end());
        EXPECT_EQ(listing.names.back(), "FILE_ID.DIZ");  // the long name is not carried on

        TUnTAR tar;
        tar.UseStoredDirs = true;
        tar.SetArchiveFile(archive.string());
        const fs::path out = Path(std::string("out-") + format);
        tar.SetExtractDir(out.string());
        tar.SetFileSpec(stored);
        tar.Extract();
        EXPECT_EQ(tar.ExtractedCount(), 1);
        EXPECT_EQ(test::ReadFile(out / member), "program x;");
    }
}

}  // namespace
}  // namespace lumora::archive
