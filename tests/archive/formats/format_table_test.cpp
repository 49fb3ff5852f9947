// The format table's rows must agree with each other: a row that promises a
// reader or a description must also give the parts that deliver it.
#include "archive/formats/format_table.h"

#include <gtest/gtest.h>

#include "archive/formats/make_reader.h"
#include "archive/lister/lister_run.h"

namespace lumora::archive {
namespace {

TEST(FormatTableTest, EveryRowCanDeliverWhatItPromises) {
    for (int t = 0; t < kArcTypeCount; ++t) {
        const auto type = static_cast<TArcType>(t);
        const FormatRow& row = FormatOf(type);
        SCOPED_TRACE(std::string(row.name));
        EXPECT_EQ(row.type, type);
        EXPECT_EQ(MakeReader(type) != nullptr, row.reader != ReaderKind::None);
        // Scan I lists before it extracts, so a description needs a walker too.
        if (row.description != DescriptionSource::None) {
            EXPECT_NE(row.makeWalker, nullptr);
        }
        if (row.description == DescriptionSource::Reader) {
            EXPECT_NE(row.reader, ReaderKind::None);
        }
        if (row.description == DescriptionSource::RarLibrary) {
            EXPECT_EQ(row.family, MethodFamily::RAR);
        }
        if (row.makeWalker) {
            EXPECT_NE(row.makeWalker(), nullptr);
        }
        // Only self-extractors name the extension of the archive inside them.
        if (!row.sfxExtension.empty()) {
            EXPECT_TRUE(row.name.ends_with("Exe"));
        }
    }
    EXPECT_EQ(FormatOf(static_cast<TArcType>(200)).name, "?");
    EXPECT_EQ(MakeReader(static_cast<TArcType>(200)), nullptr);
}

}  // namespace
}  // namespace lumora::archive
