#include "archive/decoders/arj_method4.h"

#include <memory>

#include "archive/decoders/bit_reader.h"
#include "archive/decoders/linear_window.h"

namespace lumora::archive {
namespace {

constexpr std::size_t kWindowSize = 26624;
constexpr unsigned kMatchBias = 2;  // length code v > 0 copies v + 2 bytes

// A value in unary-prefixed form: each 1 bit (up to `maxWidth` - `width`
// of them) adds the next power of two and widens the plain field that
// follows by one bit.
std::size_t ReadPrefixed(MsbBitReader& in, unsigned width, unsigned maxWidth) {
    std::size_t sum = 0;
    std::size_t step = std::size_t{1} << width;
    while (width < maxWidth && in.Get(1) != 0) {
        sum += step;
        step <<= 1;
        ++width;
    }
    return sum + (width > 0 ? in.Get(width) : 0);
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
            const std::size_t len = ReadPrefixed(s->bits, 0, 7);
            if (len == 0) {
                const auto byte = static_cast<std::uint8_t>(s->bits.Get(8));
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
