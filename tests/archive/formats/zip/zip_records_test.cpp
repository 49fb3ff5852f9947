// The ZIP records shared by the lister and the reader: where the central
// directory is found (stored offset, self-extractor base, re-basing, Zip64),
// and the central, local and Zip64 extra fields read only from bytes that
// arrived.
#include "archive/formats/zip/zip_records.h"

#include <gtest/gtest.h>

#include <optional>

#include "archive/archive_test_support.h"
#include "support/builders/zip_builder.h"

namespace lumora::archive::test {
namespace {

constexpr std::uint64_t kAllOnes = ~std::uint64_t{0};

// A central record of `name` (46 bytes and the name) with the given local
// header offset.
std::string Central(const std::string& name, std::uint32_t localOffset = 0) {
    return LeFields({{kZipCentralSig, 4}, {0x0314, 2}, {20, 2}, {0, 2}, {8, 2}, {0x1F8E5A00, 4}}) +
           LeFields({{0x12345678, 4}, {5, 4}, {10, 4}, {name.size(), 2}, {0, 2}, {0, 2}}) +
           LeFields({{0, 2}, {1, 2}, {0x20, 4}, {localOffset, 4}}) + name;
}

// The Zip64 end record at `at` and its locator, then the end record whose
// directory size and offset do not fit.
std::string Zip64Tail(std::uint64_t at, std::uint64_t dirSize, std::uint64_t dirOffset) {
    return LeFields({{0x06064B50, 4}, {44, 8}, {45, 2}, {45, 2}, {0, 8}, {1, 8}, {1, 8}}) +
           LeFields({{dirSize, 8}, {dirOffset, 8}}) +
           LeFields({{0x07064B50, 4}, {0, 4}, {at, 8}, {1, 4}}) +
           LeFields({{kZipEndSig, 4}, {0, 4}, {1, 2}, {1, 2}, {0xFFFFFFFF, 4}, {0xFFFFFFFF, 4}}) +
           LeFields({{0, 2}});
}

class ZipRecordsTest : public TempDirTest {
protected:
    const InputFile& Open(const std::string& bytes) {
        WriteFile(Path("T.ZIP"), bytes);
        file_ = InputFile();
        EXPECT_TRUE(file_.Open(Path("T.ZIP").string()));
        return file_;
    }

