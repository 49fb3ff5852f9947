// Hand-made RAR archives around streams no corpus file holds: RAR 1.5 data,
// RAR 2.0 LZ and multimedia blocks, and a PPMd block whose model runs out
// of memory. Their expected bytes came from an independent unpacker.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "archive/decoders/memory_source.h"
#include "archive/decoders/ppmd_h.h"
#include "archive/decoders/rar_decode_test_util.h"
#include "archive/formats/rar/rar_reader.h"
#include "support/sha256.h"

namespace lumora::archive::test {
namespace {

std::string SamplePath(const std::string& name) {
    return std::string(LUMORA_TEST_DATA_DIR) + "/rar/" + name;
}

std::string ReadSample(const std::string& name) {
    std::ifstream in(SamplePath(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Sample {
    const char* file;
    std::uint64_t size;
    const char* sha256;
};

// rar15_stream: literals, long matches (every length and distance code
// table), short matches with recent distances and repeats.
// rar20_lz: two table sets, the second sent as changes; every match kind;
// distances past 0x2000 and 0x40000.
// rar20_audio: 2, then 4 channels (lengths as changes), an LZ block, then 1
// channel; the predictor weights retuned every 32 samples of a channel.
// rar29_ppmd_restart: PPMd of order 16 in 1 MiB; the model fills once.
constexpr Sample kSamples[] = {
    {"rar15_stream.rar", 11000, "f63a754cac2cf53f25fbd98ad57739a406d4556a8124a2887c45d170a3285821"},
    {"rar20_lz.rar", 274011, "39b30582229c9ecd982314eb85f672fff6b4188736423ecde371bcfe8dc14ae4"},
    {"rar20_audio.rar", 7637, "f4a026ccf699362a6419e1c0eac5d07e5a662a1ca576070227844222fa750a65"},
    {"rar29_ppmd_restart.rar", 36275,
     "62c46f0c00202b16614e0c2fe0cbbc81f90ab05b8e8f0216b74df50866d97265"},
};

TEST(RarSampleStreamsTest, MembersMatchTheIndependentUnpacker) {
    struct StringSink final : OutputSink {
        std::string bytes;
        void Write(const std::uint8_t* data, std::size_t n) override {
            bytes.append(reinterpret_cast<const char*>(data), n);
        }
    };
    for (const Sample& s : kSamples) {
        RarReader reader;
        ASSERT_EQ(reader.Open(SamplePath(s.file)), 0) << s.file;
        archive::RarMember m;
        ASSERT_EQ(reader.Next(m), 0) << s.file;
        StringSink sink;
        EXPECT_EQ(reader.Decode(&sink, 0), 0) << s.file;
        EXPECT_EQ(sink.bytes.size(), s.size) << s.file;
        EXPECT_EQ(lumora::test::Sha256Hex(sink.bytes), s.sha256) << s.file;
    }
}

// The PPMd sample reaches the model's restart on full memory before its end.
TEST(RarSampleStreamsTest, PpmdSampleFillsItsModelMemory) {
    const std::vector<RarMember> members = Rar4Members(ReadSample("rar29_ppmd_restart.rar"));
    ASSERT_EQ(members.size(), 1u);
    const std::string& packed = members[0].packed;
    MemorySource src(reinterpret_cast<const std::uint8_t*>(packed.data()), packed.size(), 4096);
    RarBitInput bits(src);
    bits.Fill();
    PpmdH model;
    int escape = 0;
    ASSERT_EQ(model.StartBlock(bits, escape), PpmdH::Start::kOk);
    for (int i = 0; i < 40000 && model.MemoryRestarts() == 0; ++i) {
        bits.Fill();
        ASSERT_GE(model.DecodeChar(bits), 0) << i;
    }
    EXPECT_EQ(model.MemoryRestarts(), 1u);
}

}  // namespace
}  // namespace lumora::archive::test
