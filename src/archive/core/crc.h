// CRC-32 (reflected, polynomial 0xEDB88320) and CRC-16 (reflected,
// polynomial 0xA001) accumulators. Each operation owns its own.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lumora::archive {

// One step of the CRC-32 register over a byte (no pre- or post-inversion).
std::uint32_t Crc32Byte(std::uint32_t reg, std::uint8_t byte);

class Crc32 {
public:
    void Reset() { reg_ = 0xFFFFFFFFu; }
    void Update(const std::uint8_t* data, std::size_t n);
    // The finished CRC (the register complemented), as archives store it.
    std::uint32_t Value() const { return ~reg_; }

private:
    std::uint32_t reg_ = 0xFFFFFFFFu;
};

// The register is set by the reader that uses it (formats differ).
class Crc16 {
public:
    explicit Crc16(std::uint16_t initial = 0) : reg_(initial) {}
    void Set(std::uint16_t value) { reg_ = value; }
    void Update(const std::uint8_t* data, std::size_t n);
    std::uint16_t Value() const { return reg_; }

private:
    std::uint16_t reg_;
};

}  // namespace lumora::archive
