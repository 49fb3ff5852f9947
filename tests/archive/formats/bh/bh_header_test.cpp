// The BH header parser: where the walk ends and a window cut short.
#include <gtest/gtest.h>

#include <string>

#include "archive/formats/bh/bh_header.h"
#include "support/builders/le_fields.h"

namespace lumora::archive::test {
namespace {

std::string BhFixed(std::uint32_t signature, std::uint16_t size) {
    return LeFields({{signature, 4}, {size, 2}, {0x01'14'10'00, 4}, {2, 1}, {0x1F8E5A00, 4}}) +
           LeFields({{7, 4}, {9, 4}, {0xCAFE, 4}, {0x10, 2}, {0, 4}, {5, 2}, {0, 2}});
}

TEST(BhHeaderTest, Results) {
    struct Case {
        const char* what;
        std::string bytes;
        HeaderResult result;
    };
    const Case cases[] = {
        {"header", BhFixed(0x07054842, 37), HeaderResult::Ok},
        {"other signature", BhFixed(0x07054843, 37), HeaderResult::End},
        {"zero header size", BhFixed(0x07054842, 0), HeaderResult::End},
        {"name length past the bytes", BhFixed(0x07054842, 37).substr(0, 34), HeaderResult::Bad},
    };
    for (const Case& c : cases) {
        FieldReader r(c.bytes);
        BhHeader h;
        EXPECT_EQ(ParseBhHeader(r, h), c.result) << c.what;
    }
    const std::string bytes = BhFixed(0x07054842, 37);
    FieldReader r(bytes);
    BhHeader h;
    ASSERT_EQ(ParseBhHeader(r, h), HeaderResult::Ok);
    EXPECT_EQ(r.Pos(), kBhHeaderSize);
    EXPECT_EQ(h.versionMadeBy, 0x10);
    EXPECT_EQ(h.versionNeeded, 0x14);
    EXPECT_TRUE(h.encrypted);
    EXPECT_EQ(h.method, 2);
    EXPECT_EQ(h.dosDateTime, 0x1F8E5A00u);
    EXPECT_EQ(h.packedSize, 7u);
    EXPECT_EQ(h.originalSize, 9u);
    EXPECT_EQ(h.crc, 0xCAFEu);
    EXPECT_EQ(h.attributes, 0x10);
    EXPECT_EQ(h.nameLength, 5);
}

}  // namespace
}  // namespace lumora::archive::test
