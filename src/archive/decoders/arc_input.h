// Byte-wise input and output of the ARC decoders: bytes are pulled from a
// ByteSource in blocks, with an end value once the member's data is used
// up, and produced bytes are collected before they go to the sink.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "archive/core/scratch_bytes.h"
#include "archive/decoders/decoder_io.h"

namespace lumora::archive {

class ArcByteInput {
public:
    static constexpr int kEnd = -1;

    explicit ArcByteInput(ByteSource& in) : in_(in) {}

    // The next byte, or kEnd.
    int Next() {
        if (pos_ == fill_ && !Fill()) return kEnd;
        return buf_[pos_++];
    }
    // Copies the next `n` bytes (fewer at the end) to `dst`; returns how many.
    std::size_t Take(std::uint8_t* dst, std::size_t n) {
        std::size_t got = 0;
        while (got < n && (pos_ < fill_ || Fill())) {
            const std::size_t k = std::min(n - got, fill_ - pos_);
            std::memcpy(dst + got, buf_.data() + pos_, k);
            pos_ += k;
            got += k;
        }
        return got;
    }

    // Take() for at most kWide bytes into room for kWide: where the block
    // holds that many, they move as one piece (those past `n` are not
    // consumed).
    static constexpr std::size_t kWide = 16;
    std::size_t TakeWide(std::uint8_t* dst, std::size_t n) {
        if (fill_ - pos_ < kWide) return Take(dst, n);
        std::memcpy(dst, buf_.data() + pos_, kWide);
        pos_ += n;
        return n;
    }

private:
    bool Fill() {
        fill_ = end_ ? 0 : in_.Read(buf_.data(), buf_.size());
        pos_ = 0;
        end_ = fill_ == 0;
        return !end_;
    }

    ByteSource& in_;
    std::array<std::uint8_t, 4096> buf_{};
    std::size_t pos_ = 0;
    std::size_t fill_ = 0;
    bool end_ = false;
};

// Collects produced bytes in 64 KiB before they go to the sink.
class ArcByteOutput {
public:
    static constexpr std::size_t kSize = std::size_t{1} << 16;

    explicit ArcByteOutput(OutputSink& out) : out_(out), buf_(kSize) {}
    ~ArcByteOutput() = default;
    ArcByteOutput(const ArcByteOutput&) = delete;
    ArcByteOutput& operator=(const ArcByteOutput&) = delete;

    void Put(std::uint8_t b) {
        buf_[fill_++] = b;
        if (fill_ == kSize) Flush();
    }
    void Write(const std::uint8_t* data, std::size_t n) {
        if (n > kSize - fill_) {
            Flush();
            if (n >= kSize) {
                out_.Write(data, n);
                return;
            }
        }
        std::memcpy(buf_.data() + fill_, data, n);
        fill_ += n;
    }
    // `n` copies of `b`.
    void Repeat(std::uint8_t b, std::size_t n) {
        while (n > 0) {
            const std::size_t step = std::min(n, kSize - fill_);
            std::memset(buf_.data() + fill_, b, step);
            fill_ += step;
            n -= step;
            if (fill_ == kSize) Flush();
        }
    }
    void Flush() {
        if (fill_ > 0) out_.Write(buf_.data(), fill_);
        fill_ = 0;
    }

private:
    OutputSink& out_;
    ScratchBytes buf_;
    std::size_t fill_ = 0;
};

}  // namespace lumora::archive
