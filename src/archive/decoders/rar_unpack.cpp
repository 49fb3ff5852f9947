#include "archive/decoders/rar_unpack.h"

#include <algorithm>
#include <cstring>

namespace lumora::archive {

RarBitInput::RarBitInput(ByteSource& src)
    : src_(src), buf_(std::make_unique_for_overwrite<std::uint8_t[]>(kBufSize + kPad)) {
    Refill();
}

void RarBitInput::Refill() {
    // Past the end the position may run ahead into the zero padding; keep it.
    if (pos_ > end_) return;
    const std::size_t keep = static_cast<std::size_t>(end_ - pos_);
    if (pos_ != 0 && keep != 0) std::memmove(buf_.get(), buf_.get() + pos_, keep);
    base_ += static_cast<std::uint64_t>(pos_);
    pos_ = 0;
    std::size_t have = keep;
    while (have < kBufSize && !eof_) {
        const std::size_t n = src_.Read(buf_.get() + have, kBufSize - have);
        if (n == 0) eof_ = true;
        have += n;
    }
    end_ = static_cast<std::ptrdiff_t>(have);
    std::memset(buf_.get() + have, 0, kPad);
    zeroed_ = end_ + static_cast<std::ptrdiff_t>(kPad);
}

// Past the end of the data the position may run on over several symbols;
// the zeros ahead of it grow with it, up to the end of the buffer.
void RarBitInput::ZeroAhead() {
    constexpr std::ptrdiff_t kSize = kBufSize + kPad;
    const std::ptrdiff_t to =
        std::min(kSize, std::max(pos_, zeroed_) + static_cast<std::ptrdiff_t>(4 * kPad));
    if (to <= zeroed_) return;
    std::memset(buf_.get() + zeroed_, 0, static_cast<std::size_t>(to - zeroed_));
    zeroed_ = to;
}

}  // namespace lumora::archive
