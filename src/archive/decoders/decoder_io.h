// The buffers every decompressor works on: a pull source of compressed bytes
// and a push sink for what it produces. Both move blocks, never single bytes
// through a virtual call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace lumora::archive {

// Compressed input. Read fills at most `n` bytes and returns how many it gave;
// 0 means the input is exhausted (end of the member's data, or a read error).
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::size_t Read(std::uint8_t* dst, std::size_t n) = 0;
    // Up to `n` of the next bytes where the source already holds them in
    // memory, taken as read and valid as long as the source; empty where
    // the source has to copy them (then Read serves).
    virtual std::span<const std::uint8_t> Borrow(std::size_t n) {
        (void)n;
        return {};
    }
};

// Decompressed output, in the order produced. May throw (write errors pass
// through the decoders untouched).
class OutputSink {
public:
    virtual ~OutputSink() = default;
    virtual void Write(const std::uint8_t* data, std::size_t n) = 0;
};

// A data error inside a decoder, with the library's numeric error code
// (25109 bad block, 25116 bad dynamic block, ...). The caller turns it into
// its own report.
struct DecodeError {
    int code;
};

// Runs `decode`, then flushes `out`, also when a DecodeError leaves `decode`:
// what was decoded before a fault still reaches the sink.
template <typename Out, typename Decode>
void DecodeThenFlush(Out& out, Decode decode) {
    try {
        decode();
    } catch (const DecodeError&) {
        out.Flush();
        throw;
    }
    out.Flush();
}

}  // namespace lumora::archive
