#include "archive/core/case_lookup.h"

#include <dirent.h>
#include <sys/stat.h>

#include <memory>

#include "platform/text.h"

namespace lumora::archive {

namespace {

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::optional<std::string> FindFileIgnoringCase(const std::string& path) {
    if (IsRegularFile(path)) return path;
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string name = Utf8ToAnsi(slash == std::string::npos ? path : path.substr(slash + 1));
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir) return std::nullopt;
    std::optional<std::string> found;
    while (const dirent* e = ::readdir(dir.get())) {
        if (!AnsiSameText(Utf8ToAnsi(e->d_name), name)) continue;
        const std::string candidate = (slash == std::string::npos ? "" : folder) + e->d_name;
        if (IsRegularFile(candidate) && (!found || candidate < *found)) found = candidate;
    }
    return found;
}

}  // namespace lumora::archive
