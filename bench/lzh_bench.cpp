// Decoding speed of the LZH-family decoders on one 4 MB member of text-like
// data: -lh5-, -lh6- and -lh7- made by jLHA, ARJ methods 1 and 4 made by
// arj. The archives
// are made at start-up; a benchmark whose archiver is missing is skipped.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "archive/decoders/arj_method4.h"
#include "archive/decoders/static_huffman.h"
#include "archive_walk.h"

namespace {

using lumora::archive::OutputSink;
using lumora::bench::Bytes;
using lumora::bench::Member;
using lumora::bench::MemorySource;

constexpr std::size_t kDataSize = 4 << 20;

// Lines of words drawn with a skewed distribution, like prose.
Bytes MakeText() {
    std::mt19937 rng(17);
    std::vector<std::string> words;
    for (int i = 0; i < 3000; ++i) {
        std::string w(2 + rng() % 9, ' ');
        for (char& c : w) c = static_cast<char>('a' + rng() % 26);
        words.push_back(w + (rng() % 10 == 0 ? ".\r\n" : " "));
    }
    std::geometric_distribution<int> pick(0.005);
    Bytes out;
    while (out.size() < kDataSize) {
        const std::string& w = words[static_cast<std::size_t>(pick(rng)) % words.size()];
        out.insert(out.end(), w.begin(), w.end());
    }
    out.resize(kDataSize);
    return out;
}

// The archive `name` made by `command` (run in a scratch folder, with the
// archive and data file names appended), or empty when that fails.
Bytes MakeArchive(const std::string& command, const std::string& name) {
    char pattern[] = "/tmp/lumora-bench-XXXXXX";
    if (!mkdtemp(pattern)) return {};
    const std::filesystem::path dir = pattern;
    const Bytes text = MakeText();
    std::ofstream(dir / "DATA.TXT", std::ios::binary)
        .write(reinterpret_cast<const char*>(text.data()),
               static_cast<std::streamsize>(text.size()));
    const std::string cmd =
        "cd '" + dir.string() + "' && " + command + " " + name + " DATA.TXT >/dev/null 2>&1";
    Bytes archive;
    if (std::system(cmd.c_str()) == 0) archive = lumora::bench::ReadFileBytes(dir / name);
    std::filesystem::remove_all(dir);
    return archive;
}

class CountingSink : public OutputSink {
public:
    void Write(const std::uint8_t*, std::size_t n) override { total += n; }
    std::uint64_t total = 0;
};

template <typename Walk, typename Decode>
void RunDecoder(benchmark::State& state, const Bytes& archive, Walk walk, Decode decode) {
    const auto members = archive.empty() ? std::vector<Member>{} : walk(archive);
    if (members.empty()) {
        state.SkipWithError("archiver missing or archive not made");
        return;
    }
    const Member& m = members.front();
    for (auto _ : state) {
        MemorySource src(archive.data() + m.offset, m.packed);
        CountingSink sink;
        decode(src, sink, m.original);
        benchmark::DoNotOptimize(sink.total);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * m.original));
}

void BM_Lh5(benchmark::State& state) {
    static const Bytes archive = MakeArchive("jlha a1o5q", "OUT.LZH");
    RunDecoder(state, archive, lumora::bench::WalkLha, [](auto& in, auto& out, auto size) {
        lumora::archive::DecodeStaticHuffman(in, out, lumora::archive::kLh5Params, size);
    });
}
BENCHMARK(BM_Lh5)->Unit(benchmark::kMillisecond);

void BM_Lh6(benchmark::State& state) {
    static const Bytes archive = MakeArchive("jlha a1o6q", "OUT.LZH");
    RunDecoder(state, archive, lumora::bench::WalkLha, [](auto& in, auto& out, auto size) {
        lumora::archive::DecodeStaticHuffman(in, out, lumora::archive::kLh6Params, size);
    });
}
BENCHMARK(BM_Lh6)->Unit(benchmark::kMillisecond);

void BM_Lh7(benchmark::State& state) {
    static const Bytes archive = MakeArchive("jlha a1o7q", "OUT.LZH");
    RunDecoder(state, archive, lumora::bench::WalkLha, [](auto& in, auto& out, auto size) {
        lumora::archive::DecodeStaticHuffman(in, out, lumora::archive::kLh7Params, size);
    });
}
BENCHMARK(BM_Lh7)->Unit(benchmark::kMillisecond);

void BM_ArjMethod1(benchmark::State& state) {
    static const Bytes archive = MakeArchive("arj a -y -m1", "OUT.ARJ");
    RunDecoder(state, archive, lumora::bench::WalkArj, [](auto& in, auto& out, auto size) {
        lumora::archive::DecodeStaticHuffman(in, out, lumora::archive::kArjParams, size);
    });
}
BENCHMARK(BM_ArjMethod1)->Unit(benchmark::kMillisecond);

void BM_ArjMethod4(benchmark::State& state) {
    static const Bytes archive = MakeArchive("arj a -y -m4", "OUT.ARJ");
    RunDecoder(state, archive, lumora::bench::WalkArj, [](auto& in, auto& out, auto size) {
        lumora::archive::DecodeArjMethod4(in, out, size);
    });
}
BENCHMARK(BM_ArjMethod4)->Unit(benchmark::kMillisecond);

}  // namespace
