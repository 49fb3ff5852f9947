// The LHA header parser that the lister and the reader share: the record it
// fills for each header level, where the lister's reading and the reader's
// differ on purpose, and damaged headers of levels 1 to 3 in a listing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>

#include "archive/core/dos_date.h"
#include "archive/formats/lha/lha_header.h"
#include "archive/header_test_support.h"

namespace lumora::archive::test {
namespace {

using Names = std::vector<std::string>;
using Codes = std::vector<int>;
constexpr int kHeader = ecode::BadFileHeader;

std::string Patched(std::string bytes, std::size_t at, const std::string& with) {
    return bytes.replace(at, with.size(), with);
}

class LhaHeaderTest : public HeaderTest {
protected:
    HeaderResult Parse(const std::string& bytes, LhaHeaderUse use, LhaHeader& h) {
        return ReadLhaHeader(OpenImage("P.LZH", bytes), 0, use, h);
    }
};

// Each level fills the same record: the name with its directory part (from
// the name field or the extended headers), the date, the attributes, and
// the data after the header and, at level 1, after the extended headers.
TEST_F(LhaHeaderTest, FillsOneRecordForEveryLevel) {
    const std::vector<std::string> ext = {
        "\x02SUB\xFF"
        "DIR",
        std::string("\x40\x21\x00", 3), "\x54" + Le(830000000, 4)};
    struct Case {
        LhaEntry entry;
        std::string name, storedName;
        std::uint16_t attribute;
        std::optional<std::uint32_t> unixTime;
        std::uint64_t dataOffset, packed;
    };
    // Level-1 extended headers count in the packed size (22 bytes here).
    const Case cases[] = {
        {{"DATA\\A.TXT", "abc"}, "DATA\\A.TXT", "DATA\\A.TXT", 0x20, std::nullopt, 34, 3},
        {{"A.TXT", "abc", "-lh5-", 1, ext},
         "SUB\\DIR\\A.TXT",
         "A.TXT",
         0x21,
         830000000,
         32 + 22,
         25},
        {{"A.TXT", "abc", "-lhd-", 2, ext}, "SUB\\DIR\\A.TXT", "", 0x21, 830000000, 26 + 30, 3},
        {{"A.TXT", "abc", "-lh0-", 3, ext}, "SUB\\DIR\\A.TXT", "", 0x21, 830000000, 32 + 38, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entry.level);
        LhaHeader h;
        ASSERT_EQ(Parse(LhaArchive({c.entry}), LhaHeaderUse::List, h), HeaderResult::Ok);
        EXPECT_EQ(h.level, c.entry.level);
        EXPECT_EQ(h.method, c.entry.method);
        EXPECT_EQ(h.name, c.name);
        EXPECT_EQ(h.storedName, c.storedName);
        EXPECT_EQ(h.attribute, c.attribute);
        EXPECT_EQ(h.unixTime, c.unixTime);
        EXPECT_EQ(h.crc, Crc16Of("abc"));
        EXPECT_EQ(h.packedSize, c.packed);
        EXPECT_EQ(h.originalSize, 3u);
        EXPECT_EQ(h.dataOffset, c.dataOffset);
        EXPECT_EQ(h.dataSize, 3u);
        EXPECT_EQ(h.next, c.dataOffset + 3);
        EXPECT_EQ(Parse(LhaArchive({c.entry}), LhaHeaderUse::Extract, h), HeaderResult::Ok);
    }
}

// The lister dates levels 0 and 1 by their DOS stamp, even with a Unix
// time in an extended header; levels 2 and 3 have only Unix times, that of
// an extended header first.
TEST_F(LhaHeaderTest, ListerDatesEachLevelByItsOwnStamp) {
    const std::string unixExt = "\x54" + Le(830000000, 4);
    const TDateTime dos = DosDateToDateTime(0x1F9A6000);  // the builder's stamps
    const TDateTime base = UnixToDateTime(820000000);
    const TDateTime extended = UnixToDateTime(830000000);
    ASSERT_NE(dos, extended);
    struct Case {
        LhaEntry entry;
        TDateTime date;
    };
    const Case cases[] = {
        {{"A.TXT", "abc", "-lh0-", 0}, dos},
        {{"A.TXT", "abc", "-lh0-", 1}, dos},
        {{"A.TXT", "abc", "-lh0-", 1, {unixExt}}, dos},
        {{"A.TXT", "abc", "-lh0-", 2}, base},
        {{"A.TXT", "abc", "-lh0-", 2, {unixExt}}, extended},
        {{"A.TXT", "abc", "-lh0-", 3, {unixExt}}, extended},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "level " << c.entry.level << ", " << c.entry.ext.size() << " extended");
        TZipTV tv;
        tv.SetArchiveFile(Write("D.LZH", LhaArchive({c.entry})).string());
        std::vector<TDateTime> dates;
        tv.OnRead = [&](TZipTV& t, std::uint64_t, int) { dates.push_back(t.Member().FileDate); };
        ASSERT_TRUE(tv.Activate());
        EXPECT_EQ(dates, std::vector<TDateTime>{c.date});
    }
}

// Where the two walks used to read a header differently. The reader's
// reading holds for both, except what only the lister does: list a member
// its file cuts short, and names of levels 0 and 1 with the directory of
// the extended headers.
TEST_F(LhaHeaderTest, ListerAndReaderReadHeadersAlike) {
    const LhaEntry good{"GOOD.TXT", "good"};
    const std::string goodOnly = LhaArchive({good}, false);
    const std::string next = LhaArchive({{"C.TXT", "c"}});
    LhaEntry padded{"A.TXT", "aaa", "-lh0-", 1, {"\x02SUB"}};
    padded.pad = std::string(2, '\0');
    const std::string subDir = std::string("\x02SUB\xFF") + "DIR";
    const LhaEntry inDir{"A.TXT", "aaa", "-lh0-", 1, {subDir}};
    LhaEntry cut{"A.TXT", "aaa"};
    cut.packed = 10;
    LhaEntry lowZero{"B.TXT", "bb", "-lh0-", 2, {"\x7F" + std::string(219, 'f')}};
    struct Case {
        const char* what;
        std::string bytes;
        Names listed;
        Codes listerCodes;
        Names extracted;
        Codes readerCodes;
    };
    const Case cases[] = {
        // Fewer than a header's 22 fixed bytes end the archive; 22 start a
        // header cut short.
        {"21 left", goodOnly + next.substr(0, 21), {"GOOD.TXT"}, {}, {"GOOD.TXT"}, {}},
        {"22 left",
         goodOnly + next.substr(0, 22),
         {"GOOD.TXT"},
         {kHeader},
         {"GOOD.TXT"},
         {kHeader}},
        // A level-1 header ends with the size of the first extended header,
        // however long it is.
        {"padded level 1",
         LhaArchive({padded, good}),
         {"SUB\\A.TXT", "GOOD.TXT"},
         {},
         {"A.TXT", "GOOD.TXT"},
         {}},
        // The directory of a level-1 extended header is listed; the reader
        // extracts under the header's name field.
        {"level-1 directory", LhaArchive({inDir}), {"SUB\\DIR\\A.TXT"}, {}, {"A.TXT"}, {}},
        // A member cut short is listed before the header error; the reader
        // refuses its header.
        {"cut data",
         LhaArchive({good, cut}),
         {"GOOD.TXT", "A.TXT"},
         {kHeader},
         {"GOOD.TXT"},
         {kHeader}},
        {"level 2",
         LhaArchive({good, {"B.TXT", "bb", "-lh0-", 2}}),
         {"GOOD.TXT", "B.TXT"},
         {},
         {"B.TXT", "GOOD.TXT"},
         {}},
        // A level-2 header of 256 bytes starts with a zero byte, which is
        // not the end of the archive.
        {"level 2 of 256 bytes",
         LhaArchive({good, lowZero}),
         {"GOOD.TXT", "B.TXT"},
         {},
         {"B.TXT", "GOOD.TXT"},
         {}},
    };
    storedDirs = true;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const BothSides both = ListAndExtract("T.LZH", c.bytes);
        EXPECT_EQ(both.listing.names, c.listed);
        EXPECT_EQ(both.listing.codes, c.listerCodes);
        EXPECT_EQ(both.extracted, c.extracted);
        EXPECT_EQ(log.codes, c.readerCodes);
    }
    EXPECT_EQ(LhaArchive({lowZero})[0], '\0');
}

