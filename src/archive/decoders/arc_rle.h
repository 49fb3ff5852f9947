// The run-length step of ARC's packed methods: byte 0x90 announces a count
// for the byte before it (the byte then stands count times in all); a count
// of 0 stands for the byte 0x90 itself.
#pragma once

#include <cstddef>
#include <cstdint>

#include "archive/decoders/arc_input.h"
#include "archive/decoders/decoder_io.h"

namespace lumora::archive {

class ArcRleSink final : public OutputSink {
public:
    explicit ArcRleSink(OutputSink& out) : out_(out) {}

    void Write(const std::uint8_t* data, std::size_t n) override;
    // Hands on what is collected; call once the member's data is over.
    void Flush() { out_.Flush(); }

private:
    ArcByteOutput out_;
    std::uint8_t last_ = 0;
    bool marker_ = false;
};

}  // namespace lumora::archive
