#include "platform/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace lumora {

namespace {

bool SetError(int* error, int err) {
    if (error) *error = err;
    return false;
}

bool Fail(std::string* error, int err) {
    if (error) *error = std::strerror(err);
    return false;
}

// Back to blocking reads and writes once the descriptor is known to be safe.
void ClearNonBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0 && (flags & O_NONBLOCK)) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
}

bool WriteAll(int fd, std::string_view bytes, int* error) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return SetError(error, errno);
        if (n == 0) return SetError(error, ENOSPC);
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Opens the existing path (following a link) for writing through,
// truncated; fails with the errno value.
FileHandle OpenThrough(const std::string& path, int* error) {
    // O_NONBLOCK: a FIFO nobody reads fails with ENXIO instead of waiting.
    FileHandle fd(::open(path.c_str(),
                         O_WRONLY | O_CREAT | O_TRUNC | O_NOCTTY | O_CLOEXEC | O_NONBLOCK, 0666));
    struct stat st {};
    if (!fd.ok() || ::fstat(fd.get(), &st) != 0) {
        SetError(error, errno);
        return {};
    }
    if (!S_ISREG(st.st_mode) && !S_ISCHR(st.st_mode) && !S_ISFIFO(st.st_mode)) {
        SetError(error, EINVAL);
        return {};
    }
    ClearNonBlocking(fd.get());
    return fd;
}

// Copies all of `from` (read from its start) to `to`.
bool CopyAll(int from, int to, int* error) {
    if (::lseek(from, 0, SEEK_SET) != 0) return SetError(error, errno);
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(from, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return SetError(error, errno);
        if (n == 0) return true;
        if (!WriteAll(to, std::string_view(buffer, static_cast<std::size_t>(n)), error))
            return false;
    }
}

// An unnamed file that goes when its descriptor is closed.
FileHandle OpenSpool(int* error) {
    std::FILE* f = std::tmpfile();
    if (!f) {
        SetError(error, errno);
        return {};
    }
    FileHandle fd(::fcntl(::fileno(f), F_DUPFD_CLOEXEC, 0));
    if (!fd.ok()) SetError(error, errno);
    std::fclose(f);
    return fd;
}

// Writes the spool's bytes through the existing `path`.
bool WriteThrough(const std::string& path, int spool, int* error) {
    FileHandle target = OpenThrough(path, error);
    if (!target.ok() || !CopyAll(spool, target.get(), error)) return false;
    struct stat st {};
    // Devices and pipes cannot be flushed to a disk; their close still reports.
    if (::fstat(target.get(), &st) != 0 || (S_ISREG(st.st_mode) && ::fsync(target.get()) != 0) ||
        !target.Close())
        return SetError(error, errno);
    return true;
}

constexpr std::size_t kWriterBuffer = 64 * 1024;

}  // namespace

FileHandle::~FileHandle() {
    Close();
}

FileHandle::FileHandle(FileHandle&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

int FileHandle::release() {
    return std::exchange(fd_, -1);
}

bool FileHandle::Close() {
    if (fd_ < 0) return true;
    return ::close(std::exchange(fd_, -1)) == 0;
}

namespace {

int OpenFlags(Links links) {
    const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    return links == Links::Refuse ? flags | O_NOFOLLOW : flags;
}

}  // namespace

FileHandle OpenRegularFile(const std::string& path, int* error, Links links, struct stat* info) {
    const int flags = OpenFlags(links);
    FileHandle fd(::open(path.c_str(), flags));
    struct stat st {};
    if (!fd.ok() || ::fstat(fd.get(), &st) != 0) {
        SetError(error, errno);
        return {};
    }
    if (!S_ISREG(st.st_mode)) {
        SetError(error, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
        return {};
    }
    // The status flags are the ones just given: one call sets them back.
    ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
    if (info) *info = st;
    return fd;
}

// Two look-ups of the path cost less than an opening, its status and a close.
bool ProbeRegularFile(const std::string& path, Links links, struct stat& info) {
    const int nofollow = links == Links::Refuse ? AT_SYMLINK_NOFOLLOW : 0;
    if (::fstatat(AT_FDCWD, path.c_str(), &info, nofollow) != 0 || !S_ISREG(info.st_mode))
        return false;
    return ::faccessat(AT_FDCWD, path.c_str(), R_OK, AT_EACCESS | nofollow) == 0;
}

bool ReadUpTo(int fd, std::size_t limit, std::string& bytes, int* error) {
    bytes.clear();
    char buffer[65536];
    while (bytes.size() < limit) {
        const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, limit - bytes.size()));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return SetError(error, errno);
        if (n == 0) break;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
}

bool ReadRegularFile(const std::string& path, std::size_t limit, std::string& bytes, int* error,
                     Links links) {
    bytes.clear();
    const FileHandle fd = OpenRegularFile(path, error, links);
    return fd.ok() && ReadUpTo(fd.get(), limit, bytes, error);
}

WholeFileWriter::WholeFileWriter(std::string path) : path_(std::move(path)) {
    struct stat st {};
    if (::lstat(path_.c_str(), &st) != 0) {
        if (errno != ENOENT) {
            err_ = errno;
            return;
        }
    } else if (S_ISREG(st.st_mode)) {
        mode_ = st.st_mode & 07777;
    } else if (S_ISLNK(st.st_mode) || S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode)) {
        through_ = true;
        fd_ = OpenSpool(&err_);
        return;
    } else {
        err_ = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return;
    }
    const auto slash = path_.rfind('/');
    const std::size_t base = slash == std::string::npos ? 0 : slash + 1;
    temp_ = path_.substr(0, base) + "." + path_.substr(base) + ".XXXXXX";
    fd_ = FileHandle(::mkostemp(temp_.data(), O_CLOEXEC));
    if (!fd_.ok()) {
        err_ = errno;
        temp_.clear();
    }
}

WholeFileWriter::~WholeFileWriter() {
    fd_.Close();
    if (!temp_.empty()) ::unlink(temp_.c_str());
}

void WholeFileWriter::Write(std::string_view bytes) {
    if (err_ != 0) return;
    if (buffer_.size() + bytes.size() < kWriterBuffer) {
        buffer_.append(bytes);
        return;
    }
    Flush();
    WriteAll(fd_.get(), bytes, &err_);
}

void WholeFileWriter::Flush() {
    if (err_ == 0 && !buffer_.empty()) WriteAll(fd_.get(), buffer_, &err_);
    buffer_.clear();
}

bool WholeFileWriter::Commit(std::string* error) {
    Flush();
    if (err_ == 0 && through_) {
        WriteThrough(path_, fd_.get(), &err_);
    } else if (err_ == 0) {
        if (::fchmod(fd_.get(), mode_) != 0 || ::fsync(fd_.get()) != 0 || !fd_.Close() ||
            ::rename(temp_.c_str(), path_.c_str()) != 0) {
            err_ = errno;
        } else {
            temp_.clear();
        }
    }
    return err_ == 0 || Fail(error, err_);
}

bool WriteWholeFile(const std::string& path, const std::string& bytes, std::string* error) {
    WholeFileWriter writer(path);
    writer.Write(bytes);
    return writer.Commit(error);
}

}  // namespace lumora
