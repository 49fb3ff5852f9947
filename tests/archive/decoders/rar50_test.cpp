#include "archive/decoders/rar50.h"
#include "archive/decoders/rar50_filters.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/decoders/rar_decode_test_util.h"
#include "support/corpus.h"

namespace lumora::archive {
namespace {

using test::RunRar;

TEST(Rar50CorpusTest, UnpacksEveryCompressedMemberByteForByte) {
    LUMORA_REQUIRE_CORPUS();
    for (const char* file :
         {"LA_R5C.RAR", "LA_R5M.RAR", "testfile.rar5.cbr", "testfile.rar5.rr.cbr",
          "testfile.rar5.locked.cbr", "testfile.rar5.solid.cbr"}) {
        const auto members = test::RarMembers(file);
        ASSERT_FALSE(members.empty()) << file;
        auto unpacker = MakeRar50Unpacker(members[0].dictionary);
        for (const auto& m : members) {
            SCOPED_TRACE(std::string(file) + "/" + m.name);
            ASSERT_EQ(m.version, 50u);
            if (m.stored) continue;
            const test::RarRun run = RunRar(*unpacker, m.packed, m.unpacked, m.solid);
            EXPECT_EQ(run.result.status, RarUnpackStatus::kDone);
            EXPECT_EQ(run.bytes.size(), m.unpacked);
            EXPECT_EQ(test::Crc32(run.bytes), m.crc);
        }
    }
}

}  // namespace
}  // namespace lumora::archive

