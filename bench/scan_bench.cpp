// Scan I against the I/O floor (open each archive and read its last 64 KiB),
// all over the same generated collection of 3,000 archives in the same
// iteration, with the cache warm. The counters give the time per archive of
// each and their ratios.
#include <benchmark/benchmark.h>

#include <chrono>

#include "scan_collection.h"

namespace {

using lumora::bench::Kind;
using Clock = std::chrono::steady_clock;

constexpr int kArchives = 3000;

// Scan I with one reader and with two, each against the floor of the same
// iteration, and the gain of the second reader.
void BM_ScanI(benchmark::State& state) {
    const auto kind = static_cast<Kind>(state.range(0));
    lumora::PrivateTempDir dir;
    const auto paths = lumora::bench::WriteCollection(dir.path(), kind, kArchives);
    lumora::bench::ReadFloor(paths);  // warms the cache
    double floor = 0, one = 0, two = 0;
    const auto timed = [](const auto& run) {
        const auto t0 = Clock::now();
        run();
        return std::chrono::duration<double>(Clock::now() - t0).count();
    };
    for (auto _ : state) {
        floor += timed([&] { benchmark::DoNotOptimize(lumora::bench::ReadFloor(paths)); });
        one +=
            timed([&] { benchmark::DoNotOptimize(lumora::bench::RunScanI(paths, dir.path(), 1)); });
        two +=
            timed([&] { benchmark::DoNotOptimize(lumora::bench::RunScanI(paths, dir.path(), 2)); });
    }
    const double per = 1e3 / (static_cast<double>(state.iterations()) * kArchives);
    state.counters["floor_ms"] = floor * per;
    state.counters["j1_ms"] = one * per;
    state.counters["j2_ms"] = two * per;
    state.counters["ratio_j1"] = one / floor;
    state.counters["ratio_j2"] = two / floor;
    state.counters["gain_j2"] = one / two;
    state.SetLabel(lumora::bench::KindName(kind));
}

BENCHMARK(BM_ScanI)
    ->Arg(static_cast<int>(Kind::Zip))
    ->Arg(static_cast<int>(Kind::Arj))
    ->Arg(static_cast<int>(Kind::Lzh))
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

}  // namespace
