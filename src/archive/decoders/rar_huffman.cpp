#include "archive/decoders/rar_huffman.h"

#include <algorithm>

namespace lumora::archive {

bool RarHuffman::Build(std::span<const std::uint8_t> lengths) {
    std::array<std::uint32_t, kMaxBits + 1> count{};
    for (const std::uint8_t len : lengths) {
        if (len > kMaxBits) return false;
        ++count[len];
    }
    count[0] = 0;
    std::int64_t left = 1;
    for (unsigned len = 1; len <= kMaxBits; ++len) {
        left = 2 * left - count[len];
        if (left < 0) return false;
    }
    std::uint32_t code = 0;
    std::uint32_t index = 0;
    for (unsigned len = 1; len <= kMaxBits; ++len) {
        first_[len] = code << (16 - len);
        limit_[len] = (code + count[len]) << (16 - len);
        base_[len] = index;
        index += count[len];
        code = (code + count[len]) << 1;
    }
    symbols_.assign(index, 0);
    std::array<std::uint32_t, kMaxBits + 1> next = base_;
    for (std::size_t sym = 0; sym < lengths.size(); ++sym) {
        if (lengths[sym] != 0) symbols_[next[lengths[sym]]++] = static_cast<std::uint16_t>(sym);
    }
    quick_.fill(0);
    for (unsigned len = 1; len <= kQuickBits; ++len) {
        for (std::uint32_t i = 0; i < count[len]; ++i) {
            const std::uint32_t start =
                (first_[len] >> (16 - kQuickBits)) + (i << (kQuickBits - len));
            const auto entry = static_cast<std::uint16_t>(symbols_[base_[len] + i] | (len << 12));
            std::fill_n(quick_.begin() + start, std::size_t{1} << (kQuickBits - len), entry);
        }
    }
    return true;
}

int RarHuffman::DecodeLong(RarBitInput& in, std::uint32_t bits) const {
    for (unsigned len = kQuickBits + 1; len <= kMaxBits; ++len) {
        if (bits < limit_[len]) {
            if (bits < first_[len]) return -1;
            in.Skip(len);
            return symbols_[base_[len] + ((bits - first_[len]) >> (16 - len))];
        }
    }
    return -1;
}

}  // namespace lumora::archive
