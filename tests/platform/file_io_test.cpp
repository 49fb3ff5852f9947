// Opening files for reading (regular files only, never waiting) and writing
// whole files (atomic replace, or through links, devices and pipes).
#include "platform/file_io.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

#include "support/temp_folder.h"

namespace lumora {
namespace {

using test::ReadAll;
using test::TempFolder;

// Frees a read-open stuck on a FIFO without a writer: after a few seconds it
// opens the write end, so a test that would hang fails instead.
class FifoWatchdog {
public:
    explicit FifoWatchdog(std::string fifo)
        : thread_([this, fifo = std::move(fifo)] {
              const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
              while (!done_ && std::chrono::steady_clock::now() < deadline)
                  std::this_thread::sleep_for(std::chrono::milliseconds(10));
              if (done_) return;
              fired_ = true;
              const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
              if (fd >= 0) ::close(fd);
          }) {}
    ~FifoWatchdog() { Stop(); }
    FifoWatchdog(const FifoWatchdog&) = delete;
    FifoWatchdog& operator=(const FifoWatchdog&) = delete;
    // True when the watched call had to be freed.
    bool Stop() {
        done_ = true;
        if (thread_.joinable()) thread_.join();
        return fired_;
    }

private:
    std::atomic<bool> done_{false};
    std::atomic<bool> fired_{false};
    std::thread thread_;
};

// Only a regular file (also through a link, unless links are refused)
// opens; a folder, a FIFO without a writer and a device fail at once with
// the reason.
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
    };
    for (const auto& row : rows) {
        FifoWatchdog watchdog(dir / "PIPE.ZIP");
        int error = 0;
        const FileHandle fd = OpenRegularFile(row.path, &error, row.links);
        EXPECT_FALSE(watchdog.Stop()) << row.path << " blocked the open";
        EXPECT_EQ(fd.ok(), row.error == 0) << row.path;
        EXPECT_EQ(error, row.error) << row.path;
        // Reads on an opened file block as usual.
        if (fd.ok()) {
            EXPECT_EQ(::fcntl(fd.get(), F_GETFL) & O_NONBLOCK, 0) << row.path;
        }
    }
}

ino_t InodeOf(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

// A new or regular file is replaced by a renamed temporary file (a new
// inode, the old permissions); a link keeps being a link and its target is
// rewritten in place.
TEST(WriteWholeFile, ReplacesRegularFilesAndWritesThroughLinks) {
    TempFolder dir;
    std::string error;
    ASSERT_TRUE(WriteWholeFile(dir / "new.txt", "fresh", &error)) << error;
    EXPECT_EQ(ReadAll(dir / "new.txt"), "fresh");
    EXPECT_EQ(ModeOf(dir / "new.txt") & 07777, 0644u);

    const std::string old = dir.Write("list.txt", "a much longer old list");
    ASSERT_EQ(::chmod(old.c_str(), 0600), 0);
    const ino_t oldInode = InodeOf(old);
    ASSERT_TRUE(WriteWholeFile(old, "new", &error)) << error;
    EXPECT_EQ(ReadAll(old), "new");
    EXPECT_NE(InodeOf(old), oldInode) << "written in place, not replaced";
    EXPECT_EQ(ModeOf(old) & 07777, 0600u);

    const std::string target = dir.Write("target.txt", "a much longer old target");
    const ino_t targetInode = InodeOf(target);
    ASSERT_EQ(::symlink("target.txt", (dir / "link.txt").c_str()), 0);
    ASSERT_TRUE(WriteWholeFile(dir / "link.txt", "via link", &error)) << error;
    EXPECT_TRUE(S_ISLNK(ModeOf(dir / "link.txt")));
    EXPECT_EQ(ReadAll(target), "via link");
    EXPECT_EQ(InodeOf(target), targetInode);

    // A link whose target does not exist yet creates the target.
    ASSERT_EQ(::symlink("later.txt", (dir / "dangling.txt").c_str()), 0);
    ASSERT_TRUE(WriteWholeFile(dir / "dangling.txt", "later", &error)) << error;
    EXPECT_TRUE(S_ISLNK(ModeOf(dir / "dangling.txt")));
    EXPECT_EQ(ReadAll(dir / "later.txt"), "later");
}

// Devices and pipes are written through and stay what they are; a FIFO
// nobody reads fails instead of waiting.
TEST(WriteWholeFile, WritesThroughDevicesAndPipes) {
    TempFolder dir;
    std::string error;
    ASSERT_TRUE(WriteWholeFile("/dev/null", "discarded", &error)) << error;
    EXPECT_TRUE(S_ISCHR(ModeOf("/dev/null")));

    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ASSERT_TRUE(WriteWholeFile("/proc/self/fd/" + std::to_string(ends[1]), "piped", &error))
        << error;
    ::close(ends[1]);
    char buf[16] = {};
    EXPECT_EQ(::read(ends[0], buf, sizeof buf), 5);
    EXPECT_STREQ(buf, "piped");
    ::close(ends[0]);

    const std::string fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(WriteWholeFile(fifo, "nobody reads", &error));
    EXPECT_FALSE(error.empty());
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ASSERT_TRUE(WriteWholeFile(fifo, "read", &error)) << error;
    EXPECT_EQ(::read(reader, buf, sizeof buf), 4);
    ::close(reader);
    EXPECT_TRUE(S_ISFIFO(ModeOf(fifo)));
}

// What cannot be written reports an error and leaves no temporary file.
TEST(WriteWholeFile, FailuresAreReported) {
    TempFolder dir;
    const std::string file = dir.Write("file", "x");
    dir.MakeDir("folder");
    const std::string locked = dir.MakeDir("locked");
    ASSERT_EQ(::chmod(locked.c_str(), 0500), 0);
    const bool root = ::geteuid() == 0;
    for (const std::string& path : {dir / "folder", dir / "file/list.txt", locked + "list.txt"}) {
        if (root && path == locked + "list.txt") continue;  // root may write anywhere
        std::string error;
        EXPECT_FALSE(WriteWholeFile(path, "list", &error)) << path;
        EXPECT_FALSE(error.empty()) << path;
    }
    EXPECT_TRUE(S_ISDIR(ModeOf(dir / "folder")));
    EXPECT_EQ(ReadAll(file), "x");
    ::chmod(locked.c_str(), 0700);
}

}  // namespace
}  // namespace lumora
