#include "archive/core/output_name.h"

#include <algorithm>

#include "archive/core/stored_name.h"
#include "platform/text.h"

namespace lumora::archive {

namespace {

bool IsDotName(std::string_view part) {
    return part == "." || part == "..";
}

// Drops a drive ("C:\" or "C:") or one leading "\".
std::string_view StripDrive(std::string_view name) {
    if (name.find(':') != std::string_view::npos) {
        const auto slash = name.find('\\');
        return name.substr(std::min<std::size_t>(slash == 2 ? 3 : 2, name.size()));
    }
    if (!name.empty() && name.front() == '\\') name.remove_prefix(1);
    return name;
}

std::vector<std::string> SafeDirParts(std::string_view dirPart) {
    std::vector<std::string> parts;
    while (!dirPart.empty()) {
        const auto pos = dirPart.find('\\');
        const std::string_view part = dirPart.substr(0, pos);
        if (!part.empty() && !IsDotName(part)) parts.push_back(AnsiToUtf8(part));
        if (pos == std::string_view::npos) break;
        dirPart.remove_prefix(pos + 1);
    }
    return parts;
}

}  // namespace

std::string OutputTarget::FullPath() const {
    std::string path = extractDir;
    for (const auto& d : dirs) path += d + "/";
    return path + name;
}

OutputTarget BuildOutputTarget(std::string_view storedName, const std::string& extractDir,
                               bool useStoredDirs) {
    OutputTarget t;
    t.extractDir = extractDir;
    const std::string stored = ToBackslashes(storedName.substr(0, storedName.find('\0')));
    std::string_view rest = stored;
    if (useStoredDirs) {
        rest = StripDrive(rest);
        t.dirs = SafeDirParts(StoredDirPart(rest));
    }
    const std::string_view name = StoredFileNamePart(rest);
    if (!IsDotName(name)) t.name = AnsiToUtf8(name);
    return t;
}

}  // namespace lumora::archive
