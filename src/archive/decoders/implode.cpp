#include "archive/decoders/implode.h"

#include <array>
#include <memory>

#include "archive/core/error_codes.h"
#include "archive/decoders/bit_reader.h"
#include "archive/decoders/ring_window.h"

namespace lumora::archive {
namespace {

constexpr unsigned kMaxLength = 16;
constexpr unsigned kLiteralSymbols = 256;
constexpr unsigned kLengthSymbols = 64;
constexpr unsigned kDistanceSymbols = 64;
constexpr unsigned kLongLength = 63;  // a length code followed by 8 more bits

// A Shannon-Fano code as Implode stores it: bit lengths in runs, codes given
// out from the longest length down, the highest symbol of a length first.
// The stream holds each code bit-reversed, so reading it one bit at a time
// yields the code from its most significant bit.
class ShannonFanoTree {
public:
    // Reads the tree's description: a byte count minus one, then bytes of
    // (symbols minus one) << 4 | (bit length minus one).
    void Read(LsbBitReader& bits, unsigned symbols);
    unsigned Decode(LsbBitReader& bits) const;

private:
    void Build(const std::array<std::uint8_t, kLiteralSymbols>& lengths, unsigned symbols);

    std::array<unsigned, kMaxLength + 1> count_{};
    std::array<unsigned, kMaxLength + 1> first_{};   // the first code of each length
    std::array<unsigned, kMaxLength + 1> offset_{};  // where its symbols start in symbols_
    std::array<std::uint8_t, kLiteralSymbols> symbols_{};
};

void ShannonFanoTree::Read(LsbBitReader& bits, unsigned symbols) {
    std::array<std::uint8_t, kLiteralSymbols> lengths{};
    const unsigned runs = bits.Get(8) + 1;
    unsigned next = 0;
    for (unsigned i = 0; i < runs; ++i) {
        const unsigned byte = bits.Get(8);
        const unsigned n = (byte >> 4) + 1;
        if (n > symbols - next) throw DecodeError{ecode::BadBlock};
        for (unsigned k = 0; k < n; ++k)
            lengths[next++] = static_cast<std::uint8_t>((byte & 15) + 1);
    }
    if (bits.PastEnd() || next != symbols) throw DecodeError{ecode::BadBlock};
    Build(lengths, symbols);
}

// Only a complete code is accepted: every bit pattern then decodes, and the
// codes of each length start on a boundary of that length.
void ShannonFanoTree::Build(const std::array<std::uint8_t, kLiteralSymbols>& lengths,
                            unsigned symbols) {
    for (unsigned s = 0; s < symbols; ++s) ++count_[lengths[s]];
    unsigned at = 0;
    for (unsigned len = 1; len <= kMaxLength; ++len) {
        offset_[len] = at;
        for (unsigned s = symbols; s-- > 0;) {
            if (lengths[s] == len) symbols_[at++] = static_cast<std::uint8_t>(s);
        }
    }
    std::uint32_t code = 0;  // left-aligned in 16 bits
    for (unsigned len = kMaxLength; len >= 1; --len) {
        const unsigned shift = kMaxLength - len;
        if (count_[len] != 0 && (code & ((1u << shift) - 1)) != 0) {
            throw DecodeError{ecode::BadBlock};
        }
        first_[len] = code >> shift;
        code += count_[len] << shift;
        if (code > (1u << kMaxLength)) throw DecodeError{ecode::BadBlock};
    }
    if (code != (1u << kMaxLength)) throw DecodeError{ecode::BadBlock};
}

unsigned ShannonFanoTree::Decode(LsbBitReader& bits) const {
    unsigned v = 0;
    for (unsigned len = 1; len <= kMaxLength; ++len) {
        v = (v << 1) | bits.Get(1);
        if (v >= first_[len] && v - first_[len] < count_[len]) {
            return symbols_[offset_[len] + v - first_[len]];
        }
    }
    throw DecodeError{ecode::BadBlock};
}

class ImplodeDecoder {
public:
    ImplodeDecoder(ByteSource& in, OutputSink& out, std::uint64_t originalSize,
                   const ImplodeParams& p)
        : bits_(in),
          out_(out, p.largeWindow ? 8192 : 4096, originalSize),
          lowBits_(p.largeWindow ? 7 : 6),
          minMatch_(p.literalTree ? 3 : 2),
          hasLiteralTree_(p.literalTree) {}

    std::uint64_t Run() {
        DecodeThenFlush(out_, [this] {
            if (out_.Full()) return;
            ReadTrees();
            Decode();
        });
        return out_.Produced();
    }

private:
    void ReadTrees() {
        if (hasLiteralTree_) literals_.Read(bits_, kLiteralSymbols);
        lengths_.Read(bits_, kLengthSymbols);
        distances_.Read(bits_, kDistanceSymbols);
    }
    void Decode();

    LsbBitReader bits_;
    RingWindow out_;
    unsigned lowBits_;
    unsigned minMatch_;
    bool hasLiteralTree_;
    ShannonFanoTree literals_;
    ShannonFanoTree lengths_;
    ShannonFanoTree distances_;
};

// A 1 bit starts a literal; a 0 bit a match: the low distance bits raw, the
// high six through the distance tree, then the length.
void ImplodeDecoder::Decode() {
    while (!out_.Full()) {
        if (bits_.Get(1) == 1) {
            const unsigned literal = hasLiteralTree_ ? literals_.Decode(bits_) : bits_.Get(8);
            if (bits_.PastEnd()) return;
            out_.Put(static_cast<std::uint8_t>(literal));
            continue;
        }
        const unsigned low = bits_.Get(lowBits_);
        const unsigned distance = distances_.Decode(bits_) << lowBits_ | low;
        unsigned length = lengths_.Decode(bits_);
        if (length == kLongLength) length += bits_.Get(8);
        if (bits_.PastEnd()) return;
        out_.Copy(distance, length + minMatch_);
    }
}

}  // namespace

std::uint64_t DecodeImplode(ByteSource& in, OutputSink& out, std::uint64_t originalSize,
                            const ImplodeParams& params) {
    return std::make_unique<ImplodeDecoder>(in, out, originalSize, params)->Run();
}

}  // namespace lumora::archive
