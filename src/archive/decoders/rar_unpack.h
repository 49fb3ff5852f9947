// The unpackers of RAR's compression methods and the bit input they share.
// One unpacker serves one archive: in a solid archive it keeps its window,
// tables and models from one member to the next.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "archive/decoders/decoder_io.h"

namespace lumora::archive {

enum class RarUnpackStatus {
    kDone,         // exactly the member's unpacked size was produced
    kTruncated,    // the packed data ended before the member was complete
    kOutputLimit,  // maxOutput bytes reached the sink and more would follow
    kDataError,    // damaged data (a bad table, code or filter)
    kUnsupported,  // a method or feature this unpacker does not handle
    kNoMemory,     // the window or model asked for more than the caps allow
};

struct RarUnpackRequest {
    std::uint64_t unpackedSize = 0;  // the member's size from its header
    bool solid = false;              // continue from the previous member's state
    std::uint64_t maxOutput = 0;     // stop once this many bytes were written (0: all)
};

struct RarUnpackResult {
    RarUnpackStatus status = RarUnpackStatus::kDone;
    std::uint64_t produced = 0;  // bytes handed to the sink (or decoded, without one)
};

class RarUnpacker {
public:
    virtual ~RarUnpacker() = default;
    // Decodes one member. `in` ends where the member's packed data ends
    // (volumes already joined). Without `out` the member is decoded and
    // discarded (an earlier member of a solid archive). Never throws for bad
    // data; exceptions of the source or sink pass through.
    virtual RarUnpackResult Unpack(ByteSource& in, OutputSink* out,
                                   const RarUnpackRequest& request) = 0;
};

// The largest window any unpacker allocates; larger dictionaries are refused
// with kNoMemory.
inline constexpr std::size_t kRarMaxWindow = std::size_t{1} << 30;

// MSB-first bit input over a ByteSource, with byte reads at the same position
// (PPMd's range decoder shares the stream with the LZ codes). The buffer
// always holds kPad readable bytes past the position: past the end of the
// data they are zeros, and Overrun() tells the decoder to stop.
class RarBitInput {
public:
    static constexpr std::size_t kBufSize = 64 * 1024;
    static constexpr std::size_t kPad = 64;

    explicit RarBitInput(ByteSource& src);

    // Call once per symbol: keeps kPad bytes ahead of the position.
    void Fill() {
        if (end_ - pos_ >= static_cast<std::ptrdiff_t>(kPad)) return;
        if (!eof_) {
            Refill();
        } else if (pos_ + static_cast<std::ptrdiff_t>(kPad) > zeroed_) {
            ZeroAhead();
        }
    }
    // The next 16 bits without consuming them.
    std::uint32_t Peek16() const {
        const std::uint8_t* p = buf_.get() + pos_;
        const std::uint32_t v = (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
        return (v >> (8 - bit_)) & 0xFFFF;
    }
    // The next 32 bits without consuming them.
    std::uint32_t Peek32() const {
        const std::uint8_t* p = buf_.get() + pos_;
        const std::uint64_t v = (std::uint64_t{p[0]} << 32) | (std::uint64_t{p[1]} << 24) |
                                (std::uint64_t{p[2]} << 16) | (std::uint64_t{p[3]} << 8) | p[4];
        return static_cast<std::uint32_t>(v >> (8 - bit_));
    }
    void Skip(unsigned bits) {
        bit_ += bits;
        pos_ += bit_ >> 3;
        bit_ &= 7;
    }
    // 1 to 16 bits.
    std::uint32_t Get(unsigned bits) {
        const std::uint32_t v = Peek16() >> (16 - bits);
        Skip(bits);
        return v;
    }
    void AlignToByte() {
        if (bit_ != 0) {
            ++pos_;
            bit_ = 0;
        }
    }
    // A whole byte at a byte-aligned position; -1 past the end of the data.
    int GetByte() {
        Fill();
        if (pos_ >= end_) return -1;
        return buf_[static_cast<std::size_t>(pos_++)];
    }
    // True once a read went past the end of the data.
    bool Overrun() const { return eof_ && (pos_ > end_ || (pos_ == end_ && bit_ != 0)); }
    bool AtEnd() const { return eof_ && pos_ >= end_; }
    // Bytes taken from the source and used so far.
    std::uint64_t Consumed() const {
        return base_ + static_cast<std::uint64_t>(pos_) + (bit_ != 0 ? 1 : 0);
    }
    // Bits taken from the source and used so far.
    std::uint64_t BitPosition() const {
        return (base_ + static_cast<std::uint64_t>(pos_)) * 8 + bit_;
    }

private:
    void Refill();
    void ZeroAhead();

    ByteSource& src_;
    // Not cleared: only the bytes past the data that can be read are zeroed.
    std::unique_ptr<std::uint8_t[]> buf_;
    std::ptrdiff_t pos_ = 0;     // byte position in buf_
    std::ptrdiff_t end_ = 0;     // end of the data in buf_
    std::ptrdiff_t zeroed_ = 0;  // buf_[end_, zeroed_) holds zeros
    unsigned bit_ = 0;           // bits of buf_[pos_] already used
    bool eof_ = false;
    std::uint64_t base_ = 0;  // source bytes before buf_[0]
};

}  // namespace lumora::archive
