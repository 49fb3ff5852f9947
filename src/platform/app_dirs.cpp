#include "platform/app_dirs.h"

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/file_io.h"

namespace lumora {

namespace {

std::string EnvOr(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    return (v && *v) ? std::string(v) : fallback;
}

std::string HomeFolder() {
    return EnvOr("HOME", "/tmp");
}

bool MakeFolders(const std::string& path, mode_t mode) {
    std::string part;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            if (!part.empty() && mkdir(part.c_str(), mode) != 0 && errno != EEXIST) return false;
        }
        if (i < path.size()) part += path[i];
    }
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

// Files shipped beside the executable (or in the installed data folder)
// that a user data folder starts with, and the folders copied with all their
// files.
constexpr const char* kSeedFiles[] = {"LM_IDS.DAT", "tips.dat", "Lumora.html", "filter.cfg",
                                      "filter2.cfg"};
constexpr const char* kSeedFolders[] = {"help"};

// The largest seed file copied; the shipped ones are far smaller.
constexpr std::size_t kMaxSeedBytes = 64u << 20;

void CopyIfMissing(const std::string& from, const std::string& to) {
    if (access(to.c_str(), F_OK) == 0) return;
    std::string bytes;
    if (ReadRegularFile(from, kMaxSeedBytes, bytes, nullptr)) WriteWholeFile(to, bytes, nullptr);
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Copies the regular files of folder `from` into `to` (both ending in "/")
// that `to` does not hold yet.
void CopyFolderIfMissing(const std::string& from, const std::string& to) {
    DIR* dir = opendir(from.c_str());
    if (!dir) return;
    if (MakeFolders(to.substr(0, to.size() - 1), 0700)) {
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            struct stat st {};
            if (lstat((from + name).c_str(), &st) == 0 && S_ISREG(st.st_mode))
                CopyIfMissing(from + name, to + name);
        }
    }
    closedir(dir);
}

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
    return ::remove(path) == 0 ? 0 : -1;
}

}  // namespace

std::string WithTrailingSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder;
}

std::string SettingsFolder() {
    const std::string base = EnvOr("XDG_CONFIG_HOME", HomeFolder() + "/.config");
    return WithTrailingSlash(base) + "Kestrel Rodoridodari/";
}

std::string SettingsStorePath() {
    return SettingsFolder() + "Lumora.reg";
}

std::string ExecutablePath() {
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    return std::string(buf, static_cast<std::size_t>(n));
}

std::string InstalledDataDir(const std::string& executablePath) {
    const std::string exeDir = FolderOf(executablePath);
    const std::string dir = FolderOf(exeDir.substr(0, exeDir.size() - 1)) + "share/lumora/";
    return IsFolder(dir) ? dir : std::string();
}

std::string SeedUserDataDir(const std::string& shippedDir) {
    const std::string base = EnvOr("XDG_DATA_HOME", HomeFolder() + "/.local/share");
    const std::string dir = WithTrailingSlash(base) + "Lumora/";
    if (!MakeFolders(dir.substr(0, dir.size() - 1), 0700)) return {};
    for (const char* name : kSeedFiles) CopyIfMissing(shippedDir + name, dir + name);
    for (const char* name : kSeedFolders)
        CopyFolderIfMissing(shippedDir + name + "/", dir + name + "/");
    return dir;
}

std::string ResolveProgramDir(const std::string& executablePath) {
    const std::string installed = InstalledDataDir(executablePath);
    if (!installed.empty()) {
        const std::string dir = SeedUserDataDir(installed);
        return dir.empty() ? installed : dir;
    }
    const std::string exeDir = FolderOf(executablePath);
    if (access(exeDir.c_str(), W_OK) == 0) return exeDir;
    const std::string dir = SeedUserDataDir(exeDir);
    return dir.empty() ? exeDir : dir;
}

PrivateTempDir::PrivateTempDir() {
    std::string pattern = WithTrailingSlash(EnvOr("TMPDIR", "/tmp")) + "lumora-XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern + "/";
}

PrivateTempDir::~PrivateTempDir() {
    if (ok()) RemoveTree(path_);
}

bool RemoveTree(const std::string& path) {
    if (path.empty()) return false;
    return nftw(path.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS) == 0;
}

}  // namespace lumora
