// The archive file as read by detection, the lister and the readers: reads
// served from the blocks read ahead give the file's bytes wherever they
// fall, and shared handles read one opening that closes with the last.
#include "archive/core/input_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_folder.h"

namespace lumora::archive {
namespace {

std::size_t OpenDescriptors() {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
    return n;
}

class InputFileTest : public ::testing::Test {
protected:
    InputFileTest() {
        for (std::size_t i = 0; i < 3 * InputFile::kBlockSize + 100; ++i)
            bytes.push_back(static_cast<char>(i * 7 + i / 251));
        path = dir.Write("DATA.BIN", bytes);
    }
    test::TempFolder dir;
    std::string bytes;
    std::string path;
};

// Reads jump between the start and the end, straddle blocks and run past the
// end; each gives exactly the bytes the file has there, through either handle.
TEST_F(InputFileTest, ReadsGiveTheFileBytesWhereverTheyFall) {
    const std::size_t size = bytes.size();
    const struct {
        std::uint64_t at;
        std::size_t n;
    } reads[] = {{0, 30},      {size - 22, 22},     {10, 40},    {size - 200, 300}, {4090, 20},
                 {0, 4096},    {size - 5, 2000},    {100, 9000}, {size - 1, 1},     {size, 10},
                 {2048, 2048}, {size - 4096, 4096}, {5000, 0},   {12, 3000}};
    InputFile file;
    ASSERT_TRUE(file.Open(path));
    const InputFile shared = file.Share();
    for (std::size_t i = 0; i < std::size(reads); ++i) {
        const auto& r = reads[i];
        const std::string want = r.at < size ? bytes.substr(r.at, r.n) : std::string();
        std::string got(r.n, '\0');
        got.resize((i % 2 ? shared : file).ReadAt(r.at, got.data(), r.n));
        EXPECT_EQ(got, want) << "read " << i;
        if (r.n <= InputFile::kBlockSize) {
            EXPECT_EQ(shared.Peek(r.at, r.n), want) << "peek " << i;
        }
    }
}

TEST_F(InputFileTest, TheLastHandleClosesTheFile) {
    const std::size_t before = OpenDescriptors();
    InputFile file;
    ASSERT_TRUE(file.Open(path));
    InputFile shared = file.Share();
    EXPECT_TRUE(file.Close());
    EXPECT_FALSE(file.IsOpen());
    char c = 0;
    EXPECT_EQ(shared.ReadAt(5, &c, 1), 1u);
    EXPECT_EQ(c, bytes[5]);
    EXPECT_EQ(shared.Size(), bytes.size());
    EXPECT_EQ(OpenDescriptors(), before + 1);
    EXPECT_TRUE(shared.Close());
    EXPECT_EQ(OpenDescriptors(), before);
}

}  // namespace
}  // namespace lumora::archive
