// The RAR 2.9-4.x unpacker: real archives (LZ, PPMd, filters, solid and
// volume sets), the filters on known byte patterns, and damaged or hostile
// streams.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "archive/core/crc.h"
#include "archive/decoders/memory_source.h"
#include "archive/decoders/rar29.h"
#include "archive/decoders/rar_member_data.h"
#include "support/corpus.h"

namespace lumora::archive::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

class CollectSink final : public OutputSink {
public:
    void Write(const std::uint8_t* data, std::size_t n) override {
        bytes.insert(bytes.end(), data, data + n);
        ++writes;
    }
    Bytes bytes;
    int writes = 0;
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
        {"LA_NORM.RAR"}, {"LA_LZSS.RAR"}, {"LA_UNIC.RAR"}, {"testfile.rar3.cbr"},
        {"testfile.rar3.av.cbr"}, {"testfile.rar3.rr.cbr"}, {"testfile.rar3.solid.cbr"},
        {"testfile.rar3.solid.rar"},
        {"test_read_format_rar_multivolume.part0001.rar", "test_read_format_rar_multivolume.part0002.rar",
         "test_read_format_rar_multivolume.part0003.rar", "test_read_format_rar_multivolume.part0004.rar"}};
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

}  // namespace
}  // namespace lumora::archive::test
