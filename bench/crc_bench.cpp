// CRC speed: our CRC-32 against zlib's crc32() on the same buffers, and
// both accumulators against their slicing code alone (the path CPUs without
// carry-less multiplication take) and CRC-32 against its 128-bit folding
// alone. Buffers of 64 bytes, 1 KiB and 4 MiB.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <random>
#include <vector>

#include "archive/core/crc.h"
#include "archive/core/crc_paths.h"

namespace {

using namespace lumora::archive;

std::vector<std::uint8_t> Buffer(const benchmark::State& state) {
    std::mt19937 gen(99);
    std::vector<std::uint8_t> v(static_cast<std::size_t>(state.range(0)));
    for (auto& b : v) b = static_cast<std::uint8_t>(gen());
    return v;
}

// Runs `crc` over the buffer once per iteration, counting its bytes.
template <typename Fn>
void Run(benchmark::State& state, Fn crc) {
    const auto data = Buffer(state);
    for (auto _ : state) benchmark::DoNotOptimize(crc(data.data(), data.size()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

void BM_Crc32(benchmark::State& state) {
    Run(state, [](const std::uint8_t* p, std::size_t n) {
        Crc32 crc;
        crc.Update(p, n);
        return crc.Value();
    });
}

void BM_ZlibCrc32(benchmark::State& state) {
    Run(state,
        [](const std::uint8_t* p, std::size_t n) { return ::crc32(0, p, static_cast<uInt>(n)); });
}

void BM_Crc32Slicing(benchmark::State& state) {
    Run(state, [](const std::uint8_t* p, std::size_t n) {
        return ~crc_paths::Crc32On(crc_paths::CrcPath::Slicing, 0xFFFFFFFFu, p, n);
    });
}

// The 128-bit folding alone, to show what the wider registers add.
void BM_Crc32Folding128(benchmark::State& state) {
    if (!crc_paths::PathAvailable(crc_paths::CrcPath::Folding128))
        return state.SkipWithError("no PCLMULQDQ");
    Run(state, [](const std::uint8_t* p, std::size_t n) {
        return ~crc_paths::Crc32On(crc_paths::CrcPath::Folding128, 0xFFFFFFFFu, p, n);
    });
}

void BM_Crc16(benchmark::State& state) {
    Run(state, [](const std::uint8_t* p, std::size_t n) {
        Crc16 crc(0);
        crc.Update(p, n);
        return crc.Value();
    });
}

void BM_Crc16Slicing(benchmark::State& state) {
    Run(state, [](const std::uint8_t* p, std::size_t n) {
        return crc_paths::Crc16On(crc_paths::CrcPath::Slicing, 0, p, n);
    });
}

#define CRC_SIZES Arg(64)->Arg(1024)->Arg(4 << 20)
BENCHMARK(BM_Crc32)->CRC_SIZES;
BENCHMARK(BM_ZlibCrc32)->CRC_SIZES;
BENCHMARK(BM_Crc32Slicing)->CRC_SIZES;
BENCHMARK(BM_Crc32Folding128)->CRC_SIZES;
BENCHMARK(BM_Crc16)->CRC_SIZES;
BENCHMARK(BM_Crc16Slicing)->CRC_SIZES;

}  // namespace
