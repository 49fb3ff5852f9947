#include "archive/cab_set.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <vector>

#include "archive/stored_name.h"
#include "platform/text.h"

namespace lumora::archive {

namespace {

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Names in `folder` equal to `ansiName` without regard to case, in byte order.
std::vector<std::string> CaseFoldedMatches(const std::string& folder, std::string_view ansiName) {
    std::vector<std::string> found;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return found;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (AnsiSameText(Utf8ToAnsi(name), ansiName)) found.push_back(name);
    }
    ::closedir(dir);
    std::sort(found.begin(), found.end());
    return found;
}

}  // namespace

std::string FindCabinetFile(const std::string& folder, std::string_view storedName) {
    const std::string stored = ToBackslashes(storedName);
    const std::string_view part = StoredFileNamePart(stored);
    if (part.empty() || part == "." || part == "..") return {};
    const std::string exact = folder + AnsiToUtf8(part);
    if (IsRegularFile(exact)) return exact;
    for (const std::string& name : CaseFoldedMatches(folder, part)) {
        if (IsRegularFile(folder + name)) return folder + name;
    }
    return {};
}

bool CabinetVisits::Add(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    return seen_.insert({st.st_dev, st.st_ino}).second;
}

}  // namespace lumora::archive
