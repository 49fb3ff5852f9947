#include "archive/core/output_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <system_error>

#include "platform/file_io.h"

namespace lumora::archive {

namespace {

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
    FileHandle dir(::open(t.extractDir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0) return -1;
    for (const std::string& part : t.dirs) {
        if (create) ::mkdirat(dir.get(), part.c_str(), 0777);
        const int next =
            ::openat(dir.get(), part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0) return -1;
        dir = FileHandle(next);
    }
    return dir.release();
}

}  // namespace

bool CreateOutputDirs(const OutputTarget& target) {
    if (!MakeDirs(target.extractDir)) return false;
    FileHandle dir(OpenTargetDir(target, true));
    return dir.get() >= 0;
}

bool OutputExists(const OutputTarget& target) {
    if (target.name.empty()) return false;
    FileHandle dir(OpenTargetDir(target, false));
    struct stat st {};
    return dir.get() >= 0 &&
           ::fstatat(dir.get(), target.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

bool OutputFile::Create(const OutputTarget& target) {
    Close();
    if (target.name.empty()) return false;
    FileHandle dir(OpenTargetDir(target, false));
    if (dir.get() < 0) return false;
    if (::unlinkat(dir.get(), target.name.c_str(), 0) != 0 && errno != ENOENT) return false;
    fd_ = FileHandle(::openat(dir.get(), target.name.c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    return fd_.ok();
}

OutputFile OutputFile::InMemory(std::string& sink, std::size_t limit) {
    OutputFile file;
    file.memory_ = &sink;
    file.memoryLimit_ = limit;
    return file;
}

void OutputFile::Write(const std::uint8_t* data, std::size_t n) {
    if (memory_) {
        const std::size_t room =
            memory_->size() < memoryLimit_ ? memoryLimit_ - memory_->size() : 0;
        memory_->append(reinterpret_cast<const char*>(data), std::min(n, room));
        return;
    }
    while (n > 0) {
        const ssize_t done = ::write(fd_.get(), data, n);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) throw std::system_error(done < 0 ? errno : EIO, std::generic_category());
        data += done;
        n -= static_cast<std::size_t>(done);
    }
}

void OutputFile::SetDate(std::time_t t) {
    if (memory_) return;
    const struct timespec times[2] = {{0, UTIME_OMIT}, {t, 0}};
    ::futimens(fd_.get(), times);
}

void OutputFile::SetReadOnly() {
    if (memory_) return;
    struct stat st {};
    if (::fstat(fd_.get(), &st) == 0) ::fchmod(fd_.get(), st.st_mode & ~static_cast<mode_t>(0222));
}

bool OutputFile::Close() {
    memory_ = nullptr;
    return fd_.Close();
}

}  // namespace lumora::archive
