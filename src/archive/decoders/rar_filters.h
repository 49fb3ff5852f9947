// The standard filters of RAR 2.9-4.x archives. An archive carries each
// filter as a small program; the unpacker recognises the few standard ones by
// their code's CRC-32 and length and runs them natively here (no general
// program is ever run).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace lumora::archive {

enum class RarFilterKind { kUnknown, kE8, kE8E9, kItanium, kDelta, kRgb, kAudio };

RarFilterKind IdentifyRarFilter(std::span<const std::uint8_t> code);

// The largest block a filter works on: in-place filters may use the whole
// work area, the others need room for their output after the input.
inline constexpr std::size_t kRarFilterArea = 0x3C000;
inline constexpr std::size_t kRarFilterSplitBlock = 0x20000;

// x86 CALL (and JMP with `e9`) targets stored as absolute addresses are
// made relative again; `fileOffset` is the block's position in the file.
void RarFilterE8(std::span<std::uint8_t> data, std::uint32_t fileOffset, bool e9);
// IA-64 bundles: the branch targets of the marked slots.
void RarFilterItanium(std::span<std::uint8_t> data, std::uint32_t fileOffset);
// Bytes stored as differences per channel, channels one after the other.
// `dst` has the size of `src`. False for 0 or more than 1024 channels.
bool RarFilterDelta(std::span<const std::uint8_t> src, std::span<std::uint8_t> dst,
                    std::uint32_t channels);
// 24-bit pixels predicted from the left and upper neighbours; `stride` is the
// distance in bytes back from a pixel to its upper-left neighbour (the line
// length plus 3), `redPos` the place of red in the first pixel.
bool RarFilterRgb(std::span<const std::uint8_t> src, std::span<std::uint8_t> dst,
                  std::uint32_t stride, std::uint32_t redPos);
// 8-bit audio samples from an adaptive linear predictor per channel.
bool RarFilterAudio(std::span<const std::uint8_t> src, std::span<std::uint8_t> dst,
                    std::uint32_t channels);

}  // namespace lumora::archive
