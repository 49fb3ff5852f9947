// Helpers of the archive tests: a private folder per test, whole-file I/O,
// a recorder of every event a reader fires, and the corpus location.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "archive/awk_main.h"
#include "archive/un_base.h"

namespace lumora::archive {

// Types show by name in test messages.
inline void PrintTo(TArcType type, std::ostream* os) {
    *os << ArcTypeName(type);
}

}  // namespace lumora::archive

namespace lumora::archive::test {

namespace fs = std::filesystem;

inline void WriteFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every regular file below `root`, as paths relative to it.
inline std::vector<std::string> FilesBelow(const fs::path& root) {
    std::vector<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        if (e.is_regular_file() || e.is_symlink()) out.push_back(fs::relative(e.path(), root));
    }
    std::sort(out.begin(), out.end());
    return out;
}

class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string tmpl = (fs::temp_directory_path() / "lumora-archive-XXXXXX").string();
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        root_ = tmpl;
    }
    void TearDown() override {
        std::error_code ec;
        for (const auto& e : fs::recursive_directory_iterator(root_, ec)) {
            fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ec);
        }
        fs::remove_all(root_, ec);
    }
    fs::path Path(const std::string& rel) const { return root_ / rel; }
    fs::path root_;
};

// Records the events of a reader as readable lines, in order.
struct EventLog {
    std::vector<std::string> lines;
    std::vector<int> codes;
    std::vector<std::string> boxes;

    void Attach(TUnBase& r) {
        r.OnActivate = [this](TZipCommon&) { lines.push_back("Activate"); };
        r.OnDeactivate = [this](TZipCommon&) { lines.push_back("Deactivate"); };
        r.OnBegin = [this](TZipCommon&, const std::string& fn, int n, bool&) {
            lines.push_back("Begin " + fs::path(fn).filename().string() + " " + std::to_string(n));
        };
        r.OnEnd = [this](TZipCommon&, const std::string& fn, bool pass) {
            lines.push_back("End " + fs::path(fn).filename().string() + (pass ? " pass" : " fail"));
        };
        r.OnError = [this](TZipCommon&, const std::string& fn, const std::string&, int code) {
            lines.push_back("Error " + std::to_string(code) + " " + fn);
            codes.push_back(code);
        };
        r.OnMessageBox = [this](const std::string&, const std::string& text) {
            boxes.push_back(text);
            lines.push_back("Box");
        };
    }
};

inline fs::path CorpusDir() {
    return LUMORA_CORPUS_DIR;
}

#define LUMORA_REQUIRE_CORPUS()                                                              \
    do {                                                                                     \
        if (!std::filesystem::exists(::lumora::archive::test::CorpusDir() / "MANIFEST.tsv")) \
            GTEST_SKIP() << "archive corpus not found at " LUMORA_CORPUS_DIR;                \
    } while (0)

}  // namespace lumora::archive::test