// Header and extended-header sizes that do not fit end the listing with the
// header error after the members before, quickly.
TEST_F(LhaHeaderTest, DamagedHeadersEndTheListing) {
    const std::string good = LhaArchive({{"GOOD.TXT", "good"}}, false);
    const std::size_t at = good.size();
    const std::string level2 = good + LhaArchive({{"B.TXT", "bb", "-lh0-", 2}});
    const std::string level3 = good + LhaArchive({{"B.TXT", "bb", "-lh0-", 3}});
    LhaEntry manyOld{"B.TXT", "bb", "-lh0-", 1, std::vector<std::string>(1025, "\x7F")};
    LhaEntry manyNew{"B.TXT", "bb", "-lh0-", 3, std::vector<std::string>(1025, "\x7F")};
    LhaEntry overrun{"B.TXT", "bb", "-lh0-", 1, {"\x40" + std::string(20, ' ')}};
    overrun.packed = 10;
    LhaEntry checked{"B.TXT", "bb", "-lh0-", 2}, checked3{"B.TXT", "bb", "-lh0-", 3};
    checked.headerCrc = checked3.headerCrc = true;
    const std::string wrap = "\x42" + Le(0xFFFFFFF0, 4) + Le(0xFFFFFFFF, 4) + Le(2, 4) + Le(0, 4);
    const std::pair<const char*, std::string> cases[] = {
        {"level 4", Patched(level2, at + 20, "\x04")},
        {"level 2 under 26", Patched(level2, at, Le(25, 2))},
        {"level 2 past the end", Patched(level2, at, Le(400, 2))},
        {"level 2 extension past the header", Patched(level2, at + 24, Le(9, 2))},
        {"level 2 extension under 3", Patched(level2, at + 24, Le(2, 2))},
        {"level 3 word size", Patched(level3, at, Le(2, 2))},
        {"level 3 under 32", Patched(level3, at + 24, Le(31, 4))},
        {"level 3 over 1 MiB", Patched(level3, at + 24, Le((1 << 20) + 1, 4))},
        {"level 3 extension under 5", Patched(level3, at + 28, Le(4, 4))},
        {"1025 level-3 extensions", good + LhaArchive({manyNew})},
        {"1025 level-1 extensions", good + LhaArchive({manyOld})},
        {"level 1 extension past the data", good + LhaArchive({overrun})},
        {"level 2 header CRC", Patched(good + LhaArchive({checked}), at + 32, "C")},
        {"level 3 header CRC", Patched(good + LhaArchive({checked3}), at + 40, "C")},
        {"64-bit size wrapping", good + LhaArchive({{"B.TXT", "bb", "-lh0-", 2, {wrap}}})},
    };
    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        const auto start = std::chrono::steady_clock::now();
        const Listing l = ListFile(Write("T.LZH", bytes).string());
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
        EXPECT_FALSE(l.result);
        EXPECT_EQ(l.names, Names{"GOOD.TXT"});
        EXPECT_EQ(l.codes, Codes{kHeader});
    }
}

}  // namespace
}  // namespace lumora::archive::test
