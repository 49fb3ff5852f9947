// A fresh folder per test, removed afterwards, with small file helpers.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/app_dirs.h"

namespace lumora::test {

class TempFolder {
public:
    TempFolder() {
        std::string pattern = "/tmp/lumora-test-XXXXXX";
        if (mkdtemp(pattern.data())) path_ = pattern + "/";
    }
    ~TempFolder() { RemoveTree(path_); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + name; }

    std::string Write(const std::string& name, const std::string& bytes) const {
        const std::string p = path_ + name;
        const auto slash = p.rfind('/');
        MakeDirs(p.substr(0, slash));
        std::ofstream(p, std::ios::binary) << bytes;
        return p;
    }
    std::string MakeDir(const std::string& name) const {
        MakeDirs(path_ + name);
        return path_ + name + "/";
    }

private:
    static void MakeDirs(const std::string& p) {
        std::string part;
        for (std::size_t i = 0; i < p.size(); ++i) {
            part += p[i];
            if (p[i] == '/' || i + 1 == p.size()) ::mkdir(part.c_str(), 0755);
        }
    }
    std::string path_;
};

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace lumora::test
