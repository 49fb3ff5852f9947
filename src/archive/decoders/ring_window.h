// The sliding window of the LZ decoders of the LZH family, which is also
// their output buffer: it is handed to the sink each time writing wraps
// round and once at the end. It never lets more than the member's original
// size out, and starts zero-filled.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "archive/decoders/decoder_io.h"

namespace lumora::archive {

class RingWindow {
public:
    // `start` is where writing begins (the bytes before it are history only).
    RingWindow(OutputSink& out, std::size_t size, std::uint64_t limit, std::size_t start = 0)
        : out_(out), buf_(size), size_(size), pos_(start), from_(start), left_(limit) {}

    std::uint8_t* Data() { return buf_.data(); }
    // True once the original size has been produced.
    bool Full() const { return left_ == 0; }
    std::uint64_t Produced() const { return produced_; }

    void Put(std::uint8_t byte) {
        buf_[pos_] = byte;
        --left_;
        if (++pos_ == size_) Wrap();
    }

    // Repeats `len` bytes from `dist` + 1 bytes back (taken modulo the
    // window), cut at the original size.
    void Copy(std::size_t dist, std::size_t len) {
        len = static_cast<std::size_t>(std::min<std::uint64_t>(len, left_));
        const std::size_t back = (dist + 1) % size_;
        std::size_t src = pos_ >= back ? pos_ - back : pos_ + size_ - back;
        left_ -= len;
        if (src + len <= size_ && pos_ + len < size_) {
            std::uint8_t* p = buf_.data();
            for (std::size_t i = 0; i < len; ++i) p[pos_ + i] = p[src + i];
            pos_ += len;
            return;
        }
        for (; len > 0; --len) {
            buf_[pos_] = buf_[src];
            if (++src == size_) src = 0;
            if (++pos_ == size_) Wrap();
        }
    }

    // Hands the bytes not yet written to the sink.
    void Flush() {
        if (pos_ > from_) out_.Write(buf_.data() + from_, pos_ - from_);
        produced_ += pos_ - from_;
        from_ = pos_;
    }

private:
    void Wrap() {
        Flush();
        pos_ = 0;
        from_ = 0;
    }

    OutputSink& out_;
    std::vector<std::uint8_t> buf_;
    std::size_t size_;
    std::size_t pos_;
    std::size_t from_;
    std::uint64_t left_;
    std::uint64_t produced_ = 0;
};

}  // namespace lumora::archive
