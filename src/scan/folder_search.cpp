#include "scan/folder_search.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>

namespace lumora {

namespace {

constexpr const char* kArchiveExtensions[] = {".ZIP", ".ARJ", ".LHA", ".LZH", ".ARC",
                                              ".PAK", ".RAR", ".CAB", ".TAR", ".ZOO",
                                              ".GZ",  ".TGZ", ".Z"};

std::string UpperAscii(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

// The file type bits of a folder entry's type; 0 when the folder leaves it open.
mode_t DirentType(unsigned char type) {
    switch (type) {
        case DT_REG:
            return S_IFREG;
        case DT_DIR:
            return S_IFDIR;
        case DT_LNK:
            return S_IFLNK;
        case DT_FIFO:
            return S_IFIFO;
        case DT_CHR:
            return S_IFCHR;
        case DT_BLK:
            return S_IFBLK;
        case DT_SOCK:
            return S_IFSOCK;
        default:
            return 0;
    }
}

void Walk(const std::string& folder, bool recursive, PathList& out) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    std::vector<std::string> subfolders;
    while (const dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        const std::string path = folder + name;
        // The entry's type as the folder gives it; asked of the file system
        // only where the folder does not say.
        mode_t type = DirentType(e->d_type);
        struct stat st {};
        if (type == 0) {
            if (lstat(path.c_str(), &st) != 0) continue;
            type = st.st_mode & S_IFMT;
        }
        if (S_ISDIR(type)) {
            if (recursive) subfolders.push_back(path + "/");
            continue;
        }
        if (!HasArchiveExtension(name)) continue;
        // A symbolic link to a file counts; one to a folder is not followed.
        if (S_ISLNK(type) && (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))) continue;
        out.Add(path);
    }
    closedir(dir);
    for (const auto& sub : subfolders) Walk(sub, recursive, out);
}

}  // namespace

bool HasArchiveExtension(const std::string& name) {
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return false;
    const std::string ext = UpperAscii(name.substr(dot));
    return std::any_of(std::begin(kArchiveExtensions), std::end(kArchiveExtensions),
                       [&](const char* e) { return ext == e; });
}

void CollectArchives(const std::string& folder, bool recursive, PathList& out) {
    std::string f = folder;
    if (!f.empty() && f.back() != '/') f += '/';
    Walk(f, recursive, out);
}

std::vector<std::string> CollectArchives(const std::string& folder, bool recursive) {
    PathList found;
    CollectArchives(folder, recursive, found);
    std::vector<std::string> out;
    out.reserve(found.size());
    for (std::size_t i = 0; i < found.size(); ++i) out.emplace_back(found[i]);
    return out;
}

}  // namespace lumora
