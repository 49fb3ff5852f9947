// The RAR 2.9-4.x unpacker: real archives (LZ, PPMd, filters, solid and
// volume sets), the filters on known byte patterns, and damaged or hostile
// streams.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "archive/core/crc.h"
#include "archive/decoders/memory_source.h"
#include "archive/decoders/ppmd_h.h"
#include "archive/decoders/rar29.h"
#include "archive/decoders/rar_filters.h"
#include "archive/decoders/rar_member_data.h"
#include "support/corpus.h"

namespace lumora::archive::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Keeps the first `keep` bytes written.
class CollectSink final : public OutputSink {
public:
    explicit CollectSink(std::size_t keep = SIZE_MAX) : keep_(keep) {}
    void Write(const std::uint8_t* data, std::size_t n) override {
        bytes.insert(bytes.end(), data, data + std::min(n, keep_ - bytes.size()));
        ++writes;
        if (n < (64u << 10)) ++smallWrites;
    }
    Bytes bytes;
    int writes = 0;
    int smallWrites = 0;

private:
    std::size_t keep_;
};

std::uint32_t CrcOf(const Bytes& b) {
    Crc32 crc;
    crc.Update(b.data(), b.size());
    return crc.Value();
}

struct Unpacked {
    RarUnpackResult result;
    Bytes bytes;
};

Unpacked UnpackMember(RarUnpacker& u, const Bytes& packed, std::uint64_t size, bool solid,
                      std::uint64_t maxOutput = 0, std::size_t chunk = SIZE_MAX) {
    MemorySource src(packed, chunk);
    CollectSink sink;
    Unpacked r;
    r.result = u.Unpack(src, &sink, {size, solid, maxOutput});
    r.bytes = std::move(sink.bytes);
    return r;
}

// Every member of each archive, in order (solid ones carrying the state),
// unpacks to its size and stored CRC.
TEST(Rar29CorpusTest, MembersMatchTheirCrc) {
    LUMORA_REQUIRE_CORPUS();
    const std::vector<std::vector<const char*>> archives = {
        {"LA_NORM.RAR"},
        {"LA_LZSS.RAR"},
        {"LA_UNIC.RAR"},
        {"testfile.rar3.cbr"},
        {"testfile.rar3.av.cbr"},
        {"testfile.rar3.rr.cbr"},
        {"testfile.rar3.locked.cbr"},
        {"testfile.rar3.solid.cbr"},
        {"testfile.rar3.solid.rar"},
        {"test_read_format_rar_multivolume.part0001.rar",
         "test_read_format_rar_multivolume.part0002.rar",
         "test_read_format_rar_multivolume.part0003.rar",
         "test_read_format_rar_multivolume.part0004.rar"}};
    for (const auto& names : archives) {
        std::vector<std::filesystem::path> files;
        for (const char* n : names) files.push_back(lumora::test::CorpusDir() / "rar" / n);
        std::vector<RarMemberData> members = Rar4Members(files);
        auto u = MakeRar29Unpacker(std::size_t{4} << 20);
        bool first = true;
        for (const RarMemberData& m : members) {
            if (m.IsDirectory()) continue;
            SCOPED_TRACE(std::string(names.front()) + "/" + m.name);
            if (m.method == 0x30) continue;
            ASSERT_TRUE(m.version == 29 || m.version == 36) << int(m.version);
            const bool solid = !first && (m.flags & 0x10);
            first = false;
            const Unpacked r = UnpackMember(*u, m.packed, m.unpacked, solid);
            EXPECT_EQ(r.result.status, RarUnpackStatus::kDone);
            EXPECT_EQ(r.bytes.size(), m.unpacked);
            EXPECT_EQ(CrcOf(r.bytes), m.crc);
        }
    }
}

// MSB-first bits, as the unpacker reads them.
class BitWriter {
public:
    void Put(std::uint32_t value, unsigned bits) {
        for (unsigned i = bits; i-- > 0;) {
            if (used_ % 8 == 0) bytes_.push_back(0);
            if ((value >> i) & 1) bytes_.back() |= static_cast<std::uint8_t>(0x80 >> (used_ % 8));
            ++used_;
        }
    }
    Bytes Finish(std::size_t zeros = 4) {
        bytes_.insert(bytes_.end(), zeros, 0);
        return bytes_;
    }

private:
    Bytes bytes_;
    std::size_t used_ = 0;
};

