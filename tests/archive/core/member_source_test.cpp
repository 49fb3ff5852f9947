// The member byte source: at most the member's count and 32 KB a call, the
// data ending at a short read of the file, the progress test on every read.
#include "archive/core/member_source.h"

#include <gtest/gtest.h>

#include <vector>

#include "archive/archive_test_support.h"

namespace lumora::archive {
namespace {

class MemberSourceTest : public test::TempDirTest {
protected:
    void SetUp() override {
        test::TempDirTest::SetUp();
        for (int i = 0; i < 100000; ++i) data_ += static_cast<char>(i * 7 + i / 251);
        test::WriteFile(Path("A.BIN"), data_);
        ASSERT_TRUE(in_.Open(Path("A.BIN").string()));
        owner_.OnProgress = [this](TZipCommon&, const std::string&, std::uint8_t percent) {
            percents_.push_back(percent);
        };
    }
    // Everything the source gives, in calls of `chunk` bytes; the sizes of
    // the calls go to `calls`.
    std::string Drain(MemberByteSource& src, std::size_t chunk, std::vector<std::size_t>& calls) {
        std::string out;
        std::vector<std::uint8_t> buf(chunk);
        while (const std::size_t got = src.Read(buf.data(), buf.size())) {
            calls.push_back(got);
            out.append(reinterpret_cast<const char*>(buf.data()), got);
        }
        return out;
    }

    std::string data_;
    InputFile in_;
    TZipCommon owner_;
    ProgressMeter progress_{owner_, TProgressNotify::TwentyFive};
    std::vector<int> percents_;
};

TEST_F(MemberSourceTest, GivesTheMembersBytesAndNoMore) {
    struct Case {
        const char* name;
        std::uint64_t offset, count;
        std::size_t chunk;
        std::vector<std::size_t> calls;
    };
    const Case cases[] = {
        {"small calls", 10, 25, 10, {10, 10, 5}},
        {"32 KB a call", 0, 70000, 100000, {32768, 32768, 4464}},
        {"the file ends first", 99990, 1000, 100, {10}},
        {"a count far past the file", 99000, ~std::uint64_t{0}, 4096, {1000}},
        {"nothing", 50, 0, 10, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemberByteSource src(in_, c.offset, c.count, progress_, false);
        std::vector<std::size_t> calls;
        const std::string got = Drain(src, c.chunk, calls);
        EXPECT_EQ(calls, c.calls);
        EXPECT_EQ(got, data_.substr(c.offset, got.size()));
        EXPECT_EQ(src.Consumed(), got.size());
        EXPECT_EQ(src.Total(), c.count);
    }
}

// The meter's steps, or every change of the percentage when asked.
TEST_F(MemberSourceTest, RunsTheProgressTestOnEveryRead) {
    std::vector<std::size_t> calls;
    MemberByteSource stepped(in_, 0, 1000, progress_, false);
    Drain(stepped, 100, calls);
    EXPECT_EQ(percents_, (std::vector<int>{50, 100}));
    percents_.clear();
    ProgressMeter fresh(owner_, TProgressNotify::TwentyFive);
    MemberByteSource every(in_, 0, 1000, fresh, true);
    Drain(every, 300, calls);
    EXPECT_EQ(percents_, (std::vector<int>{30, 60, 90, 100}));
}

}  // namespace
}  // namespace lumora::archive
