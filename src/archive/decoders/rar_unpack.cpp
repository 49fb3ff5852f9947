#include "archive/decoders/rar_unpack.h"

#include <algorithm>
#include <cstring>

namespace lumora::archive {

RarBitInput::RarBitInput(ByteSource& src) : src_(src), buf_(kBufSize + kPad, 0) {
    Refill();
}

void RarBitInput::Refill() {
    // Past the end the position may run ahead into the zero padding; keep it.
    if (pos_ > end_) return;
    const std::size_t keep = static_cast<std::size_t>(end_ - pos_);
    if (pos_ != 0 && keep != 0) std::memmove(buf_.data(), buf_.data() + pos_, keep);
    base_ += static_cast<std::uint64_t>(pos_);
    pos_ = 0;
    std::size_t have = keep;
    while (have < kBufSize && !eof_) {
        const std::size_t n = src_.Read(buf_.data() + have, kBufSize - have);
        if (n == 0) eof_ = true;
        have += n;
    }
    end_ = static_cast<std::ptrdiff_t>(have);
    std::fill(buf_.begin() + end_, buf_.end(), std::uint8_t{0});
}

}  // namespace lumora::archive
