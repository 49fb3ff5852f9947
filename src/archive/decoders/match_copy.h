// The match copy of the LZ decoders that write into one linear buffer.
#pragma once

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

}  // namespace lumora::archive
