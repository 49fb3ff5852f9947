#include "archive/decoders/arj_method4.h"

#include <bit>
#include <memory>

#include "archive/decoders/bit_reader.h"
#include "archive/decoders/linear_window.h"

namespace lumora::archive {
namespace {

constexpr std::size_t kWindowSize = 26624;
constexpr unsigned kMatchBias = 2;  // length code v > 0 copies v + 2 bytes

// Bits one symbol takes at most: a length (7 prefix bits and 7 more), then
// a literal (8) or a distance (4 prefix bits and 13 more).
constexpr unsigned kSymbolBits = 14 + 17;

// A value in unary-prefixed form: each 1 bit (up to `maxWidth` - `width`
// of them) adds the next power of two and widens the plain field that
// follows by one bit; a 0 bit ends the prefix unless it is at its longest.
// The bits must have been made available (Ensure).
std::size_t ReadPrefixed(MsbBitReader& in, unsigned width, unsigned maxWidth) {
    const unsigned most = maxWidth - width;
    const auto ones = static_cast<unsigned>(std::countl_one(in.PeekNow(32)));
    const unsigned taken = ones < most ? ones : most;
    in.SkipNow(taken < most ? taken + 1 : taken);
    width += taken;
    const std::size_t sum = ((std::size_t{1} << taken) - 1) << (width - taken);
    const std::size_t plain = in.PeekNow(width);
    in.SkipNow(width);
    return sum + plain;
}

struct Method4State {
    Method4State(ByteSource& in, OutputSink& out, std::uint64_t size)
        : bits(in), window(out, kWindowSize, size) {}
    MsbBitReader bits;
    LinearWindow window;
};

}  // namespace

std::uint64_t DecodeArjMethod4(ByteSource& in, OutputSink& out, std::uint64_t originalSize) {
    auto s = std::make_unique<Method4State>(in, out, originalSize);
    DecodeThenFlush(s->window, [&s] {
        while (!s->window.Full()) {
            s->bits.Ensure(kSymbolBits);
            const std::size_t len = ReadPrefixed(s->bits, 0, 7);
            if (len == 0) {
                const auto byte = static_cast<std::uint8_t>(s->bits.PeekNow(8));
                s->bits.SkipNow(8);
                s->bits.CheckEnd();
                s->window.Put(byte);
            } else {
                const std::size_t dist = ReadPrefixed(s->bits, 9, 13);
                s->bits.CheckEnd();
                s->window.Copy(dist, len + kMatchBias);
            }
        }
    });
    return s->window.Produced();
}

}  // namespace lumora::archive
