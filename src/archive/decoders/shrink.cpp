#include "archive/decoders/shrink.h"

#include <array>
#include <memory>

#include "archive/core/error_codes.h"
#include "archive/decoders/bit_reader.h"
#include "archive/decoders/ring_window.h"

namespace lumora::archive {
namespace {

constexpr unsigned kControl = 256;
constexpr unsigned kFirstFree = 257;
constexpr unsigned kMinBits = 9;
constexpr unsigned kMaxBits = 13;
constexpr unsigned kTableSize = 1u << kMaxBits;
constexpr std::size_t kStackSize = 8192;
constexpr std::size_t kOutBuffer = 32768;

class ShrinkDecoder {
public:
    ShrinkDecoder(ByteSource& in, OutputSink& out, std::uint64_t originalSize)
        : bits_(in), out_(out, kOutBuffer, originalSize) {
        for (unsigned c = 0; c < 256; ++c) {
            inUse_[c] = true;
            suffix_[c] = static_cast<std::uint8_t>(c);
        }
    }

    std::uint64_t Run() {
        DecodeThenFlush(out_, [this] { Decode(); });
        return out_.Produced();
    }

private:
    void Decode();
    bool Control();
    void PartialClear();
    void Expand(unsigned code);
    unsigned FindFree();

    // False at the end of the input.
    bool ReadCode(unsigned& code) {
        code = bits_.Get(width_);
        return !bits_.PastEnd();
    }
    void Push(std::uint8_t byte) {
        if (depth_ == kStackSize) throw DecodeError{ecode::StackOverflow};
        stack_[depth_++] = byte;
    }

    LsbBitReader bits_;
    RingWindow out_;
    unsigned width_ = kMinBits;
    unsigned nextFree_ = kFirstFree;  // no free code below this one
    unsigned prev_ = 0;               // the code decoded before
    std::uint8_t prevFirst_ = 0;      // the first byte of its string
    // A freed code keeps its prefix and suffix until it is given out again:
    // a code added right after a partial clear may still name it as prefix.
    std::array<bool, kTableSize> inUse_{};
    std::array<std::uint16_t, kTableSize> prefix_{};
    std::array<std::uint8_t, kTableSize> suffix_{};
    std::array<bool, kTableSize> hasChild_{};
    std::array<std::uint8_t, kStackSize> stack_{};
    std::size_t depth_ = 0;
};

void ShrinkDecoder::Decode() {
    if (out_.Full()) return;
    unsigned code = 0;
    for (;;) {  // control codes may precede the first byte
        if (!ReadCode(code)) throw DecodeError{ecode::BadBlock};
        if (code != kControl) break;
        if (!Control()) return;
    }
    if (code > 255) throw DecodeError{ecode::BadCode};
    prev_ = code;
    prevFirst_ = static_cast<std::uint8_t>(code);
    out_.Put(prevFirst_);
    while (!out_.Full()) {
        if (!ReadCode(code)) return;
        if (code != kControl) {
            Expand(code);
        } else if (!Control()) {
            return;
        }
    }
}

// Code 256 then 1 widens the codes, then 2 clears the leaves. False at the
// end of the input.
bool ShrinkDecoder::Control() {
    unsigned sub = 0;
    if (!ReadCode(sub)) return false;
    if (sub == 1) {
        // Wider codes could only name entries past the table.
        if (width_ == kMaxBits) throw DecodeError{ecode::BadCode};
        ++width_;
    } else if (sub == 2) {
        PartialClear();
    } else {
        throw DecodeError{ecode::BadBlock};
    }
    return true;
}

// Frees every code that no code in use extends.
void ShrinkDecoder::PartialClear() {
    hasChild_.fill(false);
    for (unsigned c = kFirstFree; c < kTableSize; ++c) {
        if (inUse_[c] && prefix_[c] >= kFirstFree) hasChild_[prefix_[c]] = true;
    }
    for (unsigned c = kFirstFree; c < kTableSize; ++c) {
        if (!hasChild_[c]) inUse_[c] = false;
    }
    nextFree_ = kFirstFree;
}

unsigned ShrinkDecoder::FindFree() {
    while (nextFree_ < kTableSize && inUse_[nextFree_]) ++nextFree_;
    return nextFree_;
}

// Writes the string of `code` and adds the previous string plus that
// string's first byte as the lowest free code. A code not in the table is
// only valid as that very code (the previous string plus its own first byte).
void ShrinkDecoder::Expand(unsigned code) {
    const unsigned added = FindFree();
    depth_ = 0;
    unsigned c = code;
    if (!inUse_[code]) {
        if (code != added) throw DecodeError{ecode::BadCode};
        Push(prevFirst_);
        c = prev_;
    }
    while (c > 255) {
        Push(suffix_[c]);
        c = prefix_[c];
    }
    const auto first = static_cast<std::uint8_t>(c);
    Push(first);
    while (depth_ > 0 && !out_.Full()) out_.Put(stack_[--depth_]);

    if (added < kTableSize) {
        prefix_[added] = static_cast<std::uint16_t>(prev_);
        suffix_[added] = first;
        inUse_[added] = true;
    }
    prev_ = code;
    prevFirst_ = first;
}

}  // namespace

std::uint64_t DecodeShrink(ByteSource& in, OutputSink& out, std::uint64_t originalSize) {
    return std::make_unique<ShrinkDecoder>(in, out, originalSize)->Run();
}

}  // namespace lumora::archive
