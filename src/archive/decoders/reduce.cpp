#include "archive/decoders/reduce.h"

#include <array>
#include <memory>

#include "archive/core/error_codes.h"
#include "archive/decoders/bit_reader.h"
#include "archive/decoders/ring_window.h"

namespace lumora::archive {
namespace {

constexpr std::uint8_t kEscape = 144;
constexpr std::size_t kWindow = 4096;
// The count of a follower set has 6 bits, so a set holds up to 63 bytes.
constexpr std::size_t kMaxFollowers = 64;

// Bits of an index into a follower set of `n` bytes (at least one).
constexpr unsigned IndexBits(unsigned n) {
    unsigned bits = 1;
    while ((1u << bits) < n) ++bits;
    return bits;
}

class ReduceDecoder {
public:
    ReduceDecoder(ByteSource& in, OutputSink& out, std::uint64_t originalSize, unsigned factor)
        : bits_(in),
          out_(out, kWindow, originalSize),
          lengthMask_(0xFFu >> factor),
          distanceShift_(8 - factor) {}

    std::uint64_t Run() {
        DecodeThenFlush(out_, [this] {
            if (out_.Full()) return;
            ReadFollowerSets();
            Decode();
        });
        return out_.Produced();
    }

private:
    struct FollowerSet {
        unsigned count = 0;
        std::array<std::uint8_t, kMaxFollowers> bytes{};
    };

    void ReadFollowerSets();
    bool NextByte(std::uint8_t& byte);
    void Decode();

    LsbBitReader bits_;
    RingWindow out_;
    unsigned lengthMask_;
    unsigned distanceShift_;
    std::array<FollowerSet, 256> sets_{};
    std::uint8_t last_ = 0;
};

// The sets come for byte values 255 down to 0.
void ReduceDecoder::ReadFollowerSets() {
    for (int value = 255; value >= 0; --value) {
        FollowerSet& set = sets_[static_cast<std::size_t>(value)];
        set.count = bits_.Get(6);
        for (unsigned i = 0; i < set.count; ++i)
            set.bytes[i] = static_cast<std::uint8_t>(bits_.Get(8));
        if (bits_.PastEnd()) throw DecodeError{ecode::BadBlock};
    }
}

// The next byte of the run-length layer: a follower of the previous byte,
// or a literal byte. False at the end of the input.
bool ReduceDecoder::NextByte(std::uint8_t& byte) {
    const FollowerSet& set = sets_[last_];
    if (set.count == 0 || bits_.Get(1) == 1) {
        byte = static_cast<std::uint8_t>(bits_.Get(8));
    } else {
        const unsigned index = bits_.Get(IndexBits(set.count));
        if (bits_.PastEnd()) return false;
        if (index >= set.count) throw DecodeError{ecode::BadBlock};
        byte = set.bytes[index];
    }
    if (bits_.PastEnd()) return false;
    last_ = byte;
    return true;
}

// Escape 144 then 0 is the byte 144 itself; 144 then V (not 0) starts a
// match whose length is in the low bits of V (all ones: one more length
// byte follows) and whose distance is the high bits of V and one more byte.
void ReduceDecoder::Decode() {
    int state = 0;
    unsigned v = 0;
    unsigned length = 0;
    std::uint8_t c = 0;
    while (!out_.Full() && NextByte(c)) {
        switch (state) {
            case 0:
                if (c != kEscape) {
                    out_.Put(c);
                } else {
                    state = 1;
                }
                break;
            case 1:
                if (c == 0) {
                    out_.Put(kEscape);
                    state = 0;
                } else {
                    v = c;
                    length = v & lengthMask_;
                    state = length == lengthMask_ ? 2 : 3;
                }
                break;
            case 2:
                length += c;
                state = 3;
                break;
            default:
                out_.Copy(((v >> distanceShift_) << 8) + c, length + 3);
                state = 0;
                break;
        }
    }
}

}  // namespace

std::uint64_t DecodeReduce(ByteSource& in, OutputSink& out, std::uint64_t originalSize,
                           unsigned factor) {
    if (factor < 1 || factor > 4) throw DecodeError{ecode::BadBlock};
    return std::make_unique<ReduceDecoder>(in, out, originalSize, factor)->Run();
}

}  // namespace lumora::archive
