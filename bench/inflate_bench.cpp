// Deflate decoding speed: our Inflate against zlib's on the same streams
// (4 MB of text and of binary-like data, compressed at levels 1, 6 and 9).
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "archive/decoders/inflate.h"
#include "archive/decoders/memory_source.h"
#include "deflate_data.h"

namespace {

using lumora::archive::MemorySource;
using lumora::bench::Bytes;
using lumora::bench::DiscardSink;
using lumora::bench::MakeBinary;
using lumora::bench::MakeText;
using lumora::bench::RawDeflate;

constexpr std::size_t kChunk = 32768;

// Both decoders get the same setup: the stream named by the arguments
// (0 text / 1 binary, level), input fed and output taken in 32 KB pieces.
struct Case {
    Bytes raw;
    Bytes packed;
};
Case MakeCase(const benchmark::State& state) {
    Case c{state.range(0) == 0 ? MakeText() : MakeBinary(), {}};
    c.packed = RawDeflate(c.raw, static_cast<int>(state.range(1)));
    return c;
}
void Report(benchmark::State& state, const Case& c) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * c.raw.size()));
    state.counters["ratio%"] = 100.0 * static_cast<double>(c.packed.size()) / c.raw.size();
}

void BM_Inflate(benchmark::State& state) {
    const Case c = MakeCase(state);
    for (auto _ : state) {
        MemorySource src(c.packed);
        DiscardSink sink;
        const auto r = lumora::archive::Inflate(src, sink, {});
        if (!r.Complete() || sink.total != c.raw.size()) state.SkipWithError("decode failed");
    }
    Report(state, c);
}

void BM_ZlibInflate(benchmark::State& state) {
    const Case c = MakeCase(state);
    std::vector<std::uint8_t> out(kChunk);
    for (auto _ : state) {
        z_stream z{};
        inflateInit2(&z, -15);
        std::size_t fed = 0, total = 0;
        int ret = Z_OK;
        while (ret == Z_OK) {
            if (z.avail_in == 0 && fed < c.packed.size()) {
                z.next_in = const_cast<Bytef*>(c.packed.data() + fed);
                z.avail_in = static_cast<uInt>(std::min(kChunk, c.packed.size() - fed));
                fed += z.avail_in;
            }
            z.next_out = out.data();
            z.avail_out = static_cast<uInt>(out.size());
            ret = inflate(&z, Z_NO_FLUSH);
            benchmark::DoNotOptimize(out.data());
            total += out.size() - z.avail_out;
        }
        inflateEnd(&z);
        if (ret != Z_STREAM_END || total != c.raw.size()) state.SkipWithError("decode failed");
    }
    Report(state, c);
}

BENCHMARK(BM_Inflate)
    ->ArgNames({"binary", "level"})
    ->ArgsProduct({{0, 1}, {1, 6, 9}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibInflate)
    ->ArgNames({"binary", "level"})
    ->ArgsProduct({{0, 1}, {1, 6, 9}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