    InputFile file_;
};

// The directory at its stored offset (plus the self-extractor base when
// given), else right before the end record with the offsets re-based to
// where it is; a sum past 64 bits is no position and finds nothing.
TEST_F(ZipRecordsTest, LocatesTheDirectoryForListerAndReaderAlike) {
    const std::string stub(100, 'S');
    ZipBuilder plain, adjusted, unadjusted;
    plain.Add(Member("A.TXT", "alpha"));
    adjusted.Add(Member("A.TXT", "alpha")).stub = stub;
    unadjusted = adjusted;
    unadjusted.adjustOffsets = false;
    const std::size_t dirAt = 30 + 5 + 5;  // local header, name, data
    // Zip64: the directory at 8, its offset and size only in the Zip64 end
    // record; wrapped, 2^64 - 8 plus a base of 16 would also be 8.
    const std::string dir = Central("B.TXT");
    const std::string zip64 = std::string(8, 'x') + dir + Zip64Tail(8 + dir.size(), dir.size(), 8);
    const std::string wrapping =
        std::string(8, 'x') + dir + Zip64Tail(8 + dir.size(), dir.size(), kAllOnes - 7);
    struct Case {
        const char* name;
        std::string bytes;
        std::uint64_t sfxBase;
        HeaderResult result;
        std::uint64_t start, base;
        bool endFound = true;
    };
    const Case cases[] = {
        {"plain", plain.Build(), 0, HeaderResult::Ok, dirAt, 0},
        {"stub, offsets adjusted", adjusted.Build(), 0, HeaderResult::Ok, 100 + dirAt, 0},
        {"stub, offsets re-based", unadjusted.Build(), 0, HeaderResult::Ok, 100 + dirAt, 100},
        {"self-extractor base", unadjusted.Build(), 100, HeaderResult::Ok, 100 + dirAt, 100},
        // A base that misses the directory gives way to the re-based one.
        {"wrong base", adjusted.Build(), 50, HeaderResult::Ok, 100 + dirAt, 0},
        {"zip64", zip64, 0, HeaderResult::Ok, 8, 0},
        {"offset sum past 64 bits", wrapping, 16, HeaderResult::Bad, 0, 0},
        {"no central record", std::string(40, 'x') + plain.Build().substr(dirAt + 46 + 5), 0,
         HeaderResult::Bad, 0, 0},
        {"no end record", std::string(100, 'x'), 0, HeaderResult::Bad, 0, 0, false},
        // The file's first byte is not searched: an empty archive has none.
        {"end record at 0", ZipBuilder().Build(), 0, HeaderResult::Bad, 0, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ZipDirectory dir;
        EXPECT_EQ(LocateZipDirectory(Open(c.bytes), c.sfxBase, dir), c.result);
        EXPECT_EQ(dir.end.has_value(), c.endFound);
        if (c.result != HeaderResult::Ok) continue;
        EXPECT_EQ(dir.start, c.start);
        EXPECT_EQ(dir.base, c.base);
    }
}

// Comments that keep the record within the last block and ones that push it
// before that block are found alike.
TEST_F(ZipRecordsTest, EndRecordKeepsTheCommentLength) {
    for (const std::size_t length : {15u, 4074u, 4075u, 20000u}) {
        ZipBuilder b;
        b.Add(Member("A.TXT", "alpha")).comment = std::string(length, 'c');
        const std::string bytes = b.Build();
        const auto end = FindZipEndRecord(Open(bytes));
        ASSERT_TRUE(end.has_value()) << length;
        EXPECT_EQ(end->position, bytes.size() - b.comment.size() - kZipEndSize) << length;
        EXPECT_EQ(end->commentLength, b.comment.size());
        EXPECT_EQ(end->dirSize, 46u + 5);
    }
}

// The fixed part: Ok with every field, End where the directory ends (no
// signature, fewer than 4 bytes), Bad when cut inside.
TEST_F(ZipRecordsTest, CentralRecordFields) {
    const std::string rec = Central("NAME.TXT", 0x01020304);
    struct Case {
        std::string bytes;
        HeaderResult result;
    };
    const Case cases[] = {
        {rec, HeaderResult::Ok},
        {rec.substr(0, 46), HeaderResult::Ok},
        {rec.substr(0, 45), HeaderResult::Bad},
        {rec.substr(0, 4), HeaderResult::Bad},
        {rec.substr(0, 3), HeaderResult::End},
        {"PK\x05\x06" + rec.substr(4), HeaderResult::End},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes.size());
        FieldReader r(c.bytes);
        ZipCentralRecord central;
        EXPECT_EQ(ParseZipCentral(r, central), c.result);
    }
    FieldReader r(rec);
    ZipCentralRecord c;
    ASSERT_EQ(ParseZipCentral(r, c), HeaderResult::Ok);
    EXPECT_EQ(c.versionMadeBy, 0x0314);
    EXPECT_EQ(c.versionNeeded, 20);
    EXPECT_EQ(c.method, 8);
    EXPECT_EQ(c.DosDateTime(), 0x1F8E5A00u);
    EXPECT_EQ(c.crc, 0x12345678u);
    EXPECT_EQ(c.packedSize, 5u);
    EXPECT_EQ(c.unpackedSize, 10u);
    EXPECT_EQ(c.nameLength, 8);
    EXPECT_EQ(c.internalAttrs, 1);
    EXPECT_EQ(c.externalAttrs, 0x20u);
    EXPECT_EQ(c.localOffset, 0x01020304u);
    EXPECT_EQ(r.Pos(), kZipCentralSize);
}

// Only the 32-bit fields that hold 0xFFFFFFFF take a Zip64 value, in the
// order unpacked, packed, offset; a field cut short is left alone.
TEST_F(ZipRecordsTest, Zip64ExtraReplacesOnlyFullFields) {
    const std::string other = LeFields({{0x5455, 2}, {5, 2}, {1, 1}, {0, 4}});
    struct Case {
        const char* name;
        std::uint64_t packed, unpacked;
        std::string extra;
        std::uint64_t wantPacked, wantUnpacked, wantOffset;
    };
    const Case cases[] = {
        {"both sizes", 0xFFFFFFFF, 0xFFFFFFFF,
         LeFields({{1, 2}, {16, 2}, {0x100000000, 8}, {0x200000000, 8}}), 0x200000000, 0x100000000,
         7},
        {"after another field", 0xFFFFFFFF, 3, other + LeFields({{1, 2}, {8, 2}, {1ull << 40, 8}}),
         1ull << 40, 3, 7},
        {"cut short", 0xFFFFFFFF, 3, LeFields({{1, 2}, {4, 2}, {9, 4}}), 0xFFFFFFFF, 3, 7},
        {"length past the field", 0xFFFFFFFF, 3, LeFields({{1, 2}, {8, 2}, {9, 4}}), 0xFFFFFFFF, 3,
         7},
        {"no full field", 5, 6, LeFields({{1, 2}, {8, 2}, {9, 8}}), 5, 6, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ZipCentralRecord r;
        r.packedSize = c.packed;
        r.unpackedSize = c.unpacked;
        r.localOffset = 7;
        ApplyZip64Extra(r, c.extra);
        EXPECT_EQ(r.packedSize, c.wantPacked);
        EXPECT_EQ(r.unpackedSize, c.wantUnpacked);
        EXPECT_EQ(r.localOffset, c.wantOffset);
    }
}

TEST_F(ZipRecordsTest, LocalHeaderNeedsItsSignatureAndAllThirtyBytes) {
    const std::string tail = LeFields({{20, 2}, {9, 2}, {8, 2}, {0x1F8E5A00, 4}, {0xABCD, 4}}) +
                             LeFields({{0, 8}, {5, 2}, {3, 2}});
    struct Case {
        std::string bytes;
        HeaderResult result;
    };
    const Case cases[] = {
        {Le(kZipLocalSig, 4) + tail, HeaderResult::Ok},
        {Le(kZipLocalSig250, 4) + tail, HeaderResult::Ok},
        {Le(kZipCentralSig, 4) + tail, HeaderResult::Bad},
        {(Le(kZipLocalSig, 4) + tail).substr(0, 29), HeaderResult::Bad},
    };
    for (const Case& c : cases) {
        ZipLocalHeader h;
        EXPECT_EQ(ReadZipLocal(Open(c.bytes), 0, h), c.result);
        if (c.result != HeaderResult::Ok) continue;
        EXPECT_EQ(h.flags, 9);
        EXPECT_EQ(h.dosDateTime, 0x1F8E5A00u);
        EXPECT_EQ(h.crc, 0xABCDu);
        EXPECT_EQ(h.DataAt(100), 100u + 30 + 5 + 3);
    }
}

}  // namespace
}  // namespace lumora::archive::test
