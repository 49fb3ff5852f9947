// LM_IDS.DAT: the ordered names of description files, one a line.
#include <sys/stat.h>

#include <cerrno>

#include "platform/file_info.h"
#include "platform/file_io.h"
#include "platform/text.h"
#include "settings/settings_store.h"

namespace lumora {

namespace {

// A list of names is a few hundred bytes; a larger file is read this far.
constexpr std::size_t kMaxInfoFileListBytes = 1u << 20;

}  // namespace

bool LoadInfoFileList(const std::string& path, std::vector<std::string>& list) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 && errno == ENOENT) return true;
    const auto bytes = ReadFileBytes(path, kMaxInfoFileListBytes, Links::Follow);
    if (!bytes) return false;
    // Names are taken as they stand, but empty lines are dropped: an empty
    // name can never match a member and would only disturb the search.
    std::vector<std::string> names;
    for (std::string& line : SplitTextLines(*bytes)) {
        if (!line.empty()) names.push_back(std::move(line));
    }
    list = std::move(names);
    return true;
}

bool SaveInfoFileList(const std::string& path, const std::vector<std::string>& list,
                      std::string* error) {
    std::string bytes;
    for (const std::string& name : list) {
        bytes += name;
        bytes += "\r\n";
    }
    return WriteWholeFile(path, bytes, error);
}

}  // namespace lumora
