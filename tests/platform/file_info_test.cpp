// Short names, file facts and atomic writes.
#include "platform/file_info.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/temp_folder.h"

namespace lumora {
namespace {

using test::TempFolder;

TEST(ShortNameAlias, LongNamesGetNumberedAliases) {
    const std::vector<std::string> folder = {"Long File Name.zip", "Long Filer.zip", "game1.zip"};
    EXPECT_EQ(ShortNameAlias("Long File Name.zip", folder), "LONGFI~1.ZIP");
    // Same basis: numbered in sorted order within the folder.
    EXPECT_EQ(ShortNameAlias("Long Filer.zip", folder), "LONGFI~2.ZIP");
    EXPECT_EQ(ShortNameAlias("game1.zip", folder), "GAME1.ZIP");
}

TEST(ShortNameAlias, CleansCharactersAndExtensions) {
    EXPECT_EQ(ShortNameAlias("a+b.c.d.archive", {}), "A_BCD~1.ARC");
    EXPECT_EQ(ShortNameAlias("verylongname", {}), "VERYLO~1");
    EXPECT_EQ(ShortNameAlias("x y.zip", {}), "XY~1.ZIP");
}

TEST(ShortNameAlias, SkipsAliasesTakenByRealShortNames) {
    const std::vector<std::string> folder = {"LONGFI~1.ZIP", "Long File Name.zip"};
    EXPECT_EQ(ShortNameAlias("Long File Name.zip", folder), "LONGFI~2.ZIP");
}

TEST(IsValid83Name, Rules) {
    EXPECT_TRUE(IsValid83Name("GAME1.ZIP"));
    EXPECT_TRUE(IsValid83Name("readme"));
    EXPECT_FALSE(IsValid83Name("NINECHARS.ZIP"));
    EXPECT_FALSE(IsValid83Name("A.ZIPX"));
    EXPECT_FALSE(IsValid83Name("A.B.C"));
    EXPECT_FALSE(IsValid83Name("A B.ZIP"));
    EXPECT_FALSE(IsValid83Name(".profile"));
}

TEST(ShortNameForPath, ReadsTheFolderAndLeavesTheFileAlone) {
    TempFolder dir;
    dir.Write("Long File Name.zip", "abc");
    dir.Write("Long File Nose.zip", "abc");
    EXPECT_EQ(ShortNameForPath(dir.path(), "Long File Nose.zip"), "LONGFI~2.ZIP");
    EXPECT_EQ(test::ReadAll(dir / "Long File Name.zip"), "abc");
}

TEST(StatArchiveFile, FoldersAndMissingFilesCannotBeOpened) {
    TempFolder dir;
    EXPECT_FALSE(StatArchiveFile(dir.MakeDir("sub")));
    EXPECT_FALSE(StatArchiveFile(dir / "missing.zip"));
    const auto st = StatArchiveFile(dir.Write("a.zip", std::string(1500, 'x')));
    ASSERT_TRUE(st);
    EXPECT_EQ(st->size, 1500u);
}

TEST(ReadFileBytes, StopsAtTheLimitAndRefusesLinks) {
    TempFolder dir;
    const auto target = dir.Write("t.txt", std::string(100, 'a'));
    EXPECT_EQ(ReadFileBytes(target, 10)->size(), 10u);
    ASSERT_EQ(::symlink(target.c_str(), (dir / "link").c_str()), 0);
    EXPECT_FALSE(ReadFileBytes(dir / "link", 10));
}

TEST(WriteFileAtomically, ReplacesAndKeepsOldFileOnFailure) {
    TempFolder dir;
    const auto path = dir.Write("list.txt", "old");
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(path, "new", &error)) << error;
    EXPECT_EQ(test::ReadAll(path), "new");
    EXPECT_FALSE(WriteFileAtomically(dir / "no/such/list.txt", "x", &error));
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
