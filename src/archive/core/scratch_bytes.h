// A fixed-size heap buffer of bytes that is not cleared when it is made.
// Decoders write their buffers before they read them, and clearing some
// hundred KiB for every member cost more than decoding a short one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace lumora::archive {

class ScratchBytes {
public:
    explicit ScratchBytes(std::size_t size)
        : bytes_(std::make_unique_for_overwrite<std::uint8_t[]>(size)), size_(size) {}

    std::uint8_t* data() { return bytes_.get(); }
    const std::uint8_t* data() const { return bytes_.get(); }
    std::size_t size() const { return size_; }
    std::uint8_t& operator[](std::size_t i) { return bytes_[i]; }
    std::uint8_t operator[](std::size_t i) const { return bytes_[i]; }

private:
    std::unique_ptr<std::uint8_t[]> bytes_;
    std::size_t size_;
};

}  // namespace lumora::archive
