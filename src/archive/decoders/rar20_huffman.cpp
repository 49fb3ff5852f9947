#include "archive/decoders/rar20_huffman.h"

namespace lumora::archive {

bool RarHuffman::Build(const std::uint8_t* lengths, std::size_t count) {
    std::array<std::uint16_t, kMaxBits + 1> perLength{};
    for (std::size_t i = 0; i < count; ++i) {
        if (lengths[i] > kMaxBits) return false;
        ++perLength[lengths[i]];
    }
    perLength[0] = 0;
    std::uint32_t code = 0;
    std::uint16_t index = 0;
    for (unsigned len = 1; len <= kMaxBits; ++len) {
        first_[len] = code;
        start_[len] = index;
        code += std::uint32_t{perLength[len]} << (16 - len);
        index = static_cast<std::uint16_t>(index + perLength[len]);
        limit_[len] = code;
    }
    if (code > 0x10000) return false;
    limit_[kMaxBits + 1] = code;
    sorted_.assign(index, 0);
    std::array<std::uint16_t, kMaxBits + 1> next{};
    for (unsigned len = 1; len <= kMaxBits; ++len) next[len] = start_[len];
    for (std::size_t i = 0; i < count; ++i) {
        if (lengths[i] != 0) sorted_[next[lengths[i]]++] = static_cast<std::uint16_t>(i);
    }
    // Fill the quick table: every kQuickBits-bit prefix below limit_[kQuickBits]
    // starts a code of at most kQuickBits bits.
    unsigned len = 1;
    for (std::uint32_t p = 0; p < (1u << kQuickBits); ++p) {
        const std::uint32_t v = p << (16 - kQuickBits);
        if (v >= limit_[kQuickBits]) break;
        while (v >= limit_[len]) ++len;
        const std::uint32_t sym = sorted_[start_[len] + ((v - first_[len]) >> (16 - len))];
        quick_[p] = static_cast<std::uint16_t>((len << 12) | sym);
    }
    return true;
}

int RarHuffman::DecodeLong(RarBitInput& in, std::uint32_t v) const {
    unsigned len = kQuickBits + 1;
    while (len <= kMaxBits && v >= limit_[len]) ++len;
    if (len > kMaxBits) return -1;
    in.Skip(len);
    return sorted_[start_[len] + ((v - first_[len]) >> (16 - len))];
}

}  // namespace lumora::archive
