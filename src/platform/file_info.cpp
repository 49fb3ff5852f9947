#include "platform/file_info.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/text.h"

namespace lumora {

namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    bool ok() const { return fd_ >= 0; }

private:
    int fd_;
};

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
// the last dropped, "+,;=[]" turned into "_", upper case.
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
            out += static_cast<char>(AnsiUpper(static_cast<unsigned char>(ch)));
        }
        return out;
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
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.ok()) return std::nullopt;
    struct stat st {};
    if (fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
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
    if (IsValid83Name(name)) return AnsiUpperCase(name);
    const AliasParts parts = AliasBasis(name);
    // Long names with the same basis take their numbers in sorted order.
    std::vector<std::string> sameBasis;
    std::vector<std::string> taken;
    for (const auto& s : siblings) {
        if (IsValid83Name(s)) {
            taken.push_back(AnsiUpperCase(s));
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

std::string ShortNameForPath(const std::string& folder, const std::string& fileName) {
    std::vector<std::string> siblings;
    if (DIR* dir = opendir(folder.empty() ? "." : folder.c_str())) {
        while (const dirent* e = readdir(dir)) {
            const std::string n = e->d_name;
            if (n != "." && n != "..") siblings.push_back(Utf8ToAnsi(n));
        }
        closedir(dir);
    }
    return ShortNameAlias(Utf8ToAnsi(fileName), siblings);
}

std::optional<std::string> ReadFileBytes(const std::string& path, std::size_t limit) {
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (!fd.ok()) return std::nullopt;
    struct stat st {};
    if (fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    std::string data;
    char buf[65536];
    while (data.size() < limit) {
        const std::size_t want = std::min(sizeof buf, limit - data.size());
        const ssize_t n = ::read(fd.get(), buf, want);
        if (n < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (n == 0) break;
        data.append(buf, static_cast<std::size_t>(n));
    }
    return data;
}

bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string* error) {
    const auto slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string temp = folder + "." + base + ".XXXXXX";
    auto fail = [&](int err) {
        if (error) *error = std::strerror(err);
        return false;
    };
    const int raw = mkstemp(temp.data());
    if (raw < 0) return fail(errno);
    FileDescriptor fd(raw);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int err = n < 0 ? errno : ENOSPC;
            ::unlink(temp.c_str());
            return fail(err);
        }
        done += static_cast<std::size_t>(n);
    }
    struct stat old {};
    const mode_t mode = ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    if (fchmod(fd.get(), mode) != 0 || fsync(fd.get()) != 0 ||
        ::rename(temp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        ::unlink(temp.c_str());
        return fail(err);
    }
    return true;
}

}  // namespace lumora
