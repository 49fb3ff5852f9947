// A ByteSource over bytes already in memory. `chunk` caps what one read
// hands out, so a caller can feed a decoder in pieces of any size.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>

#include "archive/decoders/decoder_io.h"

namespace lumora::archive {

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const std::uint8_t> data, std::size_t chunk = SIZE_MAX)
        : data_(data), chunk_(chunk) {}
    MemorySource(const std::uint8_t* data, std::size_t size, std::size_t chunk = SIZE_MAX)
        : MemorySource(std::span<const std::uint8_t>(data, size), chunk) {}

    std::size_t Read(std::uint8_t* dst, std::size_t n) override {
        n = std::min({n, chunk_, data_.size() - pos_});
        if (n != 0) std::memcpy(dst, data_.data() + pos_, n);
        pos_ += n;
        return n;
    }
    std::span<const std::uint8_t> Borrow(std::size_t n) override {
        n = std::min({n, chunk_, data_.size() - pos_});
        pos_ += n;
        return data_.subspan(pos_ - n, n);
    }
    // Bytes handed out so far.
    std::size_t Position() const { return pos_; }

private:
    std::span<const std::uint8_t> data_;
    std::size_t chunk_;
    std::size_t pos_ = 0;
};

}  // namespace lumora::archive
