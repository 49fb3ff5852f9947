#include "cli/cli_setup.h"

#include <unistd.h>

#include <cstdio>
#include <sstream>

#include "platform/file_io.h"
#include "platform/text.h"

namespace lumora::cli {

std::string AbsolutePath(const std::string& path) {
    if (!path.empty() && path[0] == '/') return path;
    char buf[4096];
    if (!getcwd(buf, sizeof buf)) return path;
    std::string cwd = buf;
    if (cwd.back() != '/') cwd += '/';
    std::string rel = path;
    while (rel.rfind("./", 0) == 0) rel.erase(0, 2);
    return rel == "." ? cwd.substr(0, cwd.size() - 1) : cwd + rel;
}

std::vector<std::string> SplitNames(const std::string& list) {
    std::vector<std::string> names;
    std::stringstream in(list);
    for (std::string n; std::getline(in, n, ',');) {
        if (!n.empty()) names.push_back(Utf8ToAnsi(n));
    }
    return names;
}

bool ArchiveReadable(const std::string& path) {
    if (OpenRegularFile(path, nullptr).ok()) return true;
    std::fprintf(stderr, "lumora-cli: cannot read %s\n", path.c_str());
    return false;
}

}  // namespace lumora::cli