namespace lumora::archive {
namespace {

using test::BitWriter;

// A block of RAR 5 data: header (flags, check byte, size) and payload.
std::string Block(const BitWriter& payload, bool table = true, bool last = true,
                  int checkDelta = 0) {
    const std::string& p = payload.Bytes();
    const unsigned lastBits = payload.Bits() % 8 == 0 ? 8 : payload.Bits() % 8;
    const unsigned size = static_cast<unsigned>(p.size());
    const unsigned sizeBytes = size < 0x100 ? 1 : size < 0x10000 ? 2 : 3;
    const unsigned flags =
        (table ? 0x80 : 0) | (last ? 0x40 : 0) | ((sizeBytes - 1) << 3) | (lastBits - 1);
    const unsigned check = (0x5A ^ flags ^ size ^ (size >> 8) ^ (size >> 16)) + checkDelta;
    std::string out{static_cast<char>(flags), static_cast<char>(check)};
    for (unsigned i = 0; i < sizeBytes; ++i) out += static_cast<char>(size >> (8 * i));
    return out + p;
}

// Tables where the main code has two symbols of one bit: 'A' is "0" and the
// filter code 256 is "1"; the other codes are empty.
BitWriter TablesForLiteralAndFilter() {
    BitWriter w;
    // Level code: 1 -> "0", 18 -> "10", 19 -> "11".
    for (unsigned sym = 0; sym < 20; ++sym) w.Put(sym == 1 ? 1 : sym >= 18 ? 2 : 0, 4);
    auto zeros = [&](unsigned n) { w.Put(3, 2).Put(n - 11, 7); };
    zeros(65);
    w.Put(0, 1);  // 'A'
    zeros(138), zeros(52);
    w.Put(0, 1);  // 256
    zeros(138), zeros(35);
    return w;
}

void PutFilter(BitWriter& w, unsigned start, unsigned length, unsigned type) {
    w.Put(1, 1).Put(1, 2).Put(start & 0xFF, 8).Put(start >> 8, 8);
    w.Put(2, 2).Put(length & 0xFF, 8).Put((length >> 8) & 0xFF, 8).Put(length >> 16, 8);
    w.Put(type, 3);
    if (type == 0) w.Put(0, 5);  // one channel
}

TEST(Rar50Test, DeltaFilterRewritesItsBlockOnly) {
    BitWriter w = TablesForLiteralAndFilter();
    PutFilter(w, 0, 4, 0);
    w.Put(0, 6);
    auto unpacker = MakeRar50Unpacker(1 << 17);
    const test::RarRun run = test::RunRar(*unpacker, Block(w), 6, false);
    EXPECT_EQ(run.result.status, RarUnpackStatus::kDone);
    EXPECT_EQ(run.bytes,
              "\xBF\x7E\x3D\xFC"
              "AA");
}

TEST(Rar50Test, RefusesDamagedBlocksAndUnboundedRequests) {
    BitWriter literals = TablesForLiteralAndFilter();
    literals.Put(0, 8);
    BitWriter longFilter = TablesForLiteralAndFilter();
    PutFilter(longFilter, 0, kRar50MaxFilterBlock + 1, 1);
    BitWriter manyFilters = TablesForLiteralAndFilter();
    for (unsigned i = 0; i <= kRar50MaxFilters; ++i) PutFilter(manyFilters, i, 1, 1);
    BitWriter noTable;
    noTable.Put(0, 8);
    std::string fourSizeBytes = Block(literals);
    fourSizeBytes[0] = static_cast<char>(fourSizeBytes[0] | 0x18);
    struct Case {
        const char* what;
        std::string data;
        std::size_t window;
        RarUnpackStatus want;
    };
    const Case cases[] = {
        {"intact", Block(literals), 1 << 17, RarUnpackStatus::kDone},
        {"bad check byte", Block(literals, true, true, 1), 1 << 17, RarUnpackStatus::kDataError},
        {"four size bytes", fourSizeBytes, 1 << 17, RarUnpackStatus::kDataError},
        {"first block without tables", Block(noTable, false), 1 << 17, RarUnpackStatus::kDataError},
        {"filter block too long", Block(longFilter), 1 << 17, RarUnpackStatus::kDataError},
        {"too many filters", Block(manyFilters), 1 << 17, RarUnpackStatus::kDataError},
        {"last block ends early", Block(literals), 1 << 17, RarUnpackStatus::kTruncated},
        {"cut short", Block(literals).substr(0, 20), 1 << 17, RarUnpackStatus::kTruncated},
        {"window too large", Block(literals), kRarMaxWindow + 1, RarUnpackStatus::kNoMemory},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto unpacker = MakeRar50Unpacker(c.window);
        const std::uint64_t size = c.want == RarUnpackStatus::kTruncated ? 9 : 8;
        EXPECT_EQ(test::RunRar(*unpacker, c.data, size, false).result.status, c.want);
    }
}

TEST(Rar50FilterTest, UndoesTheTransformsOfEachType) {
    struct Case {
        const char* what;
        Rar50Filter filter;
        std::uint32_t fileOffset;
        std::vector<std::uint8_t> in, want;
    };
    const Case cases[] = {
        {"delta, two channels",
         {0, 4, Rar50FilterType::kDelta, 2},
         0,
         {1, 2, 3, 4},
         {0xFF, 0xFD, 0xFD, 0xF9}},
        {"E8 forward call",
         {0, 6, Rar50FilterType::kE8, 1},
         0,
         {0xE8, 0x10, 0, 0, 0, 0},
         {0xE8, 0x0F, 0, 0, 0, 0}},
        {"E8 backward call",
         {0, 6, Rar50FilterType::kE8, 1},
         0,
         {0xE8, 0xFF, 0xFF, 0xFF, 0xFF, 0},
         {0xE8, 0xFF, 0xFF, 0xFF, 0x00, 0}},
        {"E9 left alone by E8",
         {0, 6, Rar50FilterType::kE8, 1},
         0,
         {0xE9, 0x10, 0, 0, 0, 0},
         {0xE9, 0x10, 0, 0, 0, 0}},
        {"E9 with E8E9, offset in the file",
         {0, 6, Rar50FilterType::kE8E9, 1},
         0x100,
         {0xE9, 0x10, 0x02, 0, 0, 0},
         {0xE9, 0x0F, 0x01, 0, 0, 0}},
        {"ARM branch",
         {0, 8, Rar50FilterType::kArm, 1},
         8,
         {0, 0, 0, 0, 0x10, 0, 0, 0xEB},
         {0, 0, 0, 0, 0x0D, 0, 0, 0xEB}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::uint8_t> data = c.in, scratch;
        ApplyRar50Filter(c.filter, c.fileOffset, data, scratch);
        EXPECT_EQ(data, c.want);
    }
}

}  // namespace
}  // namespace lumora::archive
