// Decoding speed of the Shrink, Reduce and Implode decoders on the members
// of corpus archives (read from the local headers, all members of an
// archive one after another). Skipped when the corpus is absent.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "archive/decoders/implode.h"
#include "archive/decoders/reduce.h"
#include "archive/decoders/shrink.h"
#include "archive_walk.h"

namespace {

using lumora::archive::OutputSink;
using lumora::bench::Bytes;
using lumora::bench::Le;
using lumora::bench::MemorySource;

struct LegacyMember {
    unsigned method = 0;
    unsigned flags = 0;
    Bytes data;
    std::uint64_t original = 0;
};

// $LUMORA_CORPUS_DIR, else the corpus beside the source tree.
std::string CorpusDir() {
    if (const char* dir = std::getenv("LUMORA_CORPUS_DIR")) return dir;
    const std::string source = __FILE__;
    return source.substr(0, source.rfind("/bench/")) + "/../shared/corpus";
}

// The members with methods 1 to 6, from the local headers.
std::vector<LegacyMember> ReadMembers(const std::string& archive) {
    const Bytes b = lumora::bench::ReadFileBytes(CorpusDir() + "/zip/" + archive);
    std::vector<LegacyMember> out;
    std::size_t o = 0;
    while (o + 30 <= b.size() && Le(b, o, 4) == 0x04034B50) {
        const std::size_t packed = Le(b, o + 18, 4);
        const std::size_t data = o + 30 + Le(b, o + 26, 2) + Le(b, o + 28, 2);
        if (data + packed > b.size()) break;
        LegacyMember m;
        m.method = Le(b, o + 8, 2);
        m.flags = Le(b, o + 6, 2);
        m.original = Le(b, o + 22, 4);
        m.data.assign(b.begin() + static_cast<std::ptrdiff_t>(data),
                      b.begin() + static_cast<std::ptrdiff_t>(data + packed));
        if (m.method >= 1 && m.method <= 6) out.push_back(std::move(m));
        o = data + packed;
    }
    return out;
}

class NullSink : public OutputSink {
public:
    void Write(const std::uint8_t*, std::size_t n) override { bytes += n; }
    std::uint64_t bytes = 0;
};

void BM_Legacy(benchmark::State& state, const std::string& archive) {
    const std::vector<LegacyMember> members = ReadMembers(archive);
    if (members.empty()) {
        state.SkipWithError("corpus archive not found");
        return;
    }
    std::uint64_t total = 0;
    for (auto _ : state) {
        for (const LegacyMember& m : members) {
            MemorySource in(m.data);
            NullSink out;
            if (m.method == 1) {
                lumora::archive::DecodeShrink(in, out, m.original);
            } else if (m.method <= 5) {
                lumora::archive::DecodeReduce(in, out, m.original, m.method - 1);
            } else {
                lumora::archive::DecodeImplode(
                    in, out, m.original,
                    lumora::archive::ImplodeParamsFromFlags(static_cast<std::uint16_t>(m.flags)));
            }
            total += out.bytes;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(total));
}

BENCHMARK_CAPTURE(BM_Legacy, Shrink, std::string("SHRINK.ZIP"));
BENCHMARK_CAPTURE(BM_Legacy, Reduce4, std::string("REDUCE4.ZIP"));
BENCHMARK_CAPTURE(BM_Legacy, Implode8K3T, std::string("IMPL8K3T.ZIP"));
BENCHMARK_CAPTURE(BM_Legacy, Implode4K2T, std::string("IMPL4K2T.ZIP"));

}  // namespace
