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
    if (dist >= 2 * kWord) {
        do {
            std::uint8_t w[2 * kWord];
            std::memcpy(w, src, sizeof w);
            std::memcpy(dst, w, sizeof w);
            src += sizeof w;
            dst += sizeof w;
        } while (dst < end);
        return;
    }
    if (dist == 1) {
        const std::uint64_t w = src[0] * std::uint64_t{0x0101010101010101};
        do {
            std::memcpy(dst, &w, kWord);
            dst += kWord;
        } while (dst < end);
        return;
    }
    if (dist < kWord) {
        // The first word byte by byte; after it, the pattern repeats from
        // the nearest multiple of its period that is a whole word back.
        for (std::size_t i = 0; i < kWord; ++i) dst[i] = src[i];
        dst += kWord;
        src = dst - (kWord + dist - 1) / dist * dist;
        if (dst >= end) return;
    }
    do {
        std::uint64_t w;
        std::memcpy(&w, src, kWord);
        std::memcpy(dst, &w, kWord);
        src += kWord;
        dst += kWord;
    } while (dst < end);
}

}  // namespace lumora::archive
