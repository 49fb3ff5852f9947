// The carry-less range decoder of RAR's PPMd blocks: 32-bit low and range,
// renormalised byte by byte from the shared bit input.
#pragma once

#include <cstdint>

#include "archive/decoders/rar_unpack.h"

namespace lumora::archive {

class RarRangeDecoder {
public:
    // Reads the first four code bytes. Bytes past the end of the data read as
    // zero and are counted in Missing().
    void Init(RarBitInput& in) {
        low_ = 0;
        code_ = 0;
        range_ = 0xFFFFFFFFu;
        missing_ = 0;
        for (int i = 0; i < 4; ++i) code_ = (code_ << 8) | Byte(in);
    }
    // The count of the next symbol in [0, total); a result of at least
    // `total` means damaged data.
    std::uint32_t Count(std::uint32_t total) {
        range_ = total != 0 ? range_ / total : 0;
        return range_ != 0 ? (code_ - low_) / range_ : 0xFFFFFFFFu;
    }
    std::uint32_t CountShift(unsigned shift) {
        range_ >>= shift;
        return range_ != 0 ? (code_ - low_) / range_ : 0xFFFFFFFFu;
    }
    // Takes the symbol whose counts were [lowCount, highCount).
    void Consume(std::uint32_t lowCount, std::uint32_t highCount) {
        low_ += range_ * lowCount;
        range_ *= highCount - lowCount;
    }
    void Normalize(RarBitInput& in) {
        constexpr std::uint32_t kTop = 1u << 24;
        constexpr std::uint32_t kBottom = 1u << 15;
        while (range_ != 0) {
            if ((low_ ^ (low_ + range_)) >= kTop) {
                if (range_ >= kBottom) break;
                range_ = (0u - low_) & (kBottom - 1);
            }
            code_ = (code_ << 8) | Byte(in);
            range_ <<= 8;
            low_ <<= 8;
        }
    }
    // A range of zero means the data is damaged: no count can be taken.
    bool Broken() const { return range_ == 0; }
    unsigned Missing() const { return missing_; }

private:
    std::uint32_t Byte(RarBitInput& in) {
        const int b = in.GetByte();
        if (b >= 0) return static_cast<std::uint32_t>(b);
        if (missing_ < 0xFFFF) ++missing_;
        return 0;
    }

    std::uint32_t low_ = 0;
    std::uint32_t code_ = 0;
    std::uint32_t range_ = 0xFFFFFFFFu;
    unsigned missing_ = 0;
};

}  // namespace lumora::archive
