// Length and short-distance slots shared by the RAR 2.x and 2.9-4.x LZ codes.
#pragma once

#include <array>
#include <cstdint>

namespace lumora::archive {

// Match lengths: base and extra bits of the 28 length slots.
inline constexpr std::array<std::uint8_t, 28> kRarLengthBase = {
    0,  1,  2,  3,  4,  5,  6,  7,  8,  10,  12,  14,  16,  20,
    24, 28, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224};
inline constexpr std::array<std::uint8_t, 28> kRarLengthBits = {
    0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5};
// Short distances of the eight short-match codes.
inline constexpr std::array<std::uint8_t, 8> kRarShortBase = {0, 4, 8, 16, 32, 64, 128, 192};
inline constexpr std::array<std::uint8_t, 8> kRarShortBits = {2, 2, 3, 4, 5, 6, 6, 6};

}  // namespace lumora::archive
