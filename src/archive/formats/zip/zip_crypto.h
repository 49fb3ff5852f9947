// PKWARE traditional encryption: three 32-bit keys driven by the password and
// by every plain byte, and the check of the 12-byte encryption header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace lumora::archive {

class ZipCryptoKeys {
public:
    // Starts the keys and feeds the password's bytes through them.
    void Init(std::string_view password);
    void Decrypt(std::uint8_t* data, std::size_t n);

private:
    void Update(std::uint8_t plain);

    std::uint32_t k0_ = 0x12345678u, k1_ = 0x23456789u, k2_ = 0x34567890u;
};

inline constexpr std::size_t kZipCryptHeaderSize = 12;

// Decrypts a copy of the 12-byte header with `password`; its last plain byte
// must equal the high byte of the DOS `time` when flag bit 3 is set, else the
// high byte of `crc`. On success `keys` are left as the header left them,
// ready for the member's data.
bool CheckPassword(const std::uint8_t* header12, std::uint16_t flags, std::string_view password,
                   std::uint16_t time, std::uint32_t crc, ZipCryptoKeys& keys);

}  // namespace lumora::archive
