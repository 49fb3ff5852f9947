// The HA entry parser: a window cut short, and the stored path joined to
// the name.
#include <gtest/gtest.h>

#include <string>

#include "archive/formats/ha/ha_header.h"
#include "support/builders/le_fields.h"

namespace lumora::archive::test {
namespace {

TEST(HaHeaderTest, FixedFields) {
    const std::string bytes =
        LeFields({{0xEE, 1}, {0x2E, 1}, {7, 4}, {9, 4}, {0xCAFE, 4}, {819295200, 4}});
    FieldReader r(bytes);
    HaHeader e;
    ASSERT_EQ(ParseHaEntry(r, e), HeaderResult::Ok);
    EXPECT_EQ(e.version, 2);
    EXPECT_EQ(e.method, kHaDirectoryMethod);
    EXPECT_EQ(e.packedSize, 7u);
    EXPECT_EQ(e.originalSize, 9u);
    EXPECT_EQ(e.crc, 0xCAFEu);
    EXPECT_EQ(e.unixTime, 819295200u);

    const std::string cut = bytes.substr(0, kHaEntryWindow - 1);
    FieldReader shortReader(cut);
    EXPECT_EQ(ParseHaEntry(shortReader, e), HeaderResult::Bad);
}

TEST(HaHeaderTest, StoredNames) {
    struct Case {
        std::string path, name, stored;
    };
    const Case cases[] = {
        {"", "A.TXT", "A.TXT"},
        {"DOC", "A.TXT", "DOC\\A.TXT"},
        {"DOC\\", "A.TXT", "DOC\\A.TXT"},
        {"DOC\xFFSUB\xFF", "A.TXT", "DOC\\SUB\\A.TXT"},
        {"DOC/SUB", "A.TXT", "DOC\\SUB\\A.TXT"},
    };
    for (const Case& c : cases) EXPECT_EQ(HaStoredName(c.path, c.name), c.stored) << c.path;
}

}  // namespace
}  // namespace lumora::archive::test
