#include "archive/decoders/arc_squeeze.h"

#include <array>
#include <cstdint>

#include "archive/core/error_codes.h"
#include "archive/decoders/arc_input.h"

namespace lumora::archive {

namespace {

constexpr int kMaxNodes = 256;
constexpr int kEndCode = 256;
constexpr std::int16_t kEndLeaf = -(kEndCode + 1);  // 0xFEFF

using Node = std::array<std::int16_t, 2>;

// A little-endian 16-bit value; false at the end of the data.
bool Read16(ArcByteInput& in, std::int16_t& value) {
    const int lo = in.Next();
    const int hi = in.Next();
    if (lo == ArcByteInput::kEnd || hi == ArcByteInput::kEnd) return false;
    value = static_cast<std::int16_t>(static_cast<std::uint16_t>(lo | hi << 8));
    return true;
}

// Bits of the data bytes, least significant first; -1 at the end.
class BitInput {
public:
    explicit BitInput(ArcByteInput& in) : in_(in) {}
    int Next() {
        if (left_ == 0) {
            const int b = in_.Next();
            if (b == ArcByteInput::kEnd) return -1;
            byte_ = static_cast<unsigned>(b);
            left_ = 8;
        }
        const int bit = static_cast<int>(byte_ & 1);
        byte_ >>= 1;
        --left_;
        return bit;
    }

private:
    ArcByteInput& in_;
    unsigned byte_ = 0;
    int left_ = 0;
};

// Walks the tree from node 0 for each byte until the end code.
void Decode(ArcByteInput& in, const std::array<Node, kMaxNodes>& nodes, int nodeCount,
            ArcByteOutput& out) {
    BitInput bits(in);
    int node = 0;
    for (int bit; (bit = bits.Next()) >= 0;) {
        const std::int16_t e = nodes[static_cast<std::size_t>(node)][static_cast<std::size_t>(bit)];
        if (e >= 0) {
            if (e >= nodeCount) throw DecodeError{ecode::BadDecodingTree};
            node = e;
            continue;
        }
        const int value = -(e + 1);
        if (value == kEndCode) return;
        if (value > kEndCode) throw DecodeError{ecode::BadDecodingTree};
        out.Put(static_cast<std::uint8_t>(value));
        node = 0;
    }
}

}  // namespace

void Unsqueeze(ByteSource& src, OutputSink& sink) {
    ArcByteInput in(src);
    std::int16_t count = 0;
    if (!Read16(in, count)) return;
    if (count < 0 || count > kMaxNodes) throw DecodeError{ecode::BadDecodingTree};
    std::array<Node, kMaxNodes> nodes{};
    nodes[0] = {kEndLeaf, kEndLeaf};
    for (int i = 0; i < count; ++i) {
        if (!Read16(in, nodes[static_cast<std::size_t>(i)][0]) ||
            !Read16(in, nodes[static_cast<std::size_t>(i)][1])) {
            return;
        }
    }
    const int nodeCount = count == 0 ? 1 : count;

    ArcByteOutput out(sink);
    DecodeThenFlush(out, [&] { Decode(in, nodes, nodeCount, out); });
}

}  // namespace lumora::archive
