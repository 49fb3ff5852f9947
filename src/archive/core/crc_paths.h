// The two ways the CRC accumulators in crc.h compute: table slicing (any
// CPU) and carry-less multiplication folding (x86-64 with PCLMULQDQ). The
// accumulators pick one per call; these entries take one path regardless,
// so both can be checked and timed on any machine.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lumora::archive::crc_paths {

// Register in, register out (no pre- or post-inversion), like the classes.
std::uint32_t Crc32Slicing(std::uint32_t reg, const std::uint8_t* data, std::size_t n);
std::uint16_t Crc16Slicing(std::uint16_t reg, const std::uint8_t* data, std::size_t n);

// True when this CPU runs the folding code (decided once).
bool CarrylessAvailable();

// Folding; only to be called where CarrylessAvailable(). Inputs shorter
// than kFoldMinimum go through the slicing code.
std::uint32_t Crc32Folding(std::uint32_t reg, const std::uint8_t* data, std::size_t n);
std::uint16_t Crc16Folding(std::uint16_t reg, const std::uint8_t* data, std::size_t n);

// The folding consumes four 16-byte lanes at a time. At 64 bytes it is
// already as fast as slicing for CRC-32 and faster for CRC-16.
inline constexpr std::size_t kFoldMinimum = 64;

// Folding constants. A 128-bit lane X that is followed by N more bits of
// message counts as X(x) * x^N. Its upper-degree half H (x^127..x^64, the
// lower quadword when loaded little-endian) weighs x^(64+N), the other half L
// weighs x^N. A carry-less product of a quadword with a constant stored
// bit-reflected over 33 bits (bit i for x^(32-i)) reads back as the true
// product times x^32, so the constant for H is x^(N+32) mod P and the one for
// L is x^(N-32) mod P: N = 512 across four lanes, N = 128 between lanes.
// Each field holds x^e mod P reflected over 33 bits, e in its name.
struct FoldKeys {
    std::uint64_t x544;
    std::uint64_t x480;
    std::uint64_t x160;
    std::uint64_t x96;
};

// P = x^32 + x^26 + x^23 + x^22 + x^16 + x^12 + x^11 + x^10 + x^8 + x^7 +
//     x^5 + x^4 + x^2 + x + 1
inline constexpr FoldKeys kCrc32Keys{0x154442BD4, 0x1C6E41596, 0x1751997D0, 0x0CCAA009E};
// P = x^16 + x^15 + x^2 + 1
inline constexpr FoldKeys kCrc16Keys{0x194520000, 0x150000000, 0x1BC520000, 0x185520000};

}  // namespace lumora::archive::crc_paths
