#include "archive/core/output_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>
#include <utility>

namespace lumora::archive {

namespace {

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }
    void reset(int fd) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_;
};

bool MakeDirs(const std::string& dir) {
    std::string path;
    std::size_t pos = 0;
    while (pos < dir.size()) {
        const auto slash = dir.find('/', pos + 1);
        path = dir.substr(0, slash);
        if (!path.empty() && ::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
        pos = slash;
    }
    struct stat st {};
    return ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The folder of the target's file, reached below extractDir without following
// links; -1 when a part is missing or is not a real folder.
int OpenTargetDir(const OutputTarget& t, bool create) {
    Fd dir(::open(t.extractDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0) return -1;
    for (const std::string& part : t.dirs) {
        if (create) ::mkdirat(dir.get(), part.c_str(), 0777);
        const int next =
            ::openat(dir.get(), part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0) return -1;
        dir.reset(next);
    }
    return dir.release();
}

}  // namespace

bool CreateOutputDirs(const OutputTarget& target) {
    if (!MakeDirs(target.extractDir)) return false;
    Fd dir(OpenTargetDir(target, true));
    return dir.get() >= 0;
}

bool OutputExists(const OutputTarget& target) {
    if (target.name.empty()) return false;
    Fd dir(OpenTargetDir(target, false));
    struct stat st {};
    return dir.get() >= 0 &&
           ::fstatat(dir.get(), target.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

OutputFile::~OutputFile() {
    Close();
}

OutputFile::OutputFile(OutputFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

bool OutputFile::Create(const OutputTarget& target) {
    Close();
    if (target.name.empty()) return false;
    Fd dir(OpenTargetDir(target, false));
    if (dir.get() < 0) return false;
    if (::unlinkat(dir.get(), target.name.c_str(), 0) != 0 && errno != ENOENT) return false;
    fd_ = ::openat(dir.get(), target.name.c_str(),
                   O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    return fd_ >= 0;
}

void OutputFile::Write(const std::uint8_t* data, std::size_t n) {
    while (n > 0) {
        const ssize_t done = ::write(fd_, data, n);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) throw std::system_error(done < 0 ? errno : EIO, std::generic_category());
        data += done;
        n -= static_cast<std::size_t>(done);
    }
}

void OutputFile::SetDate(std::time_t t) {
    const struct timespec times[2] = {{0, UTIME_OMIT}, {t, 0}};
    ::futimens(fd_, times);
}

void OutputFile::SetReadOnly() {
    struct stat st {};
    if (::fstat(fd_, &st) == 0) ::fchmod(fd_, st.st_mode & ~static_cast<mode_t>(0222));
}

bool OutputFile::Close() {
    if (fd_ < 0) return true;
    return ::close(std::exchange(fd_, -1)) == 0;
}

}  // namespace lumora::archive
