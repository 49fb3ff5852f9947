#include "archive/formats/zip/zip_crypto.h"

#include <algorithm>
#include <array>

#include "archive/core/crc.h"

namespace lumora::archive {

void ZipCryptoKeys::Init(std::string_view password) {
    k0_ = 0x12345678u;
    k1_ = 0x23456789u;
    k2_ = 0x34567890u;
    for (const char c : password) Update(static_cast<std::uint8_t>(c));
}

void ZipCryptoKeys::Update(std::uint8_t plain) {
    k0_ = Crc32Byte(k0_, plain);
    k1_ = (k1_ + (k0_ & 0xFF)) * 134775813u + 1;
    k2_ = Crc32Byte(k2_, static_cast<std::uint8_t>(k1_ >> 24));
}

void ZipCryptoKeys::Decrypt(std::uint8_t* data, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t t = (k2_ & 0xFFFF) | 2;
        const auto plain = static_cast<std::uint8_t>(data[i] ^ ((t * (t ^ 1)) >> 8));
        Update(plain);
        data[i] = plain;
    }
}

bool CheckPassword(const std::uint8_t* header12, std::uint16_t flags, std::string_view password,
                   std::uint16_t time, std::uint32_t crc, ZipCryptoKeys& keys) {
    std::array<std::uint8_t, kZipCryptHeaderSize> plain;
    std::copy(header12, header12 + kZipCryptHeaderSize, plain.begin());
    ZipCryptoKeys k;
    k.Init(password);
    k.Decrypt(plain.data(), plain.size());
    const auto expected = static_cast<std::uint8_t>((flags & 0x08) ? time >> 8 : crc >> 24);
    if (plain[11] != expected) return false;
    keys = k;
    return true;
}

}  // namespace lumora::archive
