#include "archive/core/crc.h"

#include <array>

namespace lumora::archive {

namespace {

// Slicing-by-16: table k gives the CRC of a byte followed by k zero bytes.
using Crc32Tables = std::array<std::array<std::uint32_t, 256>, 16>;

constexpr Crc32Tables MakeCrc32Tables() {
    Crc32Tables t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        t[0][i] = c;
    }
    for (std::size_t k = 1; k < t.size(); ++k) {
        for (std::size_t i = 0; i < 256; ++i) {
            t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
        }
    }
    return t;
}

// The same slicing for CRC-16.
using Crc16Tables = std::array<std::array<std::uint16_t, 256>, 8>;

constexpr Crc16Tables MakeCrc16Tables() {
    Crc16Tables t{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xA001u : c >> 1;
        t[0][i] = static_cast<std::uint16_t>(c);
    }
    for (std::size_t k = 1; k < 8; ++k) {
        for (std::size_t i = 0; i < 256; ++i) {
            t[k][i] = static_cast<std::uint16_t>((t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF]);
        }
    }
    return t;
}

constexpr Crc32Tables kCrc32 = MakeCrc32Tables();
constexpr Crc16Tables kCrc16 = MakeCrc16Tables();

std::uint32_t Load32(const std::uint8_t* p) {
    return p[0] | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
           (std::uint32_t{p[3]} << 24);
}

// The CRC contribution of four bytes (little-endian in `w`) followed by
// `after` more bytes.
inline std::uint32_t Slice(std::size_t after, std::uint32_t w) {
    return kCrc32[after + 3][w & 0xFF] ^ kCrc32[after + 2][(w >> 8) & 0xFF] ^
           kCrc32[after + 1][(w >> 16) & 0xFF] ^ kCrc32[after][w >> 24];
}

}  // namespace

std::uint32_t Crc32Byte(std::uint32_t reg, std::uint8_t byte) {
    return kCrc32[0][(reg ^ byte) & 0xFF] ^ (reg >> 8);
}

void Crc32::Update(const std::uint8_t* data, std::size_t n) {
    std::uint32_t c = reg_;
    while (n >= 16) {
        const std::uint32_t w0 = Load32(data) ^ c;
        const std::uint32_t w1 = Load32(data + 4);
        const std::uint32_t w2 = Load32(data + 8);
        const std::uint32_t w3 = Load32(data + 12);
        c = Slice(12, w0) ^ Slice(8, w1) ^ Slice(4, w2) ^ Slice(0, w3);
        data += 16;
        n -= 16;
    }
    while (n--) c = Crc32Byte(c, *data++);
    reg_ = c;
}

void Crc16::Update(const std::uint8_t* data, std::size_t n) {
    std::uint32_t c = reg_;
    while (n >= 8) {
        const std::uint32_t lo = Load32(data) ^ c;
        const std::uint32_t hi = Load32(data + 4);
        c = kCrc16[7][lo & 0xFF] ^ kCrc16[6][(lo >> 8) & 0xFF] ^ kCrc16[5][(lo >> 16) & 0xFF] ^
            kCrc16[4][lo >> 24] ^ kCrc16[3][hi & 0xFF] ^ kCrc16[2][(hi >> 8) & 0xFF] ^
            kCrc16[1][(hi >> 16) & 0xFF] ^ kCrc16[0][hi >> 24];
        data += 8;
        n -= 8;
    }
    while (n--) c = kCrc16[0][(c ^ *data++) & 0xFF] ^ (c >> 8);
    reg_ = static_cast<std::uint16_t>(c);
}

}  // namespace lumora::archive
