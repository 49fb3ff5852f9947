// Helpers of the CAB and ARC tests: byte sources and sinks over strings for
// the decoders, and little-endian fields for hand-built archives.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

#include "archive/archive_test_support.h"
#include "archive/decoders/decoder_io.h"

namespace lumora::archive::cabarc {

using test::HaveTool;

// Bytes of a string handed out at most `chunk` at a time.
class StringSource : public ByteSource {
public:
    explicit StringSource(const std::string& data, std::size_t chunk = 7)
        : data_(data), chunk_(chunk) {}
    std::size_t Read(std::uint8_t* dst, std::size_t n) override {
        n = std::min({n, chunk_, data_.size() - pos_});
        std::copy_n(data_.begin() + static_cast<std::ptrdiff_t>(pos_), n, dst);
        pos_ += n;
        return n;
    }

private:
    const std::string& data_;
    std::size_t chunk_;
    std::size_t pos_ = 0;
};

class StringSink : public OutputSink {
public:
    void Write(const std::uint8_t* data, std::size_t n) override {
        bytes.append(reinterpret_cast<const char*>(data), n);
    }
    std::string bytes;
};

inline void Put16(std::string& s, std::uint32_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}

inline void Put32(std::string& s, std::uint32_t v) {
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}

}  // namespace lumora::archive::cabarc
