#include "archive/case_lookup.h"

#include <dirent.h>
#include <sys/stat.h>

#include <memory>

namespace lumora::archive {

namespace {

bool IsRegularFile(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualIgnoringCase(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
    }
    return i == a.size() && b[i] == '\0';
}

}  // namespace

std::optional<std::string> FindFileIgnoringCase(const std::string& path) {
    if (IsRegularFile(path)) return path;
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir) return std::nullopt;
    std::optional<std::string> found;
    while (const dirent* e = ::readdir(dir.get())) {
        if (!EqualIgnoringCase(name, e->d_name)) continue;
        const std::string candidate = (slash == std::string::npos ? "" : folder) + e->d_name;
        if (IsRegularFile(candidate) && (!found || candidate < *found)) found = candidate;
    }
    return found;
}

}  // namespace lumora::archive
