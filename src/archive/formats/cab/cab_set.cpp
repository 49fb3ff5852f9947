#include "archive/formats/cab/cab_set.h"

#include <sys/stat.h>

#include "archive/core/case_lookup.h"
#include "archive/core/stored_name.h"
#include "platform/text.h"

namespace lumora::archive {

std::string FindCabinetFile(const std::string& folder, std::string_view storedName) {
    const std::string stored = ToBackslashes(storedName);
    const std::string_view part = StoredFileNamePart(stored);
    if (part.empty() || part == "." || part == "..") return {};
    return FindFileIgnoringCase(folder + AnsiToUtf8(part)).value_or(std::string());
}

bool CabinetVisits::Add(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    return seen_.insert({st.st_dev, st.st_ino}).second;
}

}  // namespace lumora::archive
