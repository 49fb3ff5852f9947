// ZIP archives inside executables: found through the string table (offsets
// relative to the published offset), after the DOS image and by the end
// record, with the stored offsets adjusted to the executable or not.
#include <gtest/gtest.h>

#include "archive/un_zip.h"
#include "archive_test_support.h"
#include "pe_builder.h"
#include "zip_builder.h"

namespace lumora::archive {
namespace {

class ZipSfxTest : public test::TempDirTest {};

TEST_F(ZipSfxTest, EveryWayOfFindingTheArchiveExtracts) {
    std::string dosStub(96, '\0');
    dosStub[0] = 'M', dosStub[1] = 'Z';
    test::Set16(dosStub, 2, 96);
    test::Set16(dosStub, 4, 1);                           // the image ends at 96
    std::string bareStub = "MZ" + std::string(98, '\0');  // no image end inside the file
    std::string peStub = test::MakePe({"5000"});
    peStub.resize(5000, '\0');

    struct Case {
        const char* what;
        std::string stub;
        bool adjusted;
        TArcType type;
        std::int64_t archiveStart;
    };
    const Case cases[] = {
        {"string table, relative offsets", peStub, false, atZipExe, 5001},
        {"string table, adjusted offsets", peStub, true, atZipExe, 5001},
        {"image end, adjusted offsets", dosStub, true, atZipExe, 97},
        {"image end, relative offsets", dosStub, false, atZipExe, 97},
        {"end record, adjusted offsets", bareStub, true, atZipExe, 100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::ZipBuilder zb;
        zb.stub = c.stub;
        zb.adjustOffsets = c.adjusted;
        zb.Add(test::Member("README.TXT", std::string(3000, 'r'), 8))
            .Add(test::Member("FILE_ID.DIZ", "the description"));
        const auto path = Path(std::string(c.what).substr(0, 5) + ".EXE");
        test::WriteFile(path, zb.Build());
        TUnZIP z;
        test::EventLog log;
        log.Attach(z);
        z.SetArchiveFile(path.string());
        EXPECT_EQ(z.ArcType(), c.type);
        EXPECT_EQ(z.ArchiveStart(), c.archiveStart);
        z.SetExtractDir(Path("out").string());
        z.SetFileSpec("FILE_ID.DIZ");
        z.Extract();
        EXPECT_TRUE(log.codes.empty());
        EXPECT_EQ(test::ReadFile(Path("out/FILE_ID.DIZ")), "the description");
        std::filesystem::remove_all(Path("out"));
    }
}

}  // namespace
}  // namespace lumora::archive
