// Reading and atomically replacing the settings store file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <system_error>

#include "platform/file_io.h"
#include "platform/reg_store.h"

namespace lumora {

namespace {

// A settings file is a few kilobytes; anything past this is ignored.
constexpr std::size_t kMaxStoreBytes = 8u << 20;

std::string Reason(const std::string& path, int err) {
    return path + ": " + std::generic_category().message(err);
}

bool Fail(std::string* error, const std::string& path, int err) {
    if (error != nullptr) *error = Reason(path, err);
    return false;
}

// mkdir -p with mode 0700 for every folder it creates; 0 or an errno.
int MakeFolders(const std::string& folder) {
    for (std::size_t pos = 1; pos <= folder.size(); ++pos) {
        if (pos < folder.size() && folder[pos] != '/') continue;
        const std::string part = folder.substr(0, pos);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return errno;
    }
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) return errno;
    return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A store kept as a symbolic link (a managed dotfile) is replaced at its
// target, so the link stays.
std::string ResolveTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

bool RegStore::LoadFile(const std::string& path) {
    values_.clear();
    int err = 0;
    const FileHandle fd = OpenRegularFile(path, &err);
    if (!fd.ok()) return err == ENOENT;
    std::string bytes;
    if (!ReadUpTo(fd.get(), kMaxStoreBytes, bytes, &err)) return false;
    ParseText(bytes);
    return true;
}

bool RegStore::SaveFile(const std::string& path, std::string* error) const {
    const std::string target = ResolveTarget(path);
    const std::string folder = FolderOf(target);
    if (const int err = MakeFolders(folder); err != 0) return Fail(error, folder, err);

    std::string temp = target + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return Fail(error, target, errno);
    if (!WriteAll(fd, FormatText()) || ::fsync(fd) != 0) {
        const int err = errno;
        ::close(fd);
        ::unlink(temp.c_str());
        return Fail(error, target, err);
    }
    if (::close(fd) != 0 || ::rename(temp.c_str(), target.c_str()) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        return Fail(error, target, err);
    }
    SyncFolder(folder);
    return true;
}

}  // namespace lumora
