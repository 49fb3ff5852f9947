// The sliding window of an LZ decoder kept in one linear buffer: a window's
// worth of history (zero-filled at the start), then the output collected
// until it is handed to the sink in pieces of up to 256 KiB (at most the
// member's original size, so a short member takes little room), when the
// last window slides to the front. Matches copy whole words. It behaves as
// RingWindow with writing starting at 0: distances are taken modulo the
// window, and no more than the member's original size gets out.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "archive/core/scratch_bytes.h"
#include "archive/decoders/decoder_io.h"
#include "archive/decoders/match_copy.h"

namespace lumora::archive {

class LinearWindow {
public:
    static constexpr std::size_t kChunk = std::size_t{1} << 18;
    static constexpr std::size_t kMaxStep = 1024;  // longest copy between two slides

    LinearWindow(OutputSink& out, std::size_t size, std::uint64_t limit)
        : out_(out),
          size_(size),
          chunk_(static_cast<std::size_t>(std::clamp<std::uint64_t>(limit, 1, kChunk))),
          buf_(size + chunk_ + kMaxStep + 16),
          wp_(size),
          left_(limit) {
        std::memset(buf_.data(), 0, size_);  // the history before the first byte
    }

    // True once the original size has been produced.
    bool Full() const { return left_ == 0; }
    std::uint64_t Produced() const { return produced_; }

    void Put(std::uint8_t byte) {
        buf_[wp_++] = byte;
        --left_;
        if (wp_ >= size_ + chunk_) Slide();
    }

    // Repeats `len` bytes from `dist` + 1 bytes back (taken modulo the
    // window), cut at the original size.
    void Copy(std::size_t dist, std::size_t len) {
        len = static_cast<std::size_t>(std::min<std::uint64_t>(len, left_));
        left_ -= len;
        std::size_t back = dist + 1;
        if (back >= size_) back %= size_;
        const std::size_t from = back == 0 ? size_ : back;  // 0: the byte a window back
        while (len > 0) {
            const std::size_t step = std::min(len, kMaxStep);
            CopyMatch(buf_.data() + wp_, from, step);
            wp_ += step;
            len -= step;
            if (wp_ >= size_ + chunk_) Slide();
        }
    }

    // Hands the bytes not yet written to the sink.
    void Flush() {
        if (wp_ == sent_) return;
        out_.Write(buf_.data() + sent_, wp_ - sent_);
        produced_ += wp_ - sent_;
        sent_ = wp_;
    }

private:
    // Flushes a full chunk; the last window's worth stays as history.
    void Slide() {
        Flush();
        std::memmove(buf_.data(), buf_.data() + wp_ - size_, size_);
        wp_ = sent_ = size_;
    }

    OutputSink& out_;
    std::size_t size_;
    std::size_t chunk_;
    ScratchBytes buf_;
    std::size_t wp_;
    std::size_t sent_ = size_;  // bytes before it have gone to the sink
    std::uint64_t left_;
    std::uint64_t produced_ = 0;
};

}  // namespace lumora::archive
