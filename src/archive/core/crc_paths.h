// The ways the CRC accumulators in crc.h compute: table slicing and
// carry-less multiplication folding. The accumulators take the fastest the
// CPU has; these entries take the one named, so that every path can be
// checked and timed on one machine.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lumora::archive::crc_paths {

// Table slicing (any CPU), or folding 16-byte lanes with PCLMULQDQ, four at a time (x86-64), or
// sixteen at a time with 512-bit VPCLMULQDQ (x86-64 with AVX-512).
enum class CrcPath { Slicing, Folding128, Folding512 };

// True when this CPU runs `path` (decided once).
bool PathAvailable(CrcPath path);
// The fastest available path (decided once).
CrcPath FastestPath();

// The register after `data` on `path`, which must be available (register in,
// register out: no pre- or post-inversion). Inputs too short for a path's
// folding go to the next narrower one.
std::uint32_t Crc32On(CrcPath path, std::uint32_t reg, const std::uint8_t* data, std::size_t n);
std::uint16_t Crc16On(CrcPath path, std::uint16_t reg, const std::uint8_t* data, std::size_t n);

// The shortest inputs the folding takes. At 64 bytes the 128-bit folding is
// already as fast as slicing for CRC-32 and faster for CRC-16.
inline constexpr std::size_t kFoldMinimum = 64;
inline constexpr std::size_t kWideFoldMinimum = 256;

// Folding constants. A 128-bit lane X that is followed by N more bits of
// message counts as X(x) * x^N. Its upper-degree half H (x^127..x^64, the
// lower quadword when loaded little-endian) weighs x^(64+N), the other half L
// weighs x^N. A carry-less product of a quadword with a constant stored
// bit-reflected over 33 bits (bit i for x^(32-i)) reads back as the true
// product times x^32, so the constant for H is x^(N+32) mod P and the one for
// L is x^(N-32) mod P: N = 2048 across sixteen lanes, 512 across four and
// 128 between neighbours.
// Each field holds x^e mod P reflected over 33 bits, e in its name.
struct FoldKeys {
    std::uint64_t x2080;
    std::uint64_t x2016;
    std::uint64_t x544;
    std::uint64_t x480;
    std::uint64_t x160;
    std::uint64_t x96;
};

// P = x^32 + x^26 + x^23 + x^22 + x^16 + x^12 + x^11 + x^10 + x^8 + x^7 +
//     x^5 + x^4 + x^2 + x + 1
inline constexpr FoldKeys kCrc32Keys{0x11542778A, 0x1322D1430, 0x154442BD4,
                                     0x1C6E41596, 0x1751997D0, 0x0CCAA009E};
// P = x^16 + x^15 + x^2 + 1
inline constexpr FoldKeys kCrc16Keys{0x191520000, 0x0FAA80000, 0x194520000,
                                     0x150000000, 0x1BC520000, 0x185520000};

}  // namespace lumora::archive::crc_paths
