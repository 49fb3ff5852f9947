// Buffered bit input over a ByteSource for the LZH/ARJ/ZOO decoders: the
// bytes come in blocks, and past the end of the input the readers are fed
// zero bytes (those formats read a little ahead of their last code). Each
// reader tells whether bits past the real end were consumed.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "archive/core/error_codes.h"
#include "archive/core/scratch_bytes.h"
#include "archive/decoders/decoder_io.h"

namespace lumora::archive {

// The input bytes in blocks of `kBlock`, with zero bytes after the end.
class BlockInput {
public:
    static constexpr std::size_t kBlock = 32768;
    static constexpr std::size_t kWord = 8;  // bytes a fast refill loads at once

    explicit BlockInput(ByteSource& in) : in_(in), buf_(kBlock + kWord) {}

    // True when `kWord` bytes can be loaded from Cur() at once.
    bool HasWord() {
        if (end_ - pos_ < kWord) Fill();
        return end_ - pos_ >= kWord;
    }
    const std::uint8_t* Cur() const { return buf_.data() + pos_; }
    void Advance(std::size_t n) { pos_ += n; }

    std::uint8_t NextByte() {
        if (pos_ == end_) Fill();
        if (pos_ < end_) return buf_[pos_++];
        ++phantom_;
        return 0;
    }
    // Zero bytes handed out after the end of the input.
    std::uint64_t Phantom() const { return phantom_; }

private:
    void Fill() {
        if (eof_) return;
        const std::size_t rest = end_ - pos_;  // below kWord
        std::memmove(buf_.data(), buf_.data() + pos_, rest);
        pos_ = 0;
        end_ = rest;
        const std::size_t got = in_.Read(buf_.data() + rest, kBlock);
        if (got == 0) {
            eof_ = true;
            return;
        }
        end_ += got < kBlock ? got : kBlock;
    }

    ByteSource& in_;
    ScratchBytes buf_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool eof_ = false;
    std::uint64_t phantom_ = 0;
};

// Most significant bit first (LHA, ARJ, ZOO LZH). The accumulator holds its
// valid bits at the top of a 64-bit word. These formats have no end code
// that a decoder could meet in the zero fill, so a symbol that took bits
// past the end of the input is the read error 25135: decoders call
// CheckEnd() before they write a symbol. A refill after such bits throws it
// too, which bounds what a decoder reads past the end between symbols.
class MsbBitReader {
public:
    explicit MsbBitReader(ByteSource& in) : in_(in) {}

    // The next `n` bits (0 to 32) without consuming them.
    std::uint32_t Peek(unsigned n) {
        if (count_ < n) Refill();
        return static_cast<std::uint32_t>((buf_ >> 1) >> (63 - n));
    }
    void Skip(unsigned n) {
        if (count_ < n) Refill();
        buf_ <<= n;
        count_ -= n;
    }
    std::uint32_t Get(unsigned n) {
        const std::uint32_t v = Peek(n);
        buf_ <<= n;
        count_ -= n;
        return v;
    }
    // Makes at least `n` bits (up to 56) available to PeekNow and SkipNow,
    // which then need no checks: one refill serves a whole symbol.
    void Ensure(unsigned n) {
        if (count_ < n) Refill();
    }
    std::uint32_t PeekNow(unsigned n) const {
        return static_cast<std::uint32_t>((buf_ >> 1) >> (63 - n));
    }
    void SkipNow(unsigned n) {
        buf_ <<= n;
        count_ -= n;
    }
    // True once bits after the end of the input have been consumed.
    bool PastEnd() const { return 8 * in_.Phantom() > count_; }
    void CheckEnd() const {
        if (PastEnd()) throw DecodeError{ecode::ReadError};
    }

private:
    void Refill() {
        if (in_.HasWord()) {
            std::uint64_t w;
            std::memcpy(&w, in_.Cur(), sizeof w);
            if constexpr (std::endian::native == std::endian::little) w = __builtin_bswap64(w);
            buf_ |= w >> count_;
            in_.Advance((63 - count_) >> 3);
            count_ |= 56;
            return;
        }
        // Near or past the end only: the fast path above never follows a
        // zero byte.
        CheckEnd();
        while (count_ <= 56) {
            buf_ |= std::uint64_t{in_.NextByte()} << (56 - count_);
            count_ += 8;
        }
    }

    BlockInput in_;
    std::uint64_t buf_ = 0;
    unsigned count_ = 0;
};

// Least significant bit first (ZOO LZW codes).
class LsbBitReader {
public:
    explicit LsbBitReader(ByteSource& in) : in_(in) {}

    // The next `n` bits (1 to 32), consumed.
    std::uint32_t Get(unsigned n) {
        while (count_ < n) {
            buf_ |= std::uint64_t{in_.NextByte()} << count_;
            count_ += 8;
        }
        const auto v = static_cast<std::uint32_t>(buf_ & ((std::uint64_t{1} << n) - 1));
        buf_ >>= n;
        count_ -= n;
        return v;
    }
    bool PastEnd() const { return 8 * in_.Phantom() > count_; }

private:
    BlockInput in_;
    std::uint64_t buf_ = 0;
    unsigned count_ = 0;
};

}  // namespace lumora::archive
