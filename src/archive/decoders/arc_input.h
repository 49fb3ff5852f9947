// Byte-wise input and output of the ARC decoders: bytes are pulled from a
// ByteSource in blocks, with an end value once the member's data is used
// up, and produced bytes are collected before they go to the sink.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "archive/decoders/decoder_io.h"

namespace lumora::archive {

class ArcByteInput {
public:
    static constexpr int kEnd = -1;

    explicit ArcByteInput(ByteSource& in) : in_(in) {}

    // The next byte, or kEnd.
    int Next() {
        if (pos_ == fill_) {
            fill_ = end_ ? 0 : in_.Read(buf_.data(), buf_.size());
            pos_ = 0;
            if (fill_ == 0) {
                end_ = true;
                return kEnd;
            }
        }
        return buf_[pos_++];
    }

private:
    ByteSource& in_;
    std::array<std::uint8_t, 4096> buf_{};
    std::size_t pos_ = 0;
    std::size_t fill_ = 0;
    bool end_ = false;
};

class ArcByteOutput {
public:
    explicit ArcByteOutput(OutputSink& out) : out_(out) {}
    ~ArcByteOutput() = default;
    ArcByteOutput(const ArcByteOutput&) = delete;
    ArcByteOutput& operator=(const ArcByteOutput&) = delete;

    void Put(std::uint8_t b) {
        buf_[fill_++] = b;
        if (fill_ == buf_.size()) Flush();
    }
    void Flush() {
        if (fill_ > 0) out_.Write(buf_.data(), fill_);
        fill_ = 0;
    }

private:
    OutputSink& out_;
    std::array<std::uint8_t, 4096> buf_{};
    std::size_t fill_ = 0;
};

}  // namespace lumora::archive
