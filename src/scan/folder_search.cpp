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

void Walk(const std::string& folder, bool recursive, PathList& out) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    std::vector<std::string> subfolders;
    while (const dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        const std::string path = folder + name;
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            if (recursive) subfolders.push_back(path + "/");
            continue;
        }
        // A symbolic link to a file counts; one to a folder is not followed.
        if (S_ISLNK(st.st_mode) && (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))) continue;
        if (HasArchiveExtension(name)) out.Add(path);
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
