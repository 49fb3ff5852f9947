#include "archive/decoders/arj_method4.h"

#include <bit>
#include <memory>

#include "archive/decoders/bit_reader.h"
#include "archive/decoders/linear_window.h"

namespace lumora::archive {
namespace {

constexpr std::size_t kWindowSize = 26624;
constexpr unsigned kMatchBias = 2;  // length code v > 0 copies v + 2 bytes

// A value in unary-prefixed form: each 1 bit (up to `maxWidth` - `width`
// of them) adds the next power of two and widens the plain field that
// follows by one bit; a 0 bit ends the prefix unless it is at its longest.
std::size_t ReadPrefixed(MsbBitReader& in, unsigned width, unsigned maxWidth) {
    const unsigned most = maxWidth - width;
    const std::uint32_t prefix = in.Peek(most);
    const auto ones =
        static_cast<unsigned>(std::countl_one(static_cast<std::uint32_t>(prefix << (32 - most))));
    const unsigned taken = ones < most ? ones : most;
    in.Skip(taken < most ? taken + 1 : taken);
    width += taken;
    const std::size_t sum = ((std::size_t{1} << taken) - 1) << (width - taken);
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
