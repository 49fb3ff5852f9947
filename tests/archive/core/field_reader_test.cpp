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

// Small reads come from a block read ahead: in any order, across the
// block's end, at the file's end and after large reads, they give exactly the
// file's bytes, and the file can be opened again for another.
TEST(FieldReaderTest, SmallReadsGiveTheFileBytesWhereverTheyFall) {
    test::TempFolder dir;
    std::string bytes(3 * InputFile::kBlockSize + 100, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
    const std::string other(50, 'o');
    const struct {
        std::uint64_t offset;
        std::size_t n;
    } reads[] = {{0, 10},     {4090, 12}, {5, 30},      {4095, 1}, {bytes.size() - 5, 10},
                 {100, 3000}, {104, 20},  {8000, 2048}, {8100, 4}, {bytes.size(), 1},
                 {4096, 0},   {12000, 2}, {6, 8}};
    InputFile f;
    ASSERT_TRUE(f.Open(dir.Write("DATA.BIN", bytes)));
    for (const auto& r : reads) {
        SCOPED_TRACE(std::to_string(r.offset) + "+" + std::to_string(r.n));
        std::string got(r.n, '?');
        got.resize(f.ReadAt(r.offset, got.data(), r.n));
        EXPECT_EQ(got, r.offset < bytes.size() ? bytes.substr(r.offset, r.n) : "");
    }
    ASSERT_TRUE(f.Open(dir.Write("OTHER.BIN", other)));
    EXPECT_EQ(ReadBlock(f, 10, 5), "ooooo");
}

}  // namespace
}  // namespace lumora::archive
