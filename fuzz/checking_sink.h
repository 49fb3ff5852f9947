// A sink for fuzz targets that touches every byte it gets, so reads of
// uninitialised or freed memory show, and counts them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "archive/decoders/decoder_io.h"

namespace lumora::fuzz {

class CheckingSink final : public archive::OutputSink {
public:
    void Write(const std::uint8_t* data, std::size_t n) override {
        for (std::size_t i = 0; i < n; ++i) sum_ += data[i];
        total += n;
    }
    std::uint64_t total = 0;

private:
    unsigned sum_ = 0;
};

}  // namespace lumora::fuzz
