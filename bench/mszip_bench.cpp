// MSZIP decoding speed: a folder of 32 KB blocks, each a Deflate stream that
// may refer to the block before, decoded by our folder decoder and by zlib
// (reset and given the previous block as its dictionary for every block).
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "archive/formats/cab/cab_folder.h"
#include "archive/formats/cab/cab_header.h"
#include "deflate_data.h"

namespace {

using lumora::archive::CabFolderDecoder;
using lumora::bench::Bytes;
using lumora::bench::DiscardSink;

constexpr std::size_t kBlock = 32768;

// "CK" and a final Deflate stream per block, each primed with the block
// before, as cabinet makers write them.
std::vector<Bytes> MsZipBlocks(const Bytes& data, int level) {
    z_stream z{};
    if (deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::vector<Bytes> blocks;
    for (std::size_t pos = 0; pos < data.size(); pos += kBlock) {
        deflateReset(&z);
        if (pos != 0) deflateSetDictionary(&z, data.data() + pos - kBlock, kBlock);
        const std::size_t n = std::min(kBlock, data.size() - pos);
        Bytes out(2 + deflateBound(&z, n));
        out[0] = 'C';
        out[1] = 'K';
        z.next_in = const_cast<Bytef*>(data.data() + pos);
        z.avail_in = static_cast<uInt>(n);
        z.next_out = out.data() + 2;
        z.avail_out = static_cast<uInt>(out.size() - 2);
        if (deflate(&z, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate");
        out.resize(out.size() - z.avail_out);
        blocks.push_back(std::move(out));
    }
    deflateEnd(&z);
    return blocks;
}

struct Case {
    Bytes raw;
    std::vector<Bytes> blocks;
};
// The folder named by the arguments (0 text / 1 binary, level).
Case MakeCase(const benchmark::State& state) {
    Case c{state.range(0) == 0 ? lumora::bench::MakeText() : lumora::bench::MakeBinary(), {}};
    c.blocks = MsZipBlocks(c.raw, static_cast<int>(state.range(1)));
    return c;
}

void BM_MsZip(benchmark::State& state) {
    const Case c = MakeCase(state);
    for (auto _ : state) {
        CabFolderDecoder folder(lumora::archive::kCabMsZip);
        DiscardSink sink;
        for (const Bytes& b : c.blocks) folder.Block(b, false, sink);
        if (sink.total != c.raw.size()) state.SkipWithError("decode failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * c.raw.size()));
}

void BM_ZlibMsZip(benchmark::State& state) {
    const Case c = MakeCase(state);
    Bytes out(2 * kBlock);  // this block after the one before
    for (auto _ : state) {
        z_stream z{};
        inflateInit2(&z, -15);
        std::size_t total = 0;
        bool ok = true;
        for (std::size_t i = 0; i < c.blocks.size() && ok; ++i) {
            inflateReset(&z);
            if (i != 0) inflateSetDictionary(&z, out.data(), kBlock);
            z.next_in = const_cast<Bytef*>(c.blocks[i].data() + 2);
            z.avail_in = static_cast<uInt>(c.blocks[i].size() - 2);
            z.next_out = out.data() + kBlock;
            z.avail_out = kBlock;
            ok = inflate(&z, Z_FINISH) == Z_STREAM_END;
            const std::size_t n = kBlock - z.avail_out;
            benchmark::DoNotOptimize(out.data());
            std::copy(out.begin() + kBlock, out.begin() + static_cast<long>(kBlock + n),
                      out.begin());
            total += n;
        }
        inflateEnd(&z);
        if (!ok || total != c.raw.size()) state.SkipWithError("decode failed");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * c.raw.size()));
}

BENCHMARK(BM_MsZip)
    ->ArgNames({"binary", "level"})
    ->ArgsProduct({{0, 1}, {6}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibMsZip)
    ->ArgNames({"binary", "level"})
    ->ArgsProduct({{0, 1}, {6}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
