// The ARC header parser that the lister's walk and the reader share: the
// full and the short header, the marker search, the end, damaged headers,
// and the cases where the walk keeps its own rules and lists otherwise than
// the reader extracts.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "archive/formats/arc/arc_header.h"
#include "archive/header_test_support.h"

namespace lumora::archive::test {
namespace {

using Lines = std::vector<std::string>;

class ArcHeaderTest : public HeaderTest {
protected:
    InputFile Open(const std::string& bytes) { return OpenImage("H.ARC", bytes); }
};

TEST_F(ArcHeaderTest, HeadersAndTheirEnds) {
    ArcEntry m1 = Stored("OLD.TXT", "abc");
    m1.method = 1;
    ArcEntry junk = Stored("JUNK.TXT", "j");
    junk.junk = std::string(10, 'x');
    const std::string full = ArcArchive({Stored("ABCDEFGH.TXTX", "data")}, false);
    const std::string shortHeader = ArcArchive({m1}, false);
    struct Case {
        const char* what;
        std::string bytes;
        HeaderResult result;
        std::string name = {};
        int method = 0;
        std::uint64_t start = 0;
        std::uint64_t dataStart = 0;
        std::uint32_t original = 0;
    };
    const Case cases[] = {
        {"full header, 13-byte name", full, HeaderResult::Ok, "ABCDEFGH.TXTX", 2, 0, 29, 4},
        {"method 1: 25 bytes, original size = packed size", shortHeader, HeaderResult::Ok,
         "OLD.TXT", 1, 0, 25, 3},
        {"method 1 header only", shortHeader.substr(0, 25), HeaderResult::Ok, "OLD.TXT", 1, 0, 25,
         3},
        {"ten junk bytes", ArcArchive({junk}, false), HeaderResult::Ok, "JUNK.TXT", 2, 10, 39, 1},
        {"eleven junk bytes", "y" + ArcArchive({junk}, false), HeaderResult::Bad},
        {"method 1 header cut short", shortHeader.substr(0, 24), HeaderResult::Bad},
        {"full header cut short", full.substr(0, 28), HeaderResult::Bad},
        {"end marker", std::string("\x1A\x00", 2), HeaderResult::End},
        {"marker at the end of the file", "\x1A", HeaderResult::End},
        {"end of the file", "", HeaderResult::End},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const InputFile f = Open(c.bytes);
        ArcHeader h;
        ASSERT_EQ(ReadArcHeader(f, 0, h), c.result);
        if (c.result != HeaderResult::Ok) continue;
        EXPECT_EQ(h.name, c.name);
        EXPECT_EQ(h.method, c.method);
        EXPECT_EQ(h.start, c.start);
        EXPECT_EQ(h.dataStart, c.dataStart);
        EXPECT_EQ(h.original, c.original);
        EXPECT_EQ(h.packed, c.original);
        EXPECT_EQ(h.DosDateTime(), 0x1F8E5A00u);  // date, then time
    }
}

// Where the walk and the reader met a header differently: junk before a
// marker is passed over by both now, and a missing marker is damage to both;
// the walk alone keeps its window (no member in the last 29 bytes) and its
// bound on the next position.
TEST_F(ArcHeaderTest, ListerAndReaderOnTheSameDamage) {
    const std::string one = ArcArchive({Stored("ONE.TXT", "1")}, false);
    ArcEntry afterJunk = Stored("NEXT.TXT", "next");
    afterJunk.junk = std::string(5, 'x');
    ArcEntry late = Stored("LATE.TXT", "never reached");
    late.junk = std::string(11, 'x');
    ArcEntry lastOld = Stored("OLD.TXT", "abc");
    lastOld.method = 1;
    ArcEntry huge = Stored("BIG.TXT", "big");
    huge.packedSize = 1 << 20;
    struct Case {
        const char* what;
        std::string bytes;
        Lines listed;
        std::vector<int> listerCodes;
        Lines extracted;
        std::vector<int> readerCodes;
    };
    const Case cases[] = {
        {"junk before a header",
         ArcArchive({Stored("ONE.TXT", "1"), afterJunk}),
         {"ONE.TXT", "NEXT.TXT"},
         {},
         {"NEXT.TXT", "ONE.TXT"},
         {}},
        {"no marker within eleven bytes",
         one + ArcArchive({late}),
         {"ONE.TXT"},
         {ecode::BadArchive},
         {"ONE.TXT"},
         {ecode::BadArchive}},
        {"last member within the window",
         one + ArcArchive({lastOld}, false),
         {"ONE.TXT"},
         {},
         {"OLD.TXT", "ONE.TXT"},
         {}},
        {"data past the end",
         ArcArchive({huge}, false),
         {"BIG.TXT"},
         {ecode::BadFileHeader},
         {"BIG.TXT"},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const BothSides both = ListAndExtract("T.ARC", c.bytes);
        EXPECT_EQ(both.listing.names, c.listed);
        EXPECT_EQ(both.listing.codes, c.listerCodes);
        EXPECT_EQ(both.extracted, c.extracted);
        EXPECT_EQ(log.codes, c.readerCodes);
    }
}

}  // namespace
}  // namespace lumora::archive::test
