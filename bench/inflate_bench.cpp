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

namespace {

using Bytes = std::vector<std::uint8_t>;
using lumora::archive::MemorySource;
using lumora::archive::OutputSink;

constexpr std::size_t kDataSize = 4 << 20;
constexpr std::size_t kChunk = 32768;

// Words drawn with a skewed distribution, in lines: compresses like prose.
Bytes MakeText() {
    std::mt19937 rng(11);
    std::vector<std::string> words;
    for (int i = 0; i < 2000; ++i) {
        std::string w;
        const int len = 2 + static_cast<int>(rng() % 9);
        for (int c = 0; c < len; ++c) w += static_cast<char>('a' + rng() % 26);
        words.push_back(w);
    }
    std::geometric_distribution<int> pick(0.01);
    Bytes out;
    int column = 0;
    while (out.size() < kDataSize) {
        const std::string& w = words[static_cast<std::size_t>(pick(rng)) % words.size()];
        out.insert(out.end(), w.begin(), w.end());
        column += static_cast<int>(w.size()) + 1;
        if (column > 70) {
            out.push_back('\r');
            out.push_back('\n');
            column = 0;
        } else {
            out.push_back(rng() % 12 == 0 ? ',' : ' ');
        }
    }
    out.resize(kDataSize);
    return out;
}

// Records of counters, small numbers, repeated opcode-like runs and noise.
Bytes MakeBinary() {
    std::mt19937 rng(12);
    const std::uint8_t patterns[][6] = {{0x55, 0x8B, 0xEC, 0x83, 0xEC, 0x10},
                                        {0x8B, 0x45, 0x08, 0x50, 0xE8, 0x00},
                                        {0x5D, 0xC3, 0x90, 0x90, 0x90, 0x90}};
    Bytes out;
    std::uint32_t counter = 0;
    while (out.size() < kDataSize) {
        const unsigned kind = rng() % 8;
        if (kind < 3) {
            out.insert(out.end(), patterns[kind], patterns[kind] + 6);
        } else if (kind < 5) {
            counter += rng() % 64;
            for (int i = 0; i < 4; ++i)
                out.push_back(static_cast<std::uint8_t>(counter >> (8 * i)));
        } else if (kind < 7) {
            out.push_back(static_cast<std::uint8_t>(rng() % 16));
            out.push_back(0);
        } else {
            for (int i = 0; i < 12; ++i) out.push_back(static_cast<std::uint8_t>(rng()));
        }
    }
    out.resize(kDataSize);
    return out;
}

Bytes RawDeflate(const Bytes& data, int level) {
    z_stream z{};
    if (deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    Bytes out(deflateBound(&z, data.size()));
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    if (deflate(&z, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate");
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

class DiscardSink : public OutputSink {
public:
    void Write(const std::uint8_t* data, std::size_t n) override {
        benchmark::DoNotOptimize(data);
        total += n;
    }
    std::size_t total = 0;
};

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
