#include "platform/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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

bool WriteAll(int fd, const std::string& bytes, int* error) {
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

// A temporary file beside `path`, filled, flushed, given `mode` and renamed
// over `path`; the temporary file goes on any failure.
bool ReplaceAtomically(const std::string& path, const std::string& bytes, mode_t mode,
                       std::string* error) {
    const auto slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string temp = folder + "." + base + ".XXXXXX";
    FileHandle fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (!fd.ok()) return Fail(error, errno);
    int err = 0;
    if (!WriteAll(fd.get(), bytes, &err) || ::fchmod(fd.get(), mode) != 0 ||
        ::fsync(fd.get()) != 0 || !fd.Close() || ::rename(temp.c_str(), path.c_str()) != 0) {
        if (err == 0) err = errno;
        ::unlink(temp.c_str());
        return Fail(error, err);
    }
    return true;
}

// Opens the existing path (following a link) and writes into it, truncated.
bool WriteThrough(const std::string& path, const std::string& bytes, std::string* error) {
    // O_NONBLOCK: a FIFO nobody reads fails with ENXIO instead of waiting.
    FileHandle fd(::open(path.c_str(),
                         O_WRONLY | O_CREAT | O_TRUNC | O_NOCTTY | O_CLOEXEC | O_NONBLOCK, 0666));
    if (!fd.ok()) return Fail(error, errno);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return Fail(error, errno);
    const bool regular = S_ISREG(st.st_mode);
    if (!regular && !S_ISCHR(st.st_mode) && !S_ISFIFO(st.st_mode)) return Fail(error, EINVAL);
    ClearNonBlocking(fd.get());
    int err = 0;
    if (!WriteAll(fd.get(), bytes, &err)) return Fail(error, err);
    // Devices and pipes cannot be flushed to a disk; their close still reports.
    if ((regular && ::fsync(fd.get()) != 0) || !fd.Close()) return Fail(error, errno);
    return true;
}

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

// OpenRegularFile without leaving the non-blocking mode of the opening.
FileHandle OpenRegularNonBlocking(const std::string& path, int flags, int* error, struct stat& st) {
    FileHandle fd(::open(path.c_str(), flags));
    if (!fd.ok()) {
        SetError(error, errno);
        return {};
    }
    if (::fstat(fd.get(), &st) != 0) {
        SetError(error, errno);
        return {};
    }
    if (!S_ISREG(st.st_mode)) {
        SetError(error, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
        return {};
    }
    return fd;
}

int OpenFlags(Links links) {
    const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    return links == Links::Refuse ? flags | O_NOFOLLOW : flags;
}

}  // namespace

FileHandle OpenRegularFile(const std::string& path, int* error, Links links, struct stat* info) {
    const int flags = OpenFlags(links);
    struct stat st {};
    FileHandle fd = OpenRegularNonBlocking(path, flags, error, st);
    if (!fd.ok()) return fd;
    // The status flags are the ones just given: one call sets them back.
    ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);
    if (info) *info = st;
    return fd;
}

bool ProbeRegularFile(const std::string& path, Links links, struct stat& info) {
    return OpenRegularNonBlocking(path, OpenFlags(links), nullptr, info).ok();
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

bool WriteWholeFile(const std::string& path, const std::string& bytes, std::string* error) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        if (errno != ENOENT) return Fail(error, errno);
        return ReplaceAtomically(path, bytes, 0644, error);
    }
    if (S_ISREG(st.st_mode)) return ReplaceAtomically(path, bytes, st.st_mode & 07777, error);
    if (S_ISLNK(st.st_mode) || S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode))
        return WriteThrough(path, bytes, error);
    return Fail(error, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
}

}  // namespace lumora
