#include "scan/loose_files.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <utility>

#include "platform/file_io.h"
#include "platform/text.h"
#include "settings/description_filter.h"

namespace lumora {

namespace {

struct DirEntry {
    std::string name;      // as on disk (UTF-8)
    std::string ansiName;  // Windows-1252
    bool folder = false;
};

// The entries of `folder` in name order, without "." names. A symbolic link
// counts as what it points to, except that a link to a folder is no folder
// to descend into.
std::vector<DirEntry> ListFolder(const std::string& folder) {
    std::vector<DirEntry> entries;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return entries;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name.empty() || name[0] == '.') continue;
        struct stat st {};
        if (::lstat((folder + name).c_str(), &st) != 0) continue;
        DirEntry entry{name, Utf8ToAnsi(name), S_ISDIR(st.st_mode)};
        if (S_ISLNK(st.st_mode)) {
            struct stat target {};
            // A link to a folder is skipped as a file and not followed.
            if (::stat((folder + name).c_str(), &target) == 0 && S_ISDIR(target.st_mode)) continue;
        }
        entries.push_back(std::move(entry));
    }
    ::closedir(dir);
    std::sort(entries.begin(), entries.end(), [](const DirEntry& a, const DirEntry& b) {
        return AnsiCompareOrder(a.ansiName, b.ansiName) < 0;
    });
    return entries;
}

bool IsSearched(const std::string& upperName, const std::vector<std::string>& searchNames) {
    return std::any_of(searchNames.begin(), searchNames.end(),
                       [&](const std::string& n) { return AnsiSameText(n, upperName); });
}

using FolderId = std::pair<dev_t, ino_t>;

void Search(const std::string& folder, bool includeSubfolders,
            const std::vector<std::string>& searchNames, std::set<FolderId>& visited,
            std::vector<LooseFile>& out) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !visited.insert({st.st_dev, st.st_ino}).second) return;
    const std::vector<DirEntry> entries = ListFolder(folder);
    const std::string ansiFolder = Utf8ToAnsi(folder);
    for (const DirEntry& e : entries) {
        if (e.folder) continue;
        const std::string upper = UpperAZ(e.ansiName);
        if (IsSearched(upper, searchNames)) out.push_back({folder + e.name, ansiFolder + upper});
    }
    if (!includeSubfolders) return;
    for (const DirEntry& e : entries) {
        if (e.folder) Search(folder + e.name + "/", true, searchNames, visited, out);
    }
}

}  // namespace

std::vector<LooseFile> FindLooseFiles(const std::string& folder, bool includeSubfolders,
                                      const std::vector<std::string>& searchNames) {
    std::vector<LooseFile> out;
    std::set<FolderId> visited;
    std::string f = folder;
    if (!f.empty() && f.back() != '/') f += '/';
    Search(f, includeSubfolders, searchNames, visited, out);
    return out;
}

bool ReadLooseFile(const std::string& path, std::size_t limit, std::string& bytes,
                   std::string& reason) {
    // A FIFO or device in the file's place fails instead of stalling the run.
    int err = 0;
    if (ReadRegularFile(path, limit, bytes, &err)) return true;
    reason = Utf8ToAnsi(std::strerror(err));
    return false;
}

std::vector<std::string> BuildLooseList(const std::vector<LooseFile>& files,
                                        const Configuration& config, ScanHost& host, JobLog& log,
                                        const ListText& text) {
    std::vector<std::string> list;
    host.SetGaugeMax(static_cast<int>(files.size()) - 1);
    for (std::size_t i = 0; i < files.size(); ++i) {
        const LooseFile& file = files[i];
        host.SetGaugePosition(static_cast<int>(i));
        std::string bytes, reason;
        const bool read = ReadLooseFile(file.path, kLooseFileReadLimit, bytes, reason);
        if (log.shown()) {
            log.CheckLimit();
            log.AddLogLine("Lese " + file.shownPath + "... " + (read ? "OK" : reason),
                           read ? LogKind::Success : LogKind::Failure);
            host.SelectLastLogLine();
        }
        if (!read) continue;
        std::vector<std::string> lines = SplitTextLines(bytes);
        FilterDescription(lines, config);
        for (auto& line : text.Description(lines)) list.push_back(std::move(line));
        list.push_back(text.Program("Quelle : " + file.shownPath));
        list.push_back(text.Separator(SeparatorText(config)));
    }
    return list;
}

}  // namespace lumora
