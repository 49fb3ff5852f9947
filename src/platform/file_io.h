// The one way the program opens a file for reading and writes a whole file.
// Reading accepts regular files only and never waits on a FIFO or device;
// writing replaces a regular file atomically and writes through links,
// character devices and pipes.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace lumora {

// An owned file descriptor, closed when the handle goes.
class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(int fd) : fd_(fd) {}
    ~FileHandle();
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    FileHandle(FileHandle&& other) noexcept;
    FileHandle& operator=(FileHandle&& other) noexcept;

    int get() const { return fd_; }
    bool ok() const { return fd_ >= 0; }
    // Gives the descriptor up to the caller, who then closes it.
    int release();
    // False when the system reports an error on closing.
    bool Close();

private:
    int fd_ = -1;
};

enum class Links { Follow, Refuse };

// Opens `path` read-only when it is a regular file. The open does not wait
// for a FIFO's writer or a device and makes no terminal the controlling one;
// anything else than a regular file is closed again and fails with EISDIR (a
// folder) or EINVAL (a FIFO, device or socket). On failure the handle is
// empty and `*error` (when given) holds the errno value.
// `info` (when given) receives the file's status.
FileHandle OpenRegularFile(const std::string& path, int* error, Links links = Links::Follow,
                           struct stat* info = nullptr);

// Whether `path` would open as OpenRegularFile opens it (a regular file this
// process may read), with the file's status in `info`; nothing is opened.
bool ProbeRegularFile(const std::string& path, Links links, struct stat& info);

// Reads from the current position to the end, at most `limit` bytes, into
// `bytes`; false with `*error` set on a read error.
bool ReadUpTo(int fd, std::size_t limit, std::string& bytes, int* error);

// OpenRegularFile, then ReadUpTo.
bool ReadRegularFile(const std::string& path, std::size_t limit, std::string& bytes, int* error,
                     Links links = Links::Follow);

// Writes `bytes` as the whole content of `path`. A new file or an existing
// regular file is replaced atomically (a temporary file in the same folder,
// flushed, renamed; an existing file keeps its permissions). A symbolic link
// (to a regular file or a device), a character device or a pipe is written
// through, truncated, so the link stays and its target gets the content; a
// pipe without a reader fails instead of waiting. A folder or other special
// file fails. On failure `*error` (when given) gets the reason and an
// atomically replaced file stays as it was.
bool WriteWholeFile(const std::string& path, const std::string& bytes, std::string* error);

// A whole file written piece by piece, by WriteWholeFile's rules: a new or
// regular file fills a temporary file beside it, renamed over it by Commit;
// a link, device or pipe gets its bytes from an unnamed spool at Commit. A
// writer dropped before Commit leaves the target as it was.
class WholeFileWriter {
public:
    explicit WholeFileWriter(std::string path);
    ~WholeFileWriter();
    WholeFileWriter(const WholeFileWriter&) = delete;
    WholeFileWriter& operator=(const WholeFileWriter&) = delete;

    // Appends `bytes`; a failure is kept for Commit.
    void Write(std::string_view bytes);
    // Completes the file; false with the reason of the first failure.
    bool Commit(std::string* error);

private:
    void Flush();

    std::string path_;
    std::string temp_;  // the temporary file beside the target, until renamed
    bool through_ = false;
    mode_t mode_ = 0644;
    FileHandle fd_;       // the temporary file or the spool
    std::string buffer_;  // bytes not yet written to `fd_`
    int err_ = 0;
};

}  // namespace lumora
