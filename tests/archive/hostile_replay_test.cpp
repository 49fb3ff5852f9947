// Replays every input under tests/data/hostile (files that once crashed,
// hung or leaked in a fuzzer, and hand-made hostile archives) through
// detection, the lister and the reader of the detected type. Each file must
// end in bounded time, write at most the output limit per member, and leave
// nothing outside the extraction folder.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/detect.h"
#include "archive/reader_factory.h"
#include "archive/un_base.h"
#include "archive/zip_tv.h"
#include "support/temp_folder.h"

namespace lumora::archive {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kLimit = 1 << 20;
const fs::path kHostile = fs::path(LUMORA_TEST_DATA_DIR) / "hostile";

std::vector<fs::path> HostileFiles() {
    std::vector<fs::path> files;
    if (!fs::is_directory(kHostile)) return files;
    for (const auto& e : fs::recursive_directory_iterator(kHostile))
        if (e.is_regular_file() && e.path().filename() != "README.md") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

// Every file below `dir` with its size.
std::vector<std::pair<std::string, std::uintmax_t>> Tree(const fs::path& dir) {
    std::vector<std::pair<std::string, std::uintmax_t>> t;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        t.emplace_back(e.path().string(), e.is_regular_file() ? e.file_size() : 0);
    std::sort(t.begin(), t.end());
    return t;
}

void ListAll(const std::string& path) {
    TZipTV tv;
    tv.ShowBlankDirs = true;
    tv.SetArchiveFile(path);
    tv.SetFileSpec("*.*");
    try {
        tv.Activate();
    } catch (const std::exception&) {
    }
}

void ExtractAll(const std::string& path, TArcType type, const std::string& dest) {
    auto reader = MakeReader(type);
    if (!reader) return;
    reader->UseStoredDirs = true;
    reader->MaxOutputBytes = kLimit;
    reader->OnFileExists = [](TZipCommon&, const std::string&, TDateTime, bool& accept) {
        accept = true;
    };
    reader->SetArchiveFile(path);
    reader->SetExtractDir(dest);
    reader->SetFileSpec("*.*");
    try {
        reader->Extract();
    } catch (const std::exception&) {
    }
}

TEST(HostileReplayTest, EveryInputEndsQuicklyWithinItsFolder) {
    const auto files = HostileFiles();
    if (files.empty()) GTEST_SKIP() << "no hostile inputs under " << kHostile;
    // A copy per input, so nothing the readers write can land beside the
    // committed files unnoticed.
    test::TempFolder work;
    for (const auto& file : files) {
        SCOPED_TRACE(file.string());
        const std::string in = work.path() + "in/" + file.filename().string();
        fs::create_directories(work.path() + "in");
        fs::copy_file(file, in, fs::copy_options::overwrite_existing);
        const std::string out = work.MakeDir("out");
        const auto before = Tree(work.path() + "in");

        const auto start = std::chrono::steady_clock::now();
        const Detection d = DetectArcType(in, 32767);
        ListAll(in);
        ExtractAll(in, d.type, out);
        const auto seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start);

        EXPECT_LT(seconds.count(), 20.0);
        EXPECT_EQ(Tree(work.path() + "in"), before);
        for (const auto& [name, size] : Tree(out)) EXPECT_LE(size, kLimit) << name;
        fs::remove_all(out);
        fs::remove(in);
    }
}

}  // namespace
}  // namespace lumora::archive
