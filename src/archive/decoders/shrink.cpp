#include "archive/decoders/shrink.h"

#include <array>
#include <bit>
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

// Codes freed by partial clears and not given out again, as a bitset with
// a summary bit per word: the lowest is found in two steps.
class FreedCodes {
public:
    bool Empty() const { return count_ == 0; }
    void Insert(unsigned c) {
        words_[c / 64] |= Bit(c % 64);
        summary_[c / 4096] |= Bit(c / 64 % 64);
        ++count_;
    }
    void Erase(unsigned c) {
        words_[c / 64] &= ~Bit(c % 64);
        if (words_[c / 64] == 0) summary_[c / 4096] &= ~Bit(c / 64 % 64);
        --count_;
    }
    // Not Empty() only.
    unsigned Lowest() const {
        const unsigned s = summary_[0] != 0 ? 0 : 1;
        const unsigned w = s * 64 + static_cast<unsigned>(std::countr_zero(summary_[s]));
        return w * 64 + static_cast<unsigned>(std::countr_zero(words_[w]));
    }

private:
    static constexpr std::uint64_t Bit(unsigned i) { return std::uint64_t{1} << i; }

    std::array<std::uint64_t, kTableSize / 64> words_{};
    std::array<std::uint64_t, kTableSize / 4096> summary_{};
    unsigned count_ = 0;
};

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
    void Add(unsigned code, unsigned prefix, std::uint8_t suffix);
    void MayBeLeaf(unsigned code) {
        if (listed_[code]) return;
        listed_[code] = true;
        leafCandidates_[candidates_++] = static_cast<std::uint16_t>(code);
    }

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
    unsigned prev_ = 0;           // the code decoded before
    std::uint8_t prevFirst_ = 0;  // the first byte of its string
    // A freed code keeps its prefix and suffix until it is given out again:
    // a code added right after a partial clear may still name it as prefix.
    std::array<bool, kTableSize> inUse_{};
    std::array<std::uint16_t, kTableSize> prefix_{};
    std::array<std::uint8_t, kTableSize> suffix_{};
    // The free codes: those freed, and every code from `fresh_` up.
    FreedCodes freed_;
    // How many codes in use name each code as their prefix. A partial clear
    // frees the codes in use with none; every such code is a leaf candidate
    // (listed at most once) or was first given out since the clear before
    // (from `freshAtClear_` up), so a clear costs no more steps than codes
    // were added or freed since the clear before.
    // Both set up for a code when it is first given out.
    std::array<std::uint16_t, kTableSize> children_;
    std::array<bool, kTableSize> listed_;
    unsigned fresh_ = kFirstFree;
    unsigned freshAtClear_ = kFirstFree;
    std::array<std::uint16_t, kTableSize> leafCandidates_;  // the first candidates_ set
    std::size_t candidates_ = 0;
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

// Frees every code that no code in use extends. The leaves are picked out
// first: freeing one must not make its prefix a leaf in the same clear.
void ShrinkDecoder::PartialClear() {
    std::size_t leaves = 0;
    for (std::size_t i = 0; i < candidates_; ++i) {
        const unsigned c = leafCandidates_[i];
        listed_[c] = false;
        if (inUse_[c] && children_[c] == 0)
            leafCandidates_[leaves++] = static_cast<std::uint16_t>(c);
    }
    for (unsigned c = freshAtClear_; c < fresh_; ++c) {
        if (children_[c] == 0) leafCandidates_[leaves++] = static_cast<std::uint16_t>(c);
    }
    freshAtClear_ = fresh_;
    // Each leaf lists at most its prefix, so the list refills behind the
    // leaf being read.
    candidates_ = 0;
    for (std::size_t i = 0; i < leaves; ++i) {
        const unsigned c = leafCandidates_[i];
        inUse_[c] = false;
        freed_.Insert(c);
        const unsigned p = prefix_[c];
        if (p >= kFirstFree && --children_[p] == 0 && inUse_[p]) MayBeLeaf(p);
    }
}

// Writes the string of `code` and adds the previous string plus that
// string's first byte as the lowest free code. A code not in the table is
// only valid as that very code (the previous string plus its own first byte).
void ShrinkDecoder::Expand(unsigned code) {
    const unsigned added = freed_.Empty() ? fresh_ : freed_.Lowest();
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

    if (added < kTableSize) Add(added, prev_, first);
    prev_ = code;
    prevFirst_ = first;
}

void ShrinkDecoder::Add(unsigned code, unsigned prefix, std::uint8_t suffix) {
    if (code == fresh_) {
        children_[code] = 0;
        listed_[code] = false;
        ++fresh_;
    } else {
        freed_.Erase(code);
        MayBeLeaf(code);
    }
    prefix_[code] = static_cast<std::uint16_t>(prefix);
    suffix_[code] = suffix;
    inUse_[code] = true;
    if (prefix >= kFirstFree) ++children_[prefix];
}

}  // namespace

std::uint64_t DecodeShrink(ByteSource& in, OutputSink& out, std::uint64_t originalSize) {
    return std::make_unique<ShrinkDecoder>(in, out, originalSize)->Run();
}

}  // namespace lumora::archive
