#include "archive/core/field_reader.h"

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace lumora::archive {
namespace {

TEST(FieldReaderTest, ReadsLittleEndianFieldsAndMarksEveryReadPastTheEnd) {
    const std::string bytes(
        "\x01\x34\x12\x78\x56\x34\x12"
        "AB",
        9);
    FieldReader r(bytes);
    EXPECT_EQ(r.U8(), 0x01);
    EXPECT_EQ(r.U16(), 0x1234);
    EXPECT_EQ(r.U32(), 0x12345678u);
    EXPECT_FALSE(r.Short());
    EXPECT_EQ(r.Remaining(), 2u);
    // A 4-byte field over the last 2 bytes: zero, short, nothing more to read.
    EXPECT_EQ(r.U32(), 0u);
    EXPECT_TRUE(r.Short());
    EXPECT_EQ(r.Remaining(), 0u);
    EXPECT_EQ(r.Text(1), "");

    FieldReader s(bytes);
    s.Skip(7);
    EXPECT_EQ(s.Text(2), "AB");
    EXPECT_FALSE(s.Short());
    s.Seek(10);
    EXPECT_TRUE(s.Short());
    FieldReader huge(bytes);
    huge.Skip(~std::size_t{0});  // a length from a hostile header
    EXPECT_TRUE(huge.Short());
    EXPECT_EQ(huge.U8(), 0);
}

TEST(FieldReaderTest, CStringNeedsItsZeroByteWithinTheLimit) {
    const std::string bytes("NAME\0REST", 9);
    FieldReader r(bytes);
    EXPECT_EQ(r.CString(4), "NAME");
    EXPECT_EQ(r.Pos(), 5u);
    EXPECT_EQ(r.CString(10), "");  // no zero byte before the end
    EXPECT_TRUE(r.Short());

    FieldReader limited(bytes);
    EXPECT_EQ(limited.CString(3), "");  // zero byte only after 4 bytes
    EXPECT_TRUE(limited.Short());
}

// A size from a hostile header (here 2^63 - 1 bytes) must neither allocate that much
// nor read beyond the file.
TEST(FieldReaderTest, ReadBlockHoldsNoMoreThanTheFileHas) {
    test::TempFolder dir;
    InputFile file;
    ASSERT_TRUE(file.Open(dir.Write("SMALL.BIN", "0123456789")));
    EXPECT_EQ(ReadBlock(file, 4, ~std::uint64_t{0} >> 1), "456789");
    EXPECT_EQ(ReadBlock(file, 10, 5), "");
    EXPECT_EQ(ReadBlock(file, ~std::uint64_t{0}, 5), "");
}

}  // namespace
}  // namespace lumora::archive
