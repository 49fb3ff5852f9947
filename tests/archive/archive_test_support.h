// Helpers of the archive tests: a private folder per test, whole-file I/O,
// a recorder of every event a reader fires, outside programs, the corpus
// location, and a fixture that runs a reader into out/.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "archive/core/awk_main.h"
#include "archive/core/error_codes.h"
#include "archive/core/un_base.h"
#include "archive/formats/make_reader.h"
#include "support/corpus.h"

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

// Every regular file below `root`, as paths relative to it (none when
// `root` does not exist).
inline std::vector<std::string> FilesBelow(const fs::path& root) {
    std::vector<std::string> out;
    if (!fs::exists(root)) return out;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        if (e.is_regular_file() || e.is_symlink()) out.push_back(fs::relative(e.path(), root));
    }
    std::sort(out.begin(), out.end());
    return out;
}

// Runs a shell command quietly; true when it exits with 0.
inline bool Shell(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

inline bool HaveTool(const std::string& name) {
    return Shell("command -v " + name);
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

// Runs a reader into out/ with the events in `log`; an archive error that
// leaves Extract is caught into `thrown`.
class ReaderTest : public TempDirTest {
protected:
    // The reader of the type detected for `archive`.
    void Extract(const fs::path& archive, const std::string& spec = "*.*") {
        TZipCommon probe;
        probe.SetArchiveFile(archive.string());
        const auto reader = MakeReader(probe.ArcType());
        ASSERT_NE(reader, nullptr) << ArcTypeName(probe.ArcType());
        Run(*reader, archive, spec);
    }
    void Run(TUnBase& r, const fs::path& archive, const std::string& spec = "*.*") {
        log = {};
        log.Attach(r);
        if (configure) configure(r);
        r.UseStoredDirs = storedDirs;
        r.MaxOutputBytes = limit;
        r.SetArchiveFile(archive.string());
        r.SetExtractDir(Path("out").string());
        r.SetFileSpec(spec);
        thrown = 0;
        try {
            r.Extract();
        } catch (const E_RAISE& e) {
            thrown = e.Code();
        }
        extracted = r.ExtractedCount();
    }
    fs::path Write(const std::string& name, const std::string& bytes) {
        WriteFile(Path(name), bytes);
        return Path(name);
    }
    std::string Out(const std::string& name) const { return ReadFile(root_ / "out" / name); }
    std::vector<std::string> OutFiles() const { return FilesBelow(root_ / "out"); }
    void Reset() {
        log = {};
        fs::remove_all(Path("out"));
    }

    EventLog log;
    std::function<void(TUnBase&)> configure;  // more handlers, set after `log`'s
    bool storedDirs = false;
    std::uint64_t limit = 0;
    int thrown = 0;
    int extracted = 0;
};

using ::lumora::test::CorpusDir;

}  // namespace lumora::archive::test
