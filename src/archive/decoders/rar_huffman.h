// Canonical Huffman codes as RAR stores them: code lengths of 0 to 15 bits
// per symbol, codes given out in order of length, then of symbol number, and
// read MSB first. Shared by the unpackers of every RAR version.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "archive/decoders/rar_unpack.h"

namespace lumora::archive {

class RarHuffman {
public:
    static constexpr unsigned kMaxBits = 15;

    // False for an over-subscribed set of lengths (more codes than fit) or a
    // length above kMaxBits. An incomplete set is accepted; reading one of its
    // unused codes fails in Decode.
    bool Build(std::span<const std::uint8_t> lengths);
    bool Build(const std::uint8_t* lengths, std::size_t count) { return Build({lengths, count}); }
    // The next symbol, or -1 for a code the table does not hold.
    int Decode(RarBitInput& in) const {
        const std::uint32_t bits = in.Peek16();
        const std::uint16_t q = quick_[bits >> (16 - kQuickBits)];
        if (q != 0) {
            in.Skip(q >> 12);
            return q & 0x0FFF;
        }
        return DecodeLong(in, bits);
    }

private:
    static constexpr unsigned kQuickBits = 10;

    int DecodeLong(RarBitInput& in, std::uint32_t bits) const;

    // Per length: the first code and the end of its codes, both left-aligned
    // to 16 bits, and the index of its first symbol in symbols_.
    std::array<std::uint32_t, kMaxBits + 1> first_{};
    std::array<std::uint32_t, kMaxBits + 1> limit_{};
    std::array<std::uint32_t, kMaxBits + 1> base_{};
    std::vector<std::uint16_t> symbols_;
    // Codes of up to kQuickBits bits: symbol | length << 12; 0 for longer codes.
    std::array<std::uint16_t, 1u << kQuickBits> quick_{};
};

}  // namespace lumora::archive