// An LZ block whose main table has four 2-bit codes: 'A' (00), end of block
// (01), filter (10) and a match of 3 bytes (11); the distance table holds
// slot `distSlot` alone (code 0). Level codes 0-15 are all 4 bits long, so
// each code length is sent as itself. `mainLengths` overrides the main table.
void LzHeader(BitWriter& w, unsigned distSlot, const std::vector<std::uint8_t>& mainLengths = {}) {
    w.Put(0, 2);  // LZ block, new lengths
    for (unsigned i = 0; i < 20; ++i) w.Put(i < 16 ? 4 : 0, 4);
    std::vector<std::uint8_t> lengths(404, 0);
    for (unsigned sym : {65u, 256u, 257u, 271u}) lengths[sym] = 2;
    if (!mainLengths.empty()) std::copy(mainLengths.begin(), mainLengths.end(), lengths.begin());
    lengths[299 + distSlot] = 1;
    lengths[299 + 60] = 1;       // low distance 0
    lengths[299 + 60 + 17] = 1;  // repeat length 0
    for (std::uint8_t len : lengths) w.Put(len, 4);
}

enum : std::uint32_t { kLiteralA = 0, kEnd = 1, kFilter = 2, kMatch = 3 };

// A filter record after the filter code: a new filter (number 1) with a
// one-byte program, or (`again`) the last filter once more, at the current
// position.
void FilterRecord(BitWriter& w, bool again, std::uint32_t blockLength = 0) {
    w.Put(kFilter, 2);
    if (again) {
        w.Put(0x00, 8);  // record of 1 byte
        w.Put(0, 8);     // start offset 0
        return;
    }
    BitWriter rec;
    rec.Put(1, 6);  // filter number 1: new
    rec.Put(0, 6);  // start offset 0
    if (blockLength != 0) {
        rec.Put(3, 2);
        rec.Put(blockLength >> 16, 16);
        rec.Put(blockLength & 0xFFFF, 16);
    }
    rec.Put(1, 6);     // program of 1 byte
    rec.Put(0xAB, 8);  // no standard filter's
    const Bytes r = rec.Finish(0);
    const unsigned flags = 0x80 | (blockLength != 0 ? 0x20 : 0);
    if (r.size() < 7) {
        w.Put(flags | static_cast<unsigned>(r.size() - 1), 8);
    } else {
        w.Put(flags | 6, 8);  // the record's size in the next byte
        w.Put(static_cast<std::uint32_t>(r.size() - 7), 8);
    }
    for (std::uint8_t b : r) w.Put(b, 8);
}

// Hostile and damaged streams end at once with the right answer.
TEST(Rar29Test, CraftedStreamsFailQuickly) {
    struct Case {
        const char* name;
        std::function<Bytes()> make;
        std::uint64_t size;
        RarUnpackStatus want;
    };
    const std::vector<Case> cases = {
        {"over-subscribed level table",
         [] {
             BitWriter w;
             w.Put(0, 2);
             for (int i = 0; i < 20; ++i) w.Put(1, 4);
             return w.Finish(64);
         },
         10, RarUnpackStatus::kDataError},
        {"over-subscribed main table",
         [] {
             BitWriter w;
             LzHeader(w, 0, std::vector<std::uint8_t>(10, 1));
             return w.Finish(64);
         },
         10, RarUnpackStatus::kDataError},
        {"distance before the first byte",
         [] {
             BitWriter w;
             LzHeader(w, 30);
             w.Put(kLiteralA, 2);
             w.Put(kMatch, 2);
             w.Put(0, 1);   // distance slot 30
             w.Put(0, 10);  // its high bits
             w.Put(0, 1);   // low distance 0
             return w.Finish();
         },
         100, RarUnpackStatus::kDataError},
        {"end of file before the size",
         [] {
             BitWriter w;
             LzHeader(w, 0);
             w.Put(kLiteralA, 2);
             w.Put(kEnd, 2);
             w.Put(0, 2);
             return w.Finish();
         },
         2, RarUnpackStatus::kDataError},
        {"more filters waiting than allowed",
         [] {
             BitWriter w;
             LzHeader(w, 0);
             FilterRecord(w, false);
             for (int i = 0; i < 9000; ++i) FilterRecord(w, true);
             return w.Finish();
         },
         100, RarUnpackStatus::kDataError},
        {"filter block larger than the work area",
         [] {
             BitWriter w;
             LzHeader(w, 0);
             FilterRecord(w, false, 0x3C001);
             return w.Finish();
         },
         100, RarUnpackStatus::kDataError},
        {"filter other than the standard ones",
         [] {
             BitWriter w;
             LzHeader(w, 0);
             FilterRecord(w, false, 4);
             for (int i = 0; i < 8; ++i) w.Put(kLiteralA, 2);
             return w.Finish();
         },
         8, RarUnpackStatus::kUnsupported},
        {"PPMd block continuing a model never started",
         [] { return Bytes{0x80 | 0x05, 0, 0, 0, 0, 0, 0, 0}; }, 10, RarUnpackStatus::kDataError},
        {"PPMd order 1", [] { return Bytes{0x80 | 0x20 | 0x00, 0, 0, 0, 0, 0, 0, 0}; }, 10,
         RarUnpackStatus::kDataError},
        {"stream cut inside the tables",
         [] {
             BitWriter w;
             LzHeader(w, 0);
             Bytes b = w.Finish(0);
             b.resize(100);
             return b;
         },
         10, RarUnpackStatus::kTruncated},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto u = MakeRar29Unpacker(0);
        const auto start = std::chrono::steady_clock::now();
        const Unpacked r = UnpackMember(*u, c.make(), c.size, false);
        EXPECT_EQ(r.result.status, c.want);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    }
    // A dictionary above the largest window is refused before any work.
    auto huge = MakeRar29Unpacker(kRarMaxWindow + 1);
    EXPECT_EQ(UnpackMember(*huge, Bytes(16, 0), 10, false).result.status,
              RarUnpackStatus::kNoMemory);
}

