// Our Deflate decoder against zlib's on the same input. Byte 0 chooses:
//   even: the rest is a raw Deflate stream for both decoders; one of them
//         finishes it exactly when the other does, with the same bytes and
//         the same count of input bytes used.
//   odd:  the rest is data that zlib compresses (level, strategy and flush
//         points from bytes 1-3), fed to ours in pieces of a chosen size;
//         ours gives the data back exactly.
#include <zlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "archive/decoders/inflate.h"
#include "archive/decoders/memory_source.h"

using namespace lumora::archive;

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kMaxOutput = 8u << 20;

class CollectSink final : public OutputSink {
public:
    void Write(const std::uint8_t* data, std::size_t n) override {
        out.insert(out.end(), data, data + n);
    }
    Bytes out;
};

void Check(bool ok) {
    if (!ok) std::abort();
}

// zlib's result: true when the stream ended, with its output and the bytes
// it used; false for damaged or unfinished streams and oversized output.
bool ZlibInflate(const std::uint8_t* data, std::size_t size, Bytes& out, std::size_t& used) {
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) std::abort();
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(size);
    int ret = Z_OK;
    std::uint8_t chunk[65536];
    while (ret == Z_OK && out.size() <= kMaxOutput) {
        z.next_out = chunk;
        z.avail_out = sizeof chunk;
        ret = inflate(&z, Z_NO_FLUSH);
        out.insert(out.end(), chunk, chunk + (sizeof chunk - z.avail_out));
        if (ret == Z_OK && z.avail_in == 0 && z.avail_out != 0) break;  // wants more input
    }
    used = z.total_in;
    inflateEnd(&z);
    return ret == Z_STREAM_END && out.size() <= kMaxOutput;
}

void CompareRaw(const std::uint8_t* data, std::size_t size) {
    Bytes theirs;
    std::size_t theirUsed = 0;
    const bool theirsDone = ZlibInflate(data, size, theirs, theirUsed);
    if (!theirsDone && theirs.size() > kMaxOutput) return;
    MemorySource src(data, size);
    CollectSink sink;
    InflateOptions opt;
    opt.maxOutput = kMaxOutput + 1;
    const InflateResult r = Inflate(src, sink, opt);
    if (r.status == InflateStatus::kOutputLimit) return;
    Check(r.Complete() == theirsDone);
    if (!theirsDone) return;
    Check(sink.out == theirs);
    Check(r.inputUsed == theirUsed);
}

void RoundTrip(const std::uint8_t* control, const std::uint8_t* data, std::size_t size) {
    const int level = control[0] % 10;
    const int strategy = (control[0] / 10) % 5;  // default, filtered, Huffman only, RLE, fixed
    const std::size_t flushEvery = 1 + control[1] * 64u;
    const std::size_t piece = 1 + control[2] * 97u;
    z_stream z{};
    if (deflateInit2(&z, level, Z_DEFLATED, -15, 8, strategy) != Z_OK) std::abort();
    Bytes packed(deflateBound(&z, size) + 64 * (size / flushEvery + 2));
    z.next_out = packed.data();
    z.avail_out = static_cast<uInt>(packed.size());
    for (std::size_t pos = 0;;) {
        const std::size_t n = std::min(flushEvery, size - pos);
        z.next_in = const_cast<Bytef*>(data + pos);
        z.avail_in = static_cast<uInt>(n);
        pos += n;
        const int flush = pos == size ? Z_FINISH : (pos / flushEvery) % 2 ? Z_SYNC_FLUSH : Z_BLOCK;
        const int ret = deflate(&z, flush);
        if (flush == Z_FINISH) {
            Check(ret == Z_STREAM_END);
            break;
        }
    }
    packed.resize(z.total_out);
    deflateEnd(&z);

    MemorySource src(packed.data(), packed.size(), piece);
    CollectSink sink;
    const InflateResult r = Inflate(src, sink, {});
    Check(r.Complete());
    Check(sink.out.size() == size && std::equal(sink.out.begin(), sink.out.end(), data));
    Check(r.inputUsed == packed.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    if ((data[0] & 1) == 0) {
        CompareRaw(data + 1, size - 1);
    } else if (size >= 4) {
        RoundTrip(data + 1, data + 4, size - 4);
    }
    return 0;
}
