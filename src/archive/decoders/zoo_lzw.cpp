#include "archive/decoders/zoo_lzw.h"

#include <array>
#include <memory>
#include <vector>

#include "archive/core/error_codes.h"
#include "archive/decoders/bit_reader.h"

namespace lumora::archive {
namespace {

constexpr unsigned kClear = 256;
constexpr unsigned kEnd = 257;
constexpr unsigned kFirstFree = 258;
constexpr unsigned kMinBits = 9;
constexpr unsigned kMaxBits = 13;
constexpr unsigned kTableSize = 1u << kMaxBits;
constexpr std::size_t kStackSize = 2005;
constexpr std::size_t kOutBlock = 4096;

class ZooLzwDecoder {
public:
    ZooLzwDecoder(ByteSource& in, OutputSink& out, std::uint64_t originalSize)
        : bits_(in), out_(out), left_(originalSize), outBuf_(kOutBlock) {}

    std::uint64_t Run() {
        DecodeThenFlush(*this, [this] { DecodeCodes(); });
        return produced_;
    }

    void Flush() {
        if (outLen_ != 0) out_.Write(outBuf_.data(), outLen_);
        produced_ += outLen_;
        outLen_ = 0;
    }

private:
    void DecodeCodes();
    bool Clear();
    void DecodeString(unsigned code);

    unsigned ReadCode() {
        const unsigned code = bits_.Get(width_);
        if (bits_.PastEnd()) throw DecodeError{ecode::ReadError};
        return code;
    }
    void Push(std::uint8_t byte) {
        if (depth_ == kStackSize) throw DecodeError{ecode::StackOverflow};
        stack_[depth_++] = byte;
    }
    void Emit(std::uint8_t byte) {
        if (outLen_ == kOutBlock) Flush();
        outBuf_[outLen_++] = byte;
        --left_;
    }

    LsbBitReader bits_;
    OutputSink& out_;
    std::uint64_t left_;
    std::uint64_t produced_ = 0;
    std::vector<std::uint8_t> outBuf_;
    std::size_t outLen_ = 0;

    unsigned width_ = kMinBits;
    unsigned limit_ = 1u << kMinBits;
    unsigned free_ = kFirstFree;
    unsigned last_ = 0;           // the code read before
    std::uint8_t firstByte_ = 0;  // the first byte of its string
    std::array<std::uint16_t, kTableSize> prefix_{};
    std::array<std::uint8_t, kTableSize> suffix_{};
    std::array<std::uint8_t, kStackSize> stack_{};
    std::size_t depth_ = 0;
};

void ZooLzwDecoder::DecodeCodes() {
    while (left_ > 0) {
        const unsigned code = ReadCode();
        if (code == kEnd) return;
        if (code != kClear)
            DecodeString(code);
        else if (!Clear())
            return;
    }
}

// Empties the table; the code after a clear is a single byte, or the end
// code of an empty member. False at the end.
bool ZooLzwDecoder::Clear() {
    width_ = kMinBits;
    limit_ = 1u << kMinBits;
    free_ = kFirstFree;
    last_ = ReadCode();
    if (last_ == kEnd) return false;
    firstByte_ = static_cast<std::uint8_t>(last_);
    Emit(firstByte_);
    return true;
}

// Writes the string of `code` and adds the previous string plus its first
// byte to the table. A code not yet in the table stands for the previous
// string plus the previous string's first byte.
void ZooLzwDecoder::DecodeString(unsigned code) {
    const unsigned incoming = code;
    depth_ = 0;
    if (code >= free_) {
        Push(firstByte_);
        code = last_;
    }
    while (code > 255) {
        Push(suffix_[code]);
        code = prefix_[code];
    }
    firstByte_ = static_cast<std::uint8_t>(code);
    Push(firstByte_);
    while (depth_ > 0 && left_ > 0) Emit(stack_[--depth_]);

    if (free_ < kTableSize) {
        prefix_[free_] = static_cast<std::uint16_t>(last_);
        suffix_[free_] = firstByte_;
        if (++free_ >= limit_ && width_ < kMaxBits) {
            ++width_;
            limit_ <<= 1;
        }
    }
    last_ = incoming;
}

}  // namespace

std::uint64_t DecodeZooLzw(ByteSource& in, OutputSink& out, std::uint64_t originalSize) {
    return std::make_unique<ZooLzwDecoder>(in, out, originalSize)->Run();
}

}  // namespace lumora::archive