// PPMd model memory comes from the block header and is refused above the cap.
TEST(Rar29Test, PpmdMemoryAboveTheCapIsRefused) {
    const Bytes block = {0x80 | 0x20 | 0x05, 15, 0, 0, 0, 0, 0, 0};  // order 6, 16 MiB
    for (const auto& [cap, want] : {std::pair{std::size_t{16} << 20, PpmdH::Start::kOk},
                                    {(std::size_t{16} << 20) - 1, PpmdH::Start::kNoMemory}}) {
        MemorySource src(block);
        RarBitInput in(src);
        PpmdH model;
        int esc = 2;
        EXPECT_EQ(model.StartBlock(in, esc, cap), want);
    }
}

std::vector<std::filesystem::path> CorpusFiles(std::initializer_list<const char*> names) {
    std::vector<std::filesystem::path> files;
    for (const char* n : names) files.push_back(lumora::test::CorpusDir() / "rar" / n);
    return files;
}

// A member of a solid archive alone: the ones before it decoded without
// output, then it; and a damaged first member failing the later ones.
TEST(Rar29CorpusTest, SolidMembers) {
    LUMORA_REQUIRE_CORPUS();
    const auto members = Rar4Members(CorpusFiles({"testfile.rar3.solid.cbr"}));
    ASSERT_GE(members.size(), 2u);
    auto u = MakeRar29Unpacker(std::size_t{4} << 20);
    for (std::size_t i = 0; i + 1 < members.size(); ++i) {
        MemorySource src(members[i].packed);
        EXPECT_EQ(u->Unpack(src, nullptr, {members[i].unpacked, i != 0, 0}).status,
                  RarUnpackStatus::kDone);
    }
    const RarMemberData& last = members.back();
    const Unpacked r = UnpackMember(*u, last.packed, last.unpacked, true, 0, 7);
    EXPECT_EQ(r.result.status, RarUnpackStatus::kDone);
    EXPECT_EQ(CrcOf(r.bytes), last.crc);

    Bytes cut = members[0].packed;
    cut.resize(cut.size() / 2);
    EXPECT_EQ(UnpackMember(*u, cut, members[0].unpacked, false).result.status,
              RarUnpackStatus::kTruncated);
    EXPECT_EQ(UnpackMember(*u, members[1].packed, members[1].unpacked, true).result.status,
              RarUnpackStatus::kDataError);
}

// The PPMd member of the volume set: cut short, and capped by maxOutput (the
// bytes given are the member's first ones). Writes are of at least 64 KiB.
TEST(Rar29CorpusTest, PpmdMemberTruncatedAndCapped) {
    LUMORA_REQUIRE_CORPUS();
    const auto members =
        Rar4Members(CorpusFiles({"test_read_format_rar_multivolume.part0001.rar",
                                 "test_read_format_rar_multivolume.part0002.rar",
                                 "test_read_format_rar_multivolume.part0003.rar",
                                 "test_read_format_rar_multivolume.part0004.rar"}));
    ASSERT_FALSE(members.empty());
    const RarMemberData& m = members[0];
    auto u = MakeRar29Unpacker(std::size_t{4} << 20);
    Bytes cut(m.packed.begin(),
              m.packed.begin() + static_cast<std::ptrdiff_t>(m.packed.size() / 3));
    EXPECT_EQ(UnpackMember(*u, cut, m.unpacked, false).result.status, RarUnpackStatus::kTruncated);

    constexpr std::uint64_t kCap = 300000;
    MemorySource all(m.packed);
    CollectSink whole(kCap);
    EXPECT_EQ(u->Unpack(all, &whole, {m.unpacked, false, 0}).status, RarUnpackStatus::kDone);
    EXPECT_LE(whole.smallWrites, 1);  // the last one
    MemorySource src(m.packed);
    CollectSink sink;
    const RarUnpackResult capped = u->Unpack(src, &sink, {m.unpacked, false, kCap});
    EXPECT_EQ(capped.status, RarUnpackStatus::kOutputLimit);
    EXPECT_EQ(capped.produced, kCap);
    ASSERT_EQ(sink.bytes.size(), kCap);
    EXPECT_EQ(sink.bytes, whole.bytes);
    EXPECT_LE(sink.writes, 5);
}

}  // namespace
}  // namespace lumora::archive::test
