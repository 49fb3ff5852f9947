// Short names, file facts and atomic writes.
#include "platform/file_info.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/temp_folder.h"

namespace lumora {
namespace {

using test::TempFolder;

// Aliases are numbered in sorted order among the long names of the same
// basis, skip aliases taken by real short names, and clean out blanks, "+"
// and extra dots; valid 8.3 names stay as they are, upper-cased.
TEST(ShortNameAlias, NumberingAndCleaning) {
    const std::vector<std::string> folder = {"Long File Name.zip", "Long Filer.zip", "game1.zip"};
    const std::tuple<std::string, std::vector<std::string>, std::string> cases[] = {
        {"Long File Name.zip", folder, "LONGFI~1.ZIP"},
        {"Long Filer.zip", folder, "LONGFI~2.ZIP"},
        {"game1.zip", folder, "GAME1.ZIP"},
        {"Long File Name.zip", {"LONGFI~1.ZIP", "Long File Name.zip"}, "LONGFI~2.ZIP"},
        {"a+b.c.d.archive", {}, "A_BCD~1.ARC"},
        {"verylongname", {}, "VERYLO~1"},
        {"x y.zip", {}, "XY~1.ZIP"},
        // Only a-z are upper-cased; accented letters (Windows-1252, in octal)
        // stay: \344 is a-umlaut, \374 u-umlaut.
        {"\344pfel.zip", {}, "\344PFEL.ZIP"},
        {"\374bersicht lang.zip", {}, "\374BERSI~1.ZIP"},
        {"\374bersicht lang.zip", {"\374BERSI~1.ZIP", "\374bersicht lang.zip"}, "\374BERSI~2.ZIP"},
    };
    for (const auto& [name, names, alias] : cases) {
        EXPECT_EQ(ShortNameAlias(name, names), alias) << name;
    }
    for (const char* valid : {"GAME1.ZIP", "readme"}) EXPECT_TRUE(IsValid83Name(valid)) << valid;
    for (const char* invalid : {"NINECHARS.ZIP", "A.ZIPX", "A.B.C", "A B.ZIP", ".profile"}) {
        EXPECT_FALSE(IsValid83Name(invalid)) << invalid;
    }
}

// The alias of a real file is computed from its folder's listing.
TEST(ShortNameForPath, ReadsTheFolderAndLeavesTheFileAlone) {
    TempFolder dir;
    dir.Write("Long File Name.zip", "abc");
    dir.Write("Long File Nose.zip", "abc");
    EXPECT_EQ(ShortNameForPath(dir.path(), "Long File Nose.zip"), "LONGFI~2.ZIP");
    EXPECT_EQ(test::ReadAll(dir / "Long File Name.zip"), "abc");
}

// The cache gives every file the alias ShortNameForPath gives it, listing a
// folder once, and not at all while every name asked for is already 8.3.
TEST(ShortNameCache, OneListingPerFolderAndTheSameAliases) {
    TempFolder dir;
    const std::vector<std::string> names = {
        "Long File Nose.zip",       "Long File Name.zip", "LONGFI~2.ZIP",
        "Long Filer.zip",           "game1.zip",          "x y.zip",
        "\303\274bersicht lang.zip"};
    for (const auto& n : names) dir.Write(n, "x");
    const TempFolder shortOnly;
    shortOnly.Write("GAME1.ZIP", "x");
    shortOnly.Write("Long Name.zip", "x");
    int listings = 0;
    ShortNameCache cache([&listings](const std::string& folder) {
        ++listings;
        return ListFolderNames(folder);
    });
    EXPECT_EQ(cache.AliasFor(shortOnly.path(), "GAME1.ZIP"), "GAME1.ZIP");
    EXPECT_EQ(listings, 0);
    for (const auto& n : names)
        EXPECT_EQ(cache.AliasFor(dir.path(), n), ShortNameForPath(dir.path(), n)) << n;
    EXPECT_EQ(cache.AliasFor(dir.path(), "Long File Gone.zip"), "LONGFI~1.ZIP");
    EXPECT_EQ(listings, 1);
}

// Only regular files are archives.
TEST(StatArchiveFile, FoldersAndMissingFilesCannotBeOpened) {
    TempFolder dir;
    EXPECT_FALSE(StatArchiveFile(dir.MakeDir("sub")));
    EXPECT_FALSE(StatArchiveFile(dir / "missing.zip"));
    const auto st = StatArchiveFile(dir.Write("a.zip", std::string(1500, 'x')));
    ASSERT_TRUE(st);
    EXPECT_EQ(st->size, 1500u);
}

// Reading stops at the limit and never follows a symbolic link.
TEST(ReadFileBytes, StopsAtTheLimitAndRefusesLinks) {
    TempFolder dir;
    const auto target = dir.Write("t.txt", std::string(100, 'a'));
    EXPECT_EQ(ReadFileBytes(target, 10)->size(), 10u);
    ASSERT_EQ(::symlink(target.c_str(), (dir / "link").c_str()), 0);
    EXPECT_FALSE(ReadFileBytes(dir / "link", 10));
}

// A write replaces the file whole; a failed one reports why and leaves no
// temporary file.
TEST(WriteWholeFile, ReplacesAndKeepsOldFileOnFailure) {
    TempFolder dir;
    const auto path = dir.Write("list.txt", "old");
    std::string error;
    ASSERT_TRUE(WriteWholeFile(path, "new", &error)) << error;
    EXPECT_EQ(test::ReadAll(path), "new");
    EXPECT_FALSE(WriteWholeFile(dir / "no/such/list.txt", "x", &error));
    EXPECT_FALSE(error.empty());
    // Nothing but the list is left behind.
    int entries = 0;
    if (DIR* d = opendir(dir.path().c_str())) {
        while (const dirent* e = readdir(d)) entries += e->d_name[0] != '.';
        closedir(d);
    }
    EXPECT_EQ(entries, 1);
}

}  // namespace
}  // namespace lumora
