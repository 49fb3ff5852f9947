// The work whose instruction count CI guards, run once under callgrind:
//   count_probe scan     Scan I over 300 generated archives (ZIP, ARJ, LZH)
//   count_probe inflate  the Deflate decoder over a fixed 2 MB text stream
// Only the functions named Measured* are counted (--toggle-collect), so the
// setup around them does not move the figure.
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "archive/decoders/inflate.h"
#include "archive/decoders/memory_source.h"
#include "raw_deflate.h"
#include "scan_collection.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

class CountingSink : public lumora::archive::OutputSink {
public:
    void Write(const std::uint8_t*, std::size_t n) override { total += n; }
    std::size_t total = 0;
};

// Lines of words drawn from a fixed vocabulary with a fixed seed.
Bytes FixedText() {
    std::mt19937 rng(21);
    std::vector<std::string> words;
    for (int i = 0; i < 1500; ++i) {
        std::string w;
        for (int c = 2 + static_cast<int>(rng() % 9); c > 0; --c)
            w += static_cast<char>('a' + rng() % 26);
        words.push_back(w);
    }
    std::geometric_distribution<int> pick(0.01);
    Bytes out;
    while (out.size() < (2u << 20)) {
        const std::string& w = words[static_cast<std::size_t>(pick(rng)) % words.size()];
        out.insert(out.end(), w.begin(), w.end());
        out.push_back(rng() % 10 == 0 ? '\n' : ' ');
    }
    return out;
}

__attribute__((noinline)) std::size_t MeasuredInflate(const Bytes& packed) {
    lumora::archive::MemorySource src(packed);
    CountingSink sink;
    // The loop for any CPU, so that the count does not depend on the machine.
    lumora::archive::InflateOptions opt;
    opt.portableLoop = true;
    lumora::archive::Inflate(src, sink, opt);
    return sink.total;
}

__attribute__((noinline)) std::size_t MeasuredScan(const std::vector<std::string>& paths,
                                                   const std::string& folder) {
    return lumora::bench::RunScanI(paths, folder, 1);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string what = argc > 1 ? argv[1] : "";
    if (what == "inflate") {
        const Bytes text = FixedText();
        const std::size_t n = MeasuredInflate(lumora::bench::RawDeflate(text, 6));
        if (n != text.size()) {
            std::fprintf(stderr, "count_probe: the decoder gave %zu bytes, not %zu\n", n,
                         text.size());
            return 1;
        }
        return 0;
    }
    if (what == "scan") {
        using lumora::bench::Kind;
        lumora::PrivateTempDir dir;
        std::vector<std::string> paths;
        for (Kind k : {Kind::Zip, Kind::Arj, Kind::Lzh}) {
            for (auto& p : lumora::bench::WriteCollection(dir.path(), k, 100)) paths.push_back(p);
        }
        const std::size_t described = MeasuredScan(paths, dir.path());
        if (described != paths.size()) {
            std::fprintf(stderr, "count_probe: %zu of %zu archives listed with their description\n",
                         described, paths.size());
            return 1;
        }
        return 0;
    }
    std::fprintf(stderr, "usage: count_probe scan|inflate\n");
    return 2;
}
