#include "archive/decoders/lz5.h"

#include <cstring>
#include <memory>

#include "archive/core/error_codes.h"
#include "archive/decoders/bit_reader.h"
#include "archive/decoders/ring_window.h"

namespace lumora::archive {
namespace {

constexpr std::size_t kWindowSize = 4096;
constexpr std::size_t kMaxMatch = 18;
constexpr std::size_t kFirstByte = kWindowSize - kMaxMatch;
constexpr std::size_t kMinMatch = 3;

// The window before the first byte: each byte value 13 times, the values
// rising, the values falling, 128 zeros, then blanks up to the first byte.
void FillStartPattern(std::uint8_t* w) {
    std::size_t p = 0;
    for (unsigned v = 0; v < 256; ++v) {
        std::memset(w + p, static_cast<int>(v), 13);
        p += 13;
    }
    for (unsigned v = 0; v < 256; ++v) w[p++] = static_cast<std::uint8_t>(v);
    for (unsigned v = 256; v-- > 0;) w[p++] = static_cast<std::uint8_t>(v);
    std::memset(w + p, 0, 128);
    p += 128;
    std::memset(w + p, ' ', kFirstByte - p);
}

class Lz5Decoder {
public:
    Lz5Decoder(ByteSource& in, OutputSink& out, std::uint64_t originalSize)
        : in_(in), window_(out, kWindowSize, originalSize, kFirstByte) {
        FillStartPattern(window_.Data());
    }

    std::uint64_t Run() {
        DecodeThenFlush(window_, [this] { Decode(); });
        return window_.Produced();
    }

private:
    std::uint8_t Next() {
        const std::uint8_t b = in_.NextByte();
        if (in_.Phantom() != 0) throw DecodeError{ecode::ReadError};
        return b;
    }

    void Decode() {
        // Matches name the absolute window position they copy from; the
        // window copies by distance back from where it writes.
        std::size_t at = kFirstByte;
        unsigned flags = 0;
        while (!window_.Full()) {
            if ((flags >>= 1) < 0x100) flags = Next() | 0xFF00u;
            if (flags & 1) {
                window_.Put(Next());
                at = (at + 1) % kWindowSize;
                continue;
            }
            const std::uint8_t low = Next();
            const std::uint8_t high = Next();
            const std::size_t from = low | std::size_t{high & 0xF0u} << 4;
            const std::size_t len = (high & 0x0Fu) + kMinMatch;
            const std::size_t back = (at + kWindowSize - from) % kWindowSize;
            window_.Copy((back + kWindowSize - 1) % kWindowSize, len);
            at = (at + len) % kWindowSize;
        }
    }

    BlockInput in_;
    RingWindow window_;
};

}  // namespace

std::uint64_t DecodeLz5(ByteSource& in, OutputSink& out, std::uint64_t originalSize) {
    return std::make_unique<Lz5Decoder>(in, out, originalSize)->Run();
}

}  // namespace lumora::archive
