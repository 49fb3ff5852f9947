// Opening files for reading (regular files only, never waiting) and writing
// whole files (atomic replace, or through links, devices and pipes).
#include "platform/file_io.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <iterator>
#include <vector>

#include "support/temp_folder.h"

namespace lumora {
namespace {

using test::ReadAll;
using test::TempFolder;

// Only a regular file (also through a link, unless links are refused)
// opens; a folder, a FIFO without a writer and a device fail at once with
// the reason (an open that waits is ended by the alarm, failing the test).
// The probe agrees with the opening, also on a file this process may not
// read (where it runs without root's rights).
TEST(OpenRegularFile, OnlyRegularFilesOpenAndNothingWaits) {
    TempFolder dir;
    const std::string file = dir.Write("A.ZIP", "PK");
    ASSERT_EQ(::symlink(file.c_str(), (dir / "LINK.ZIP").c_str()), 0);
    ASSERT_EQ(::mkfifo((dir / "PIPE.ZIP").c_str(), 0600), 0);
    dir.MakeDir("X.ZIP");
    const struct {
        std::string path;
        Links links;
        int error;  // 0: opens
    } rows[] = {
        {file, Links::Refuse, 0},
        {dir / "LINK.ZIP", Links::Follow, 0},
        {dir / "LINK.ZIP", Links::Refuse, ELOOP},
        {dir / "X.ZIP", Links::Follow, EISDIR},
        {dir / "PIPE.ZIP", Links::Follow, EINVAL},
        {"/dev/null", Links::Follow, EINVAL},
        {dir / "missing.zip", Links::Follow, ENOENT},
        {dir.Write("LOCKED.ZIP", "PK"), Links::Follow, ::geteuid() == 0 ? 0 : EACCES},
    };
    ASSERT_EQ(::chmod((dir / "LOCKED.ZIP").c_str(), 0), 0);
    for (const auto& row : rows) {
        struct stat st {};
        EXPECT_EQ(ProbeRegularFile(row.path, row.links, st), row.error == 0) << row.path;
        int error = 0;
        ::alarm(10);
        const FileHandle fd = OpenRegularFile(row.path, &error, row.links);
        ::alarm(0);
        EXPECT_EQ(fd.ok(), row.error == 0) << row.path;
        EXPECT_EQ(error, row.error) << row.path;
        // Reads on an opened file block as usual.
        EXPECT_TRUE(!fd.ok() || (::fcntl(fd.get(), F_GETFL) & O_NONBLOCK) == 0) << row.path;
    }
}

struct stat Lstat(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st;
}

// A new or regular file is replaced by a renamed temporary file (a new
// inode, the old permissions). Links, devices and FIFOs are written through
// and stay what they are; a link's target is created when it is missing.
TEST(WriteWholeFile, ReplacesRegularFilesAndWritesThroughTheRest) {
    TempFolder dir;
    std::string error;
    ASSERT_TRUE(WriteWholeFile(dir / "new.txt", "fresh", &error)) << error;
    EXPECT_EQ(ReadAll(dir / "new.txt"), "fresh");
    EXPECT_EQ(Lstat(dir / "new.txt").st_mode & 07777, 0644u);

    const std::string old = dir.Write("list.txt", "a much longer old list");
    ASSERT_EQ(::chmod(old.c_str(), 0600), 0);
    const ino_t oldInode = Lstat(old).st_ino;
    ASSERT_TRUE(WriteWholeFile(old, "new", &error)) << error;
    EXPECT_EQ(ReadAll(old), "new");
    EXPECT_NE(Lstat(old).st_ino, oldInode) << "written in place, not replaced";
    EXPECT_EQ(Lstat(old).st_mode & 07777, 0600u);

    const std::string target = dir.Write("target.txt", "a much longer old target");
    const ino_t targetInode = Lstat(target).st_ino;
    ASSERT_EQ(::symlink("target.txt", (dir / "link.txt").c_str()), 0);
    ASSERT_EQ(::symlink("later.txt", (dir / "dangling.txt").c_str()), 0);
    ASSERT_TRUE(WriteWholeFile(dir / "link.txt", "via link", &error)) << error;
    ASSERT_TRUE(WriteWholeFile(dir / "dangling.txt", "later", &error)) << error;
    EXPECT_EQ(ReadAll(target), "via link");
    EXPECT_EQ(Lstat(target).st_ino, targetInode);
    EXPECT_EQ(ReadAll(dir / "later.txt"), "later");

    ASSERT_TRUE(WriteWholeFile("/dev/null", "discarded", &error)) << error;
    const std::string fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ASSERT_TRUE(WriteWholeFile(fifo, "read", &error)) << error;
    char buf[16] = {};
    EXPECT_EQ(::read(reader, buf, sizeof buf), 4);
    ::close(reader);
    EXPECT_TRUE(S_ISLNK(Lstat(dir / "link.txt").st_mode));
    EXPECT_TRUE(S_ISLNK(Lstat(dir / "dangling.txt").st_mode));
    EXPECT_TRUE(S_ISCHR(Lstat("/dev/null").st_mode));
    EXPECT_TRUE(S_ISFIFO(Lstat(fifo).st_mode));
}

// What cannot be written (a folder in the way, a file as the folder, a
// folder without write permission) reports an error and leaves no
// temporary file; a FIFO nobody reads fails instead of waiting.
TEST(WriteWholeFile, FailuresAreReported) {
    TempFolder dir;
    const std::string file = dir.Write("file", "x");
    dir.MakeDir("folder");
    const std::string locked = dir.MakeDir("locked");
    ASSERT_EQ(::chmod(locked.c_str(), 0500), 0);
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    std::vector<std::string> paths = {dir / "folder", dir / "file/list.txt", dir / "fifo"};
    if (::geteuid() != 0) paths.push_back(locked + "list.txt");  // root may write anywhere
    for (const std::string& path : paths) {
        std::string error;
        EXPECT_FALSE(WriteWholeFile(path, "list", &error)) << path;
        EXPECT_FALSE(error.empty()) << path;
    }
    ::chmod(locked.c_str(), 0700);
    EXPECT_TRUE(S_ISDIR(Lstat(dir / "folder").st_mode));
    EXPECT_EQ(ReadAll(file), "x");
    EXPECT_TRUE(std::filesystem::is_empty(locked));
    const auto entries = std::filesystem::directory_iterator(dir.path());
    EXPECT_EQ(std::distance(entries, {}), 4);  // file, folder, locked, fifo
}

}  // namespace
// Written in pieces small and large (past the writer's buffer), a regular
// file and a link's target get exactly those bytes, and only at Commit: a
// writer dropped before it leaves the old file and nothing else behind.
TEST(WholeFileWriter, PiecesBecomeTheFileOnlyAtCommit) {
    TempFolder dir;
    dir.Write("list.txt", "old");
    dir.Write("target.txt", "old");
    ASSERT_EQ(::symlink("target.txt", (dir / "link.txt").c_str()), 0);
    std::string expected;
    for (int i = 0; i < 3000; ++i) expected += "line " + std::to_string(i) + "\r\n";
    expected += std::string(100 * 1024, 'x') + "end";
    const struct {
        std::string written, read;
    } rows[] = {{"list.txt", "list.txt"}, {"link.txt", "target.txt"}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.written);
        for (const bool commit : {false, true}) {
            WholeFileWriter writer(dir / r.written);
            for (std::size_t at = 0; at < expected.size();) {
                const std::size_t n = expected.compare(at, 5, "xxxxx") == 0 ? 100 * 1024 : 7;
                writer.Write(std::string_view(expected).substr(at, n));
                at += n;
            }
            EXPECT_EQ(ReadAll(dir / r.read), "old");
            std::string error;
            if (commit) {
                ASSERT_TRUE(writer.Commit(&error)) << error;
                EXPECT_EQ(ReadAll(dir / r.read), expected);
            }
        }
        const auto entries = std::filesystem::directory_iterator(dir.path());
        EXPECT_EQ(std::distance(entries, {}), 3);  // list.txt, target.txt, link.txt
        dir.Write(r.read, "old");
    }
}

}  // namespace lumora
