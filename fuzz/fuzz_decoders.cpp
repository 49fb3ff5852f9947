// Every decoder called directly on any data. Byte 0 chooses the decoder and
// its variant, bytes 1-4 the claimed original size (little-endian); the rest
// is the compressed data. The sink stops a decoder after 256 KiB.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "archive/decoders/arc_lzw.h"
#include "archive/decoders/arc_rle.h"
#include "archive/decoders/arc_squeeze.h"
#include "archive/decoders/arj_method4.h"
#include "archive/decoders/implode.h"
#include "archive/decoders/inflate.h"
#include "archive/decoders/lh1.h"
#include "archive/decoders/memory_source.h"
#include "archive/decoders/reduce.h"
#include "archive/decoders/shrink.h"
#include "archive/decoders/static_huffman.h"
#include "archive/decoders/zoo_lzw.h"

using namespace lumora::archive;

namespace {

constexpr std::uint64_t kSinkLimit = 256u << 10;

struct SinkFull {};

// Touches every byte it gets, so reads of uninitialised or freed memory show.
class CheckingSink final : public OutputSink {
public:
    void Write(const std::uint8_t* data, std::size_t n) override {
        for (std::size_t i = 0; i < n; ++i) sum_ += data[i];
        total_ += n;
        if (total_ > kSinkLimit) throw SinkFull{};
    }
    std::uint64_t total() const { return total_; }

private:
    std::uint64_t total_ = 0;
    unsigned sum_ = 0;
};

void InflateWithHistory(ByteSource& in, OutputSink& out, std::uint64_t size, bool history) {
    InflateOptions opt;
    opt.maxOutput = size;
    std::vector<std::uint8_t> window;
    if (history) {
        window.assign(32768, 0x41);
        opt.history = window;
    }
    Inflate(in, out, opt);
}

void Decode(std::uint8_t selector, ByteSource& in, OutputSink& out, std::uint64_t size) {
    constexpr StaticHuffmanParams kHuffman[] = {kLh4Params, kLh5Params, kArjParams, kZooLzhParams};
    constexpr ArcLzwKind kLzw[] = {ArcLzwKind::CrunchOldHash, ArcLzwKind::CrunchNewHash,
                                   ArcLzwKind::Dynamic12, ArcLzwKind::Dynamic13};
    const unsigned variant = selector >> 4;
    switch (selector & 0x0F) {
        case 0:
            InflateWithHistory(in, out, size, false);
            break;
        case 1:
            InflateWithHistory(in, out, size, true);
            break;  // MSZIP blocks
        case 2:
            DecodeShrink(in, out, size);
            break;
        case 3:
            DecodeReduce(in, out, size, 1 + variant % 4);
            break;
        case 4:
            DecodeImplode(in, out, size, ImplodeParamsFromFlags(variant & 6));
            break;
        case 5:
            DecodeStaticHuffman(in, out, kHuffman[variant % 4], size);
            break;
        case 6:
            DecodeLh1(in, out, size);
            break;
        case 7:
            DecodeArjMethod4(in, out, size);
            break;
        case 8:
            DecodeZooLzw(in, out, size);
            break;
        case 9:
            Unsqueeze(in, out);
            break;
        case 10:
            DecodeArcLzw(in, out, kLzw[variant % 4]);
            break;
        case 11: {
            // Run-length after squeeze or LZW, as ARC methods 3, 4, 6-8 use it.
            ArcRleSink rle(out);
            if (variant & 1) {
                Unsqueeze(in, rle);
            } else {
                DecodeArcLzw(in, rle, kLzw[variant % 4]);
            }
            rle.Flush();
            break;
        }
        default:
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5) return 0;
    const std::uint64_t claimed =
        data[1] | (data[2] << 8) | (data[3] << 16) | (static_cast<std::uint64_t>(data[4]) << 24);
    MemorySource in(data + 5, size - 5);
    CheckingSink out;
    try {
        Decode(data[0], in, out, claimed);
    } catch (const DecodeError&) {
    } catch (const SinkFull&) {
    }
    // Decoders given an original size never write more than it.
    const unsigned kind = data[0] & 0x0F;
    const bool bounded = kind <= 8 && !(kind <= 1 && claimed == 0);
    if (bounded && out.total() > claimed) __builtin_trap();
    return 0;
}
