#include "platform/file_info.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <unordered_set>
#include <utility>

#include "platform/file_io.h"
#include "platform/text.h"

namespace lumora {

namespace {

bool Is83Char(unsigned char c) {
    if (c >= 128) return true;
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
    return std::strchr("!#$%&'()-@^_`{}~", c) != nullptr && c != 0;
}

bool All83Chars(const std::string& s) {
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return Is83Char(static_cast<unsigned char>(c)); });
}

struct AliasParts {
    std::string basis;
    std::string ext;
};

// Basis and extension of the alias before numbering: blanks and all dots but
// the last dropped, "+,;=[]" turned into "_", a-z upper-cased (accented
// letters stay as they are, as in the rest of the list).
AliasParts AliasBasis(const std::string& name) {
    const auto lastDot = name.rfind('.');
    const bool hasExt = lastDot != std::string::npos && lastDot > 0;
    const std::string stem = hasExt ? name.substr(0, lastDot) : name;
    const std::string ext = hasExt ? name.substr(lastDot + 1) : std::string();
    auto clean = [](const std::string& s, std::size_t limit) {
        std::string out;
        for (char ch : s) {
            if (out.size() == limit) break;
            if (ch == ' ' || ch == '.') continue;
            if (std::strchr("+,;=[]", ch) && ch != 0) ch = '_';
            out += ch;
        }
        return UpperAZ(out);
    };
    AliasParts parts{clean(stem, 6), clean(ext, 3)};
    if (parts.basis.empty()) parts.basis = "_";
    return parts;
}

std::string MakeAlias(const AliasParts& p, int n) {
    const std::string tail = "~" + std::to_string(n);
    const std::size_t keep = std::min(p.basis.size(), 8 - tail.size());
    std::string alias = p.basis.substr(0, keep) + tail;
    if (!p.ext.empty()) alias += "." + p.ext;
    return alias;
}

}  // namespace

std::optional<ArchiveFileStat> StatArchiveFile(const std::string& path) {
    struct stat st {};
    if (!ProbeRegularFile(path, Links::Follow, st)) return std::nullopt;
    return ArchiveFileStat{static_cast<std::uint64_t>(st.st_size),
                           UnixToLocalDateTime(static_cast<std::int64_t>(st.st_mtime))};
}

bool IsValid83Name(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    const auto dot = name.find('.');
    const std::string stem = name.substr(0, dot);
    const std::string ext = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    if (stem.empty() || stem.size() > 8 || ext.size() > 3) return false;
    if (dot != std::string::npos && ext.empty()) return false;
    return All83Chars(stem) && All83Chars(ext);
}

std::string ShortNameAlias(const std::string& name, const std::vector<std::string>& siblings) {
    if (IsValid83Name(name)) return UpperAZ(name);
    const AliasParts parts = AliasBasis(name);
    // Long names with the same basis take their numbers in sorted order.
    std::vector<std::string> sameBasis;
    std::vector<std::string> taken;
    for (const auto& s : siblings) {
        if (IsValid83Name(s)) {
            taken.push_back(UpperAZ(s));
            continue;
        }
        const AliasParts sp = AliasBasis(s);
        if (sp.basis == parts.basis && sp.ext == parts.ext) sameBasis.push_back(s);
    }
    if (std::find(sameBasis.begin(), sameBasis.end(), name) == sameBasis.end())
        sameBasis.push_back(name);
    std::sort(sameBasis.begin(), sameBasis.end());
    int n = 0;
    std::string alias;
    for (const auto& s : sameBasis) {
        do {
            alias = MakeAlias(parts, ++n);
        } while (std::find(taken.begin(), taken.end(), alias) != taken.end());
        if (s == name) break;
    }
    return alias;
}

std::vector<std::string> ListFolderNames(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.empty() ? "." : folder.c_str())) {
        while (const dirent* e = readdir(dir)) {
            const std::string n = e->d_name;
            if (n != "." && n != "..") names.push_back(n);
        }
        closedir(dir);
    }
    return names;
}

std::string ShortNameForPath(const std::string& folder, const std::string& fileName) {
    std::vector<std::string> siblings;
    for (const auto& n : ListFolderNames(folder)) siblings.push_back(Utf8ToAnsi(n));
    return ShortNameAlias(Utf8ToAnsi(fileName), siblings);
}

std::string ShortNameCache::AliasFor(const std::string& folder, const std::string& fileName) {
    const std::string name = Utf8ToAnsi(fileName);
    if (IsValid83Name(name)) return UpperAZ(name);
    const Folder& f = Listed(folder);
    const auto it = f.aliases.find(name);
    // A name the listing did not hold (the file went meanwhile) is numbered
    // among the siblings as they were.
    return it != f.aliases.end() ? it->second : ShortNameAlias(name, f.siblings);
}

// Numbers every long name of the folder as ShortNameAlias would, in one
// pass: per basis and extension in sorted order, past the real short names.
const ShortNameCache::Folder& ShortNameCache::Listed(const std::string& folder) {
    const auto found = folders_.find(folder);
    if (found != folders_.end()) return found->second;
    Folder& f = folders_[folder];
    for (const auto& n : lister_(folder)) f.siblings.push_back(Utf8ToAnsi(n));
    std::unordered_set<std::string> taken;
    std::map<std::pair<std::string, std::string>, std::vector<std::string>> groups;
    for (const auto& s : f.siblings) {
        if (IsValid83Name(s)) {
            taken.insert(UpperAZ(s));
        } else {
            AliasParts p = AliasBasis(s);
            groups[{std::move(p.basis), std::move(p.ext)}].push_back(s);
        }
    }
    for (auto& [key, names] : groups) {
        std::sort(names.begin(), names.end());
        const AliasParts parts{key.first, key.second};
        int n = 0;
        for (const auto& s : names) {
            std::string alias;
            do {
                alias = MakeAlias(parts, ++n);
            } while (taken.count(alias) != 0);
            f.aliases.emplace(s, std::move(alias));  // a repeated name keeps its first alias
        }
    }
    return f;
}

std::optional<std::string> ReadFileBytes(const std::string& path, std::size_t limit, Links links) {
    std::string bytes;
    if (!ReadRegularFile(path, limit, bytes, nullptr, links)) return std::nullopt;
    return bytes;
}

}  // namespace lumora
