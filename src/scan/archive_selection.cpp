#include "scan/archive_selection.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <stdexcept>

#include "archive/core/match_spec.h"
#include "platform/app_dirs.h"
#include "platform/text.h"

namespace lumora {

namespace {

constexpr std::size_t kShownFolderMax = 40;
constexpr std::size_t kShownHead = 3;
constexpr std::size_t kShownTail = 34;

constexpr const char* kSubfolderExtensions[] = {".ARJ", ".ZIP", ".ARC", ".LHA",
                                                ".ZOO", ".TAR", ".RAR", ".CAB"};

// Byte offsets where the UTF-8 code points of `text` start.
std::vector<std::size_t> CodePointStarts(const std::string& text) {
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < text.size(); ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) starts.push_back(i);
    return starts;
}

// The names in `folder` (without "." and ".."), in byte order so the search
// runs the same way every time.
std::vector<std::string> FolderNames(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return names;
    while (const dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

enum class EntryKind { File, Folder, Skipped };

// A folder only when it is one itself; a symbolic link to a folder is
// neither searched nor taken, a link to anything else counts as a file.
EntryKind KindOf(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return EntryKind::Skipped;
    if (S_ISDIR(st.st_mode)) return EntryKind::Folder;
    if (S_ISLNK(st.st_mode) && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return EntryKind::Skipped;
    return EntryKind::File;
}

}  // namespace

std::pair<std::string, std::string> SplitFolderAndName(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return {std::string(), path};
    return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

ArchiveChoice TakeOverDialogChoice(const std::string& shownFolder,
                                   const std::vector<std::string>& chosenNames) {
    if (shownFolder.empty()) throw std::invalid_argument("open dialog reported no folder");
    ArchiveChoice choice;
    choice.sourceFolder = WithTrailingSlash(shownFolder);
    for (const auto& chosen : chosenNames) {
        const std::string name = SplitFolderAndName(chosen).second;
        if (name.empty()) throw std::invalid_argument("chosen name without a file name: " + chosen);
        choice.archives.push_back(choice.sourceFolder + name);
    }
    return choice;
}

ArchiveChoice DroppedChoice(std::vector<std::string> items, std::string lastSourceFolder) {
    return {std::move(items), std::move(lastSourceFolder)};
}

std::string SearchFolderText(const std::string& folder) {
    const std::vector<std::size_t> starts = CodePointStarts(folder);
    const std::size_t count = starts.size();
    if (count <= kShownFolderMax) return folder;
    const std::size_t tailBegin = starts[count - 1 - kShownTail];
    const std::size_t last = starts[count - 1];
    return folder.substr(0, starts[kShownHead]) + "..." +
           folder.substr(tailBegin, last - tailBegin);
}

bool IsSubfolderArchiveName(const std::string& name) {
    const auto dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    const std::string ext = UpperAZ(name.substr(dot));
    return std::any_of(std::begin(kSubfolderExtensions), std::end(kSubfolderExtensions),
                       [&](const char* e) { return ext == e; });
}

void SortFoundArchives(std::vector<std::string>& paths) {
    std::stable_sort(paths.begin(), paths.end(), [](const std::string& a, const std::string& b) {
        return AnsiCompareOrder(Utf8ToAnsi(a), Utf8ToAnsi(b)) < 0;
    });
}

SubfolderSearch::SubfolderSearch(std::string sourceFolder, FolderShown onFolder)
    : sourceFolder_(WithTrailingSlash(std::move(sourceFolder))), onFolder_(std::move(onFolder)) {}

std::vector<std::string> SubfolderSearch::Run() {
    cancelled_ = false;
    found_.clear();
    visited_.clear();
    SearchSubfolders(sourceFolder_ + "*.*");
    std::vector<std::string> found = std::move(found_);
    found_.clear();
    if (cancelled_) return {};
    SortFoundArchives(found);
    return found;
}

void SubfolderSearch::SearchSubfolders(const std::string& pathWithMask) {
    if (cancelled_) return;
    const auto [folder, mask] = SplitFolderAndName(pathWithMask);
    // A folder reached a second time (a bind mount, say) is not searched again.
    struct stat st {};
    if (stat(folder.c_str(), &st) != 0 || !visited_.insert({st.st_dev, st.st_ino}).second) return;
    if (onFolder_) onFolder_(SearchFolderText(folder));

    std::vector<std::string> subfolders;
    for (const std::string& name : FolderNames(folder)) {
        if (name.front() == '.') continue;
        const EntryKind kind = KindOf(folder + name);
        if (kind == EntryKind::Folder) {
            subfolders.push_back(name);
            continue;
        }
        // The chosen folder's own files come from the dialog.
        if (kind != EntryKind::File || folder == sourceFolder_) continue;
        if (archive::MatchSpec(name, mask, false) && IsSubfolderArchiveName(name))
            found_.push_back(folder + name);
    }
    for (const std::string& name : subfolders) SearchSubfolders(folder + name + "/" + mask);
}

void ApplyPickerClose(std::vector<std::string>& found, PickerClose how,
                      const std::vector<bool>& ticked) {
    switch (how) {
        case PickerClose::Ok:
            for (std::size_t row = std::min(found.size(), ticked.size()); row-- > 0;)
                if (!ticked[row]) found.erase(found.begin() + static_cast<std::ptrdiff_t>(row));
            break;
        case PickerClose::Cancel:
            found.clear();
            break;
        case PickerClose::CloseBox:
            break;
    }
}

}  // namespace lumora
