// Scan I against the I/O floor (open each archive and read its last 64 KiB),
// both over the same generated collection of 3,000 archives in the same
// iteration, with the cache warm. The counters give the time per archive of
// each and their ratio.
#include <benchmark/benchmark.h>

#include <chrono>

#include "scan_collection.h"

namespace {

using lumora::bench::Kind;
using Clock = std::chrono::steady_clock;

constexpr int kArchives = 3000;

void BM_ScanI(benchmark::State& state) {
    const auto kind = static_cast<Kind>(state.range(0));
    const int workers = static_cast<int>(state.range(1));
    lumora::PrivateTempDir dir;
    const auto paths = lumora::bench::WriteCollection(dir.path(), kind, kArchives);
    lumora::bench::ReadFloor(paths);  // warms the cache
    double floor = 0, scan = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        benchmark::DoNotOptimize(lumora::bench::ReadFloor(paths));
        const auto t1 = Clock::now();
        benchmark::DoNotOptimize(lumora::bench::RunScanI(paths, dir.path(), workers));
        const auto t2 = Clock::now();
        floor += std::chrono::duration<double>(t1 - t0).count();
        scan += std::chrono::duration<double>(t2 - t1).count();
    }
    const double per = 1e3 / (static_cast<double>(state.iterations()) * kArchives);
    state.counters["floor_ms"] = floor * per;
    state.counters["scan_ms"] = scan * per;
    state.counters["ratio"] = scan / floor;
    state.SetLabel(std::string(lumora::bench::KindName(kind)) + " -j " + std::to_string(workers));
}

BENCHMARK(BM_ScanI)
    ->ArgsProduct({{static_cast<int>(Kind::Zip), static_cast<int>(Kind::Arj),
                    static_cast<int>(Kind::Lzh)},
                   {1, 2}})
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

}  // namespace
