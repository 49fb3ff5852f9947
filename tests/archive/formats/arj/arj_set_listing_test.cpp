// The lister on multi-volume ARJ sets: it follows the set from its first
// volume while the main headers say it goes on, lists a member split over
// volumes once, and ends with the volume's error when a volume is missing
// or damaged.
#include <gtest/gtest.h>

#include <map>

#include "archive/archive_test_support.h"
#include "archive/formats/arj/arj_header.h"
#include "archive/lister_test_support.h"

namespace lumora::archive::test {
namespace {

using Lines = std::vector<std::string>;

class ArjSetListingTest : public ReaderTest {
protected:
    struct SetListing {
        bool result = false;
        Lines members;  // "name unpacked-size"
        Lines errors;   // "code file volume"
        int totals = -1;
    };

    SetListing ListSet(const std::string& name) {
        SetListing l;
        TZipTV tv;
        tv.SetArchiveFile(Path(name).string());
        tv.OnRead = [&l](TZipTV& t, std::uint64_t, int) {
            l.members.push_back(t.FileName() + " " + std::to_string(t.Member().UnpackedSize));
        };
        tv.OnTotals = [&l](TZipTV&, int n) { l.totals = n; };
        tv.OnError = [&l](TZipCommon&, const std::string& file, const std::string& volume,
                          int code) {
            l.errors.push_back(std::to_string(code) + " " + file + " " + volume);
        };
        l.result = tv.Activate();
        return l;
    }
};

// BIG.DAT runs from the first volume through the third; LAST.TXT is in the
// third only.
struct SetCase {
    const char* what;
    std::map<std::string, std::string> files;
    const char* listed;
    Lines members;
    Lines errors;
    int totals;
};

TEST_F(ArjSetListingTest, FollowsTheSetFromItsFirstVolume) {
    ArjEntry a{"BIG.DAT", std::string(300, 'a')}, b{"BIG.DAT", std::string(200, 'b')},
        c{"BIG.DAT", std::string(100, 'c')};
    a.flags = kArjContinues;
    b.flags = kArjContinued | kArjContinues;
    c.flags = kArjContinued;
    const std::string first = ArjArchive({{"FIRST.TXT", "first"}, a}, "SET.ARJ", kArjVolumeFollows);
    const std::string second = ArjArchive({b}, "SET.A01", kArjVolumeFollows);
    const std::string third = ArjArchive({c, {"LAST.TXT", "last"}}, "SET.A02");
    const Lines firstOnly = {"FIRST.TXT 5", "BIG.DAT 300"};
    const SetCase cases[] = {
        {"the whole set, names in any case",
         {{"set.arj", first}, {"set.a01", second}, {"Set.A02", third}},
         "set.arj",
         {"FIRST.TXT 5", "BIG.DAT 300", "LAST.TXT 4"},
         {},
         3},
        {"a first volume without the set flag is one archive",
         {{"set.arj", ArjArchive({{"FIRST.TXT", "first"}, a})}, {"set.a01", second}},
         "set.arj",
         firstOnly,
         {},
         2},
        {"the second volume ends the set",
         {{"set.arj", first}, {"set.a01", ArjArchive({b}, "SET.A01")}, {"set.a02", third}},
         "set.arj",
         firstOnly,
         {},
         2},
        {"a missing volume ends the listing with its error",
         {{"set.arj", first}, {"set.a01", second}},
         "set.arj",
         firstOnly,
         {std::to_string(ecode::FileNotFound) + " set.A02 2"},
         -1},
        {"a damaged volume ends the listing with its error",
         {{"set.arj", first}, {"set.a01", std::string(100, 'x')}},
         "set.arj",
         firstOnly,
         {std::to_string(ecode::BadArchive) + " set.a01 1"},
         -1},
        {"a later volume listed by itself is listed alone",
         {{"set.arj", first}, {"set.a01", second}, {"set.a02", third}},
         "set.a01",
         {"BIG.DAT 200"},
         {},
         1},
    };
    for (const SetCase& c : cases) {
        SCOPED_TRACE(c.what);
        for (const char* name : {"set.arj", "set.a01", "set.a02", "Set.A02"})
            fs::remove(Path(name));
        for (const auto& [name, bytes] : c.files) Write(name, bytes);
        const SetListing l = ListSet(c.listed);
        EXPECT_EQ(l.members, c.members);
        EXPECT_EQ(l.errors, c.errors);
        EXPECT_EQ(l.result, c.errors.empty());
        EXPECT_EQ(l.totals, c.totals);
    }
}

TEST_F(ArjSetListingTest, LaterVolumesAreKnownByTheirNumberedExtension) {
    for (const char* name : {"X.A01", "dir/x.a99", "X.100", "X.999"})
        EXPECT_TRUE(IsLaterArjVolume(name)) << name;
    for (const char* name : {"X.ARJ", "X.A00", "X.099", "X.A1", "X.A011", "X.AB1", "d.A01/X", "X"})
        EXPECT_FALSE(IsLaterArjVolume(name)) << name;
}

}  // namespace
}  // namespace lumora::archive::test
