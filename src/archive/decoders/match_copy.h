// The match copy of the LZ decoders that write into one linear buffer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace lumora::archive {

// Copies `len` bytes to `dst` from `dist` (at least 1) bytes before it; the
// regions may overlap (dist < len repeats the pattern). Copies whole words,
// so up to 15 bytes past the match's end are overwritten: the buffer needs
// that much room after every match.
inline void CopyMatch(std::uint8_t* dst, std::size_t dist, std::size_t len) {
    constexpr std::size_t kWord = 8;
    const std::uint8_t* src = dst - dist;
    std::uint8_t* const end = dst + len;
    if (dist >= kWord) {
        // Two words cover most matches without a loop; each load reads only
        // bytes that are final, the second possibly just stored by the first.
        std::uint64_t w;
        std::memcpy(&w, src, kWord);
        std::memcpy(dst, &w, kWord);
        std::memcpy(&w, src + kWord, kWord);
        std::memcpy(dst + kWord, &w, kWord);
        if (len <= 2 * kWord) return;
        src += 2 * kWord;
        dst += 2 * kWord;
        if (dist >= 2 * kWord) {
            do {
                std::uint8_t v[2 * kWord];
                std::memcpy(v, src, sizeof v);
                std::memcpy(dst, v, sizeof v);
                src += sizeof v;
                dst += sizeof v;
            } while (dst < end);
            return;
        }
        do {
            std::memcpy(&w, src, kWord);
            std::memcpy(dst, &w, kWord);
            src += kWord;
            dst += kWord;
        } while (dst < end);
        return;
    }
    // The pattern of the first `dist` bytes repeated through a word, stored
    // at steps of the largest multiple of `dist` up to a word: no load waits
    // for a store of this copy.
    std::uint64_t w;
    std::memcpy(&w, src, kWord);
    w &= (std::uint64_t{1} << (8 * dist)) - 1;
    for (std::size_t shift = 8 * dist; shift < 8 * kWord; shift *= 2) w |= w << shift;
    constexpr std::uint8_t kStep[kWord] = {0, 8, 8, 6, 8, 5, 6, 7};
    const std::size_t step = kStep[dist];
    do {
        std::memcpy(dst, &w, kWord);
        dst += step;
    } while (dst < end);
}

namespace match_copy_detail {
// Row d (1 to 15) of 16 indices picks byte i % d: a period of d repeated;
// row 16 keeps the bytes as they are. Row 0 is never used.
struct alignas(16) ShuffleRows {
    std::uint8_t row[17][16];
};
inline constexpr ShuffleRows kRepeat = [] {
    ShuffleRows t{};
    for (unsigned d = 1; d <= 16; ++d)
        for (unsigned i = 0; i < 16; ++i) t.row[d][i] = static_cast<std::uint8_t>(i % d);
    return t;
}();
// The largest multiple of d up to 16, for d from 1 to 15.
inline constexpr auto kStep16 = [] {
    std::array<std::uint8_t, 16> step{};
    for (unsigned d = 1; d < 16; ++d) step[d] = static_cast<std::uint8_t>(16 - 16 % d);
    return step;
}();

typedef std::uint8_t Bytes16 __attribute__((vector_size(16)));
inline Bytes16 Load16(const std::uint8_t* p) {
    Bytes16 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
// Byte i of the result is byte `mask[i]` (below 16) of `v`: one PSHUFB
// where the caller is built for SSSE3.
[[gnu::always_inline]] inline Bytes16 Shuffle16(Bytes16 v, Bytes16 mask) {
#if defined(__clang__)
    Bytes16 out;
    for (int i = 0; i < 16; ++i) out[i] = v[mask[i] & 15];
    return out;
#else
    return __builtin_shuffle(v, mask);
#endif
}
}  // namespace match_copy_detail

// CopyMatch for callers built for SSSE3, into which it is inlined: the
// first 16 bytes of every match are one shuffle of the 16 bytes at its
// source, whatever the distance, so that the common short match takes no
// branch on it. Overwrites up to 15 bytes past the match's end, like
// CopyMatch.
[[gnu::always_inline]] inline void CopyMatchShuffled(std::uint8_t* dst, std::size_t dist,
                                                     std::size_t len) {
    using namespace match_copy_detail;
    const Bytes16 pattern =
        Shuffle16(Load16(dst - dist), Load16(kRepeat.row[dist < 16 ? dist : 16]));
    std::memcpy(dst, &pattern, sizeof pattern);
    if (len <= 16) return;
    std::uint8_t* const end = dst + len;
    if (dist >= 16) {
        for (std::uint8_t* p = dst + 16; p < end; p += 16) {
            const Bytes16 v = Load16(p - dist);
            std::memcpy(p, &v, sizeof v);
        }
        return;
    }
    const std::size_t step = kStep16[dist];
    for (std::uint8_t* p = dst + step; p < end; p += step) std::memcpy(p, &pattern, sizeof pattern);
}

}  // namespace lumora::archive
