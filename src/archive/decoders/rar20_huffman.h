// Canonical Huffman codes as RAR 2.0 and later send them: code lengths of at
// most 15 bits per symbol, codes assigned in order of length, then symbol,
// read MSB first. Shared by the RAR 2.0, 5 and 1.5 unpackers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "archive/decoders/rar_unpack.h"

namespace lumora::archive {

class RarHuffman {
public:
    static constexpr unsigned kMaxBits = 15;

    // False when the lengths describe more codes than fit (over-subscribed)
    // or a length is above kMaxBits. Unused codes of an incomplete set are
    // refused by Decode.
    bool Build(const std::uint8_t* lengths, std::size_t count);
    // The next symbol, or -1 for a code no symbol has.
    int Decode(RarBitInput& in) const {
        const std::uint32_t v = in.Peek16();
        if (v < limit_[kQuickBits]) {
            const std::uint16_t e = quick_[v >> (16 - kQuickBits)];
            in.Skip(e >> 12);
            return e & 0x0FFF;
        }
        return DecodeLong(in, v);
    }

private:
    static constexpr unsigned kQuickBits = 10;

    int DecodeLong(RarBitInput& in, std::uint32_t v) const;

    // For each length: the first code and the end of its codes, both
    // left-aligned to 16 bits, and where its symbols start in sorted_.
    std::array<std::uint32_t, kMaxBits + 2> first_{};
    std::array<std::uint32_t, kMaxBits + 2> limit_{};
    std::array<std::uint16_t, kMaxBits + 2> start_{};
    std::vector<std::uint16_t> sorted_;
    // Codes of up to kQuickBits bits: length << 12 | symbol.
    std::array<std::uint16_t, 1u << kQuickBits> quick_{};
};

}  // namespace lumora::archive
