// The ZOO header parser that the lister's walk and the reader share: the
// fields of an entry, the results of damaged entries and archive headers,
// and the cases where the walk keeps its own rules and lists otherwise than
// the reader extracts.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "archive/formats/zoo/zoo_header.h"
#include "archive/header_test_support.h"

namespace lumora::archive::test {
namespace {

using Lines = std::vector<std::string>;

class ZooHeaderTest : public HeaderTest {
protected:
    InputFile Open(const std::string& bytes) { return OpenImage("H.ZOO", bytes); }
};

TEST_F(ZooHeaderTest, EntryFields) {
    std::vector<std::size_t> at;
    const std::string bytes =
        ZooArchive({{"A.TXT", "aaa"}, {"LONGNAME.TEXT", "bb", 2, true, 0x4321}}, &at);
    const InputFile f = Open(bytes);
    ZooEntry e;
    ASSERT_EQ(ReadZooEntry(f, at[1], e), HeaderResult::Ok);
    EXPECT_EQ(e.type, 1);
    EXPECT_EQ(e.method, 2);
    EXPECT_EQ(e.next, at[2]);
    EXPECT_EQ(e.dataOffset, at[1] + kZooEntrySize);
    EXPECT_EQ(e.dosDateTime, 0x1F9A0000u);
    EXPECT_EQ(e.crc, 0x4321);
    EXPECT_EQ(e.originalSize, 2u);
    EXPECT_EQ(e.packedSize, 2u);
    EXPECT_TRUE(e.deleted);
    EXPECT_EQ(e.name, "LONGNAME.TEXT");  // all 13 bytes, no zero byte after them
    ASSERT_EQ(ReadZooEntry(f, at[0], e), HeaderResult::Ok);
    EXPECT_FALSE(e.deleted);
    EXPECT_EQ(e.name, "A.TXT");
    EXPECT_EQ(ReadZooEntry(f, at[2], e), HeaderResult::End);

    ZooArchiveHeader h;
    EXPECT_EQ(ReadZooArchiveHeader(f, h), HeaderResult::Ok);
    EXPECT_EQ(h.firstEntry, 34u);
}

// Each case patches 32-bit fields of entry 1 (the end entry is entry 2)
// or cuts the image.
TEST_F(ZooHeaderTest, DamagedEntriesAndArchiveHeaders) {
    struct Case {
        const char* what;
        std::vector<std::pair<std::size_t, std::uint32_t>> fields;  // offset, value
        std::size_t cutAt;  // bytes kept after entry 1's start; 0 keeps all
        HeaderResult entry;
    };
    const Case cases[] = {
        {"wrong tag", {{0, 0x12345678}}, 0, HeaderResult::Bad},
        {"wrong tag where the chain ends", {{0, 0x12345678}, {6, 0}}, 0, HeaderResult::Bad},
        {"cut inside the entry", {}, 50, HeaderResult::Bad},
        {"whole entry, no data", {}, 51, HeaderResult::Bad},
        {"data past the end", {{24, 1000}}, 0, HeaderResult::Bad},
        {"data up to the end", {{24, 3 + 51}}, 0, HeaderResult::Ok},
        {"data position past the end", {{10, 0xFFFFFFFF}}, 0, HeaderResult::Bad},
        {"data past the end where the chain ends", {{6, 0}, {24, 1000}}, 0, HeaderResult::End},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::size_t> at;
        std::string bytes = ZooArchive({{"A.TXT", "aaa"}, {"B.TXT", "bbb"}}, &at);
        for (const auto& [field, value] : c.fields) PutLe(bytes, at[1] + field, value, 4);
        if (c.cutAt) bytes.resize(at[1] + c.cutAt);
        const InputFile f = Open(bytes);
        ZooEntry e;
        EXPECT_EQ(ReadZooEntry(f, at[1], e), c.entry);
    }

    const std::string good = ZooArchive({{"A.TXT", "a"}});
    std::string mismatch = good;
    PutLe(mismatch, 28, 0, 4);
    const struct {
        std::string bytes;
        HeaderResult result;
        bool cut;
    } headers[] = {
        {mismatch, HeaderResult::Bad, false},
        {good.substr(0, 33), HeaderResult::Bad, true},
        {good.substr(0, 20), HeaderResult::Bad, true},
        {good.substr(0, 34), HeaderResult::Ok, false},
    };
    for (const auto& c : headers) {
        const InputFile f = Open(c.bytes);
        ZooArchiveHeader h;
        EXPECT_EQ(ReadZooArchiveHeader(f, h), c.result) << c.bytes.size();
        EXPECT_EQ(h.cut, c.cut) << c.bytes.size();
    }
}

// Where the walk and the reader met an entry differently: data past the end
// is a bad entry for both now; the walk alone keeps its forward-only chain
// and ends quietly where its window no longer fits.
TEST_F(ZooHeaderTest, ListerAndReaderOnTheSameDamage) {
    struct Case {
        const char* what;
        std::string bytes;
        Lines listed;
        std::vector<int> listerCodes;
        Lines extracted;
        int thrown;
    };
    std::vector<std::size_t> at;
    const std::string three =
        ZooArchive({{"A.TXT", "aaa"}, {"B.TXT", "bbb"}, {"C.TXT", "ccc"}}, &at);
    std::string dataPast = three;
    PutLe(dataPast, at[1] + 24, 100000, 4);
    std::string backward = three;  // A, C, B: back, but no loop
    PutLe(backward, at[0] + 6, static_cast<std::uint32_t>(at[2]), 4);
    PutLe(backward, at[2] + 6, static_cast<std::uint32_t>(at[1]), 4);
    PutLe(backward, at[1] + 6, static_cast<std::uint32_t>(at[3]), 4);
    const Case cases[] = {
        {"data past the end",
         dataPast,
         {"A.TXT"},
         {ecode::BadFileHeader},
         {"A.TXT"},
         ecode::BadFileHeader},
        {"chain back without a loop",
         backward,
         {"A.TXT", "C.TXT"},
         {ecode::BadFileHeader},
         {"A.TXT", "B.TXT", "C.TXT"},
         0},
        {"end entry cut short",
         three.substr(0, at[3] + 40),
         {"A.TXT", "B.TXT", "C.TXT"},
         {},
         {"A.TXT", "B.TXT", "C.TXT"},
         ecode::BadFileHeader},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const BothSides both = ListAndExtract("T.ZOO", c.bytes);
        EXPECT_EQ(both.listing.names, c.listed);
        EXPECT_EQ(both.listing.codes, c.listerCodes);
        EXPECT_EQ(both.extracted, c.extracted);
        EXPECT_EQ(thrown, c.thrown);
    }
}

}  // namespace
}  // namespace lumora::archive::test
