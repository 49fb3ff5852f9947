// Golden Scan I lists over the bundled samples/, one per display mode, with
// the real description extraction. The samples are copied and given a fixed
// time; German formats; no summary block (it names the day of the run).
// LUMORA_UPDATE_GOLDEN=1 rewrites the files under tests/data when a reader
// lands and the lists rightly change.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "scan/description_extraction.h"
#include "scan/recording_host.h"

namespace lumora {
namespace {

namespace fs = std::filesystem;
using test::ReadAll;

// 1995-12-24 12:00 local time.
std::time_t SampleTime() {
    std::tm t{};
    t.tm_year = 95;
    t.tm_mon = 11;
    t.tm_mday = 24;
    t.tm_hour = 12;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

class SamplesListTest : public test::ScanJobFixture, public ::testing::WithParamInterface<int> {};

// Any change in what is read from the samples or how it is laid out.
TEST_P(SamplesListTest, MatchesTheGoldenList) {
    const int design = GetParam();
    std::vector<std::string> archives;
    for (const auto& e : fs::directory_iterator(LUMORA_SAMPLES_DIR)) {
        if (e.path().filename() == "README.md") continue;
        const std::string copy = dir / e.path().filename();
        fs::copy_file(e.path(), copy);
        const struct timespec times[2] = {{SampleTime(), 0}, {SampleTime(), 0}};
        ::utimensat(AT_FDCWD, copy.c_str(), times, 0);
        archives.push_back(copy);
    }
    config.settings = AppSettings::Defaults();
    config.settings.Design = design;
    config.InfoFileList = {"FILE_ID.DIZ", "DESC.SDI"};
    host.saveAnswer = temp / "list.txt";
    DescriptionExtraction real(HostHooks(host));
    RunJob(archives, &real);
    const std::string list = ReadAll(temp / "list.txt");
    ASSERT_FALSE(list.empty());

    const std::string golden =
        std::string(LUMORA_TEST_DATA_DIR) + "/samples_list_" + std::to_string(design) + ".txt";
    if (std::getenv("LUMORA_UPDATE_GOLDEN")) {
        std::ofstream(golden, std::ios::binary) << list;
        GTEST_SKIP() << "rewrote " << golden;
    }
    EXPECT_EQ(list, ReadAll(golden)) << "design " << design << "; compare with " << golden;
}

INSTANTIATE_TEST_SUITE_P(DisplayModes, SamplesListTest, ::testing::Values(1, 2, 3, 4));

}  // namespace
}  // namespace lumora
