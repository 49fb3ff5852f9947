// Copying stored data into a member's output: the CRC kind chosen, the byte
// limit, and data that ends early.
#include "archive/core/copy_stored.h"

#include <gtest/gtest.h>

#include "archive/archive_test_support.h"
#include "archive/core/error_codes.h"
#include "support/builders/zip_builder.h"

namespace lumora::archive {
namespace {

class CopyStoredTest : public test::TempDirTest {
protected:
    void SetUp() override {
        test::TempDirTest::SetUp();
        for (int i = 0; i < 70010; ++i) data_ += static_cast<char>(i * 13 + i / 256);
        test::WriteFile(Path("A.BIN"), data_);
        ASSERT_TRUE(in_.Open(Path("A.BIN").string()));
    }
    std::string data_;
    InputFile in_;
    TZipCommon owner_;
    ProgressMeter progress_{owner_, TProgressNotify::Ten};
};

// CRC-32 over a copy from an offset, CRC-16 over another.
TEST_F(CopyStoredTest, FeedsTheChosenCrc) {
    MemberOutput out32(nullptr, 0, CrcKind::Crc32);
    CopyStored(in_, 10, 70000, out32, progress_);
    out32.Flush();
    EXPECT_EQ(out32.Total(), 70000u);
    EXPECT_EQ(out32.Crc(), test::CrcOf(data_.substr(10)));

    MemberOutput out16(nullptr, 0, CrcKind::Crc16);
    CopyStored(in_, 0, 9, out16, progress_);
    out16.Flush();
    Crc16 expected(0);
    expected.Update(reinterpret_cast<const std::uint8_t*>(data_.data()), 9);
    EXPECT_EQ(out16.Crc16Value(), expected.Value());
}

// Data ending early raises ReadError after the bytes there were; the byte
// limit stops the copy at exactly that many bytes.
TEST_F(CopyStoredTest, ShortDataAndTheByteLimit) {
    MemberOutput shortOut(nullptr, 0);
    try {
        CopyStored(in_, 70000, 100, shortOut, progress_);
        FAIL() << "no exception";
    } catch (const E_RAISE& e) {
        EXPECT_EQ(e.Code(), ecode::ReadError);
    }
    EXPECT_EQ(shortOut.Total(), 10u);

    MemberOutput limited(nullptr, 40000);
    EXPECT_THROW(CopyStored(in_, 0, 70000, limited, progress_), OutputLimitReached);
    EXPECT_EQ(limited.Total(), 40000u);
    EXPECT_TRUE(limited.LimitReached());
}

}  // namespace
}  // namespace lumora::archive
