// Deflate decoding speed: our Inflate against zlib's on the same streams
// (4 MB of text and of binary-like data, compressed at levels 1, 6 and 9).
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
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

// One decode of the case by each decoder; false when it went wrong.
bool OursOnce(const Case& c) {
    MemorySource src(c.packed);
    DiscardSink sink;
    const auto r = lumora::archive::Inflate(src, sink, {});
    return r.Complete() && sink.total == c.raw.size();
}

bool ZlibOnce(const Case& c, std::vector<std::uint8_t>& out) {
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
    return ret == Z_STREAM_END && total == c.raw.size();
}

void BM_Inflate(benchmark::State& state) {
    const Case c = MakeCase(state);
    for (auto _ : state) {
        if (!OursOnce(c)) state.SkipWithError("decode failed");
    }
    Report(state, c);
}

void BM_ZlibInflate(benchmark::State& state) {
    const Case c = MakeCase(state);
    std::vector<std::uint8_t> out(kChunk);
    for (auto _ : state) {
        if (!ZlibOnce(c, out)) state.SkipWithError("decode failed");
    }
    Report(state, c);
}

// Both decoders in turn in every iteration, each timed: the best time of
// each gives a ratio that load on a shared machine barely moves, as both
// see the same moments.
void BM_InflateAlternating(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    const Case c = MakeCase(state);
    std::vector<std::uint8_t> out(kChunk);
    double ours = 1e300, zlib = 1e300;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        const bool ok = OursOnce(c);
        const auto t1 = Clock::now();
        const bool zok = ZlibOnce(c, out);
        const auto t2 = Clock::now();
        if (!ok || !zok) state.SkipWithError("decode failed");
        ours = std::min(ours, std::chrono::duration<double, std::milli>(t1 - t0).count());
        zlib = std::min(zlib, std::chrono::duration<double, std::milli>(t2 - t1).count());
    }
    state.counters["ours_ms"] = ours;
    state.counters["zlib_ms"] = zlib;
    state.counters["speedup"] = zlib / ours;
}

BENCHMARK(BM_Inflate)
    ->ArgNames({"binary", "level"})
    ->ArgsProduct({{0, 1}, {1, 6, 9}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibInflate)
    ->ArgNames({"binary", "level"})
    ->ArgsProduct({{0, 1}, {1, 6, 9}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InflateAlternating)
    ->ArgNames({"binary", "level"})
    ->ArgsProduct({{0, 1}, {1, 6, 9}})
    ->Iterations(40)
    ->Unit(benchmark::kMillisecond);

}  // namespace
