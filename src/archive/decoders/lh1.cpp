#include "archive/decoders/lh1.h"

#include <algorithm>
#include <array>
#include <memory>

#include "archive/decoders/bit_reader.h"
#include "archive/decoders/ring_window.h"

namespace lumora::archive {
namespace {

constexpr std::size_t kWindowSize = 4096;
constexpr std::size_t kMaxMatch = 60;
constexpr std::size_t kFirstByte = kWindowSize - kMaxMatch;  // the window before it is blank
constexpr unsigned kSymbols = 256 + kMaxMatch - 2;           // literals, lengths 3 to 60
constexpr unsigned kNodes = 2 * kSymbols - 1;
constexpr unsigned kRoot = kNodes - 1;
constexpr std::uint32_t kRebuildAt = 0x8000;  // root frequency that halves all counts
constexpr std::uint32_t kSentinel = 0xFFFF;   // above every real frequency
constexpr unsigned kMatchBias = 253;          // symbol c >= 256 copies c - 253 bytes

// The upper 6 position bits are coded by a fixed prefix code. Indexed by the
// next 8 input bits: the upper bits and the code's length.
struct PosPrefix {
    std::uint8_t upper;
    std::uint8_t len;
};
constexpr auto kPosPrefixes = [] {
    struct Group {
        unsigned uppers, codesEach, len;
    };
    constexpr Group groups[] = {{1, 32, 3}, {3, 16, 4}, {8, 8, 5},
                                {12, 4, 6}, {24, 2, 7}, {16, 1, 8}};
    std::array<PosPrefix, 256> table{};
    unsigned byte = 0;
    unsigned upper = 0;
    for (const Group& g : groups) {
        for (unsigned u = 0; u < g.uppers; ++u, ++upper) {
            for (unsigned k = 0; k < g.codesEach; ++k)
                table[byte++] = {static_cast<std::uint8_t>(upper),
                                 static_cast<std::uint8_t>(g.len)};
        }
    }
    return table;
}();
static_assert(kPosPrefixes[255].upper == 63 && kPosPrefixes[255].len == 8);

// The adaptive code: a Huffman tree kept as a list of nodes sorted by
// frequency (siblings side by side), updated after every symbol.
class AdaptiveTree {
public:
    AdaptiveTree() {
        for (unsigned s = 0; s < kSymbols; ++s) {
            freq_[s] = 1;
            child_[s] = static_cast<std::uint16_t>(kNodes + s);
            parent_[kNodes + s] = static_cast<std::uint16_t>(s);
        }
        for (unsigned i = 0, j = kSymbols; j <= kRoot; i += 2, ++j) {
            freq_[j] = freq_[i] + freq_[i + 1];
            child_[j] = static_cast<std::uint16_t>(i);
            parent_[i] = parent_[i + 1] = static_cast<std::uint16_t>(j);
        }
        freq_[kNodes] = kSentinel;
        parent_[kRoot] = 0;
    }

    unsigned Decode(MsbBitReader& in) {
        unsigned c = child_[kRoot];
        while (c < kNodes) c = child_[c + in.Get(1)];
        const unsigned sym = c - kNodes;
        Update(sym);
        return sym;
    }

private:
    void Update(unsigned sym);
    void Rebuild();

    std::array<std::uint32_t, kNodes + 1> freq_{};
    // A node's first child; kNodes + symbol for a leaf.
    std::array<std::uint16_t, kNodes> child_{};
    // The parent of each node, and from kNodes on the leaf node of each symbol.
    std::array<std::uint16_t, kNodes + kSymbols> parent_{};
};

// Counts the symbol up the path to the root; a node that now outweighs the
// nodes after it swaps places with the last of them, keeping the list sorted.
void AdaptiveTree::Update(unsigned sym) {
    if (freq_[kRoot] == kRebuildAt) Rebuild();
    unsigned c = parent_[kNodes + sym];
    do {
        const std::uint32_t k = ++freq_[c];
        if (k > freq_[c + 1]) {
            unsigned l = c + 1;
            while (k > freq_[l + 1]) ++l;
            freq_[c] = freq_[l];
            freq_[l] = k;
            const unsigned i = child_[c];
            parent_[i] = static_cast<std::uint16_t>(l);
            if (i < kNodes) parent_[i + 1] = static_cast<std::uint16_t>(l);
            const unsigned j = child_[l];
            child_[l] = static_cast<std::uint16_t>(i);
            parent_[j] = static_cast<std::uint16_t>(c);
            if (j < kNodes) parent_[j + 1] = static_cast<std::uint16_t>(c);
            child_[c] = static_cast<std::uint16_t>(j);
            c = l;
        }
        c = parent_[c];
    } while (c != 0);
}

// Halves the leaf counts and builds the tree anew from them.
void AdaptiveTree::Rebuild() {
    unsigned j = 0;
    for (unsigned i = 0; i < kNodes; ++i) {
        if (child_[i] >= kNodes) {
            freq_[j] = (freq_[i] + 1) / 2;
            child_[j] = child_[i];
            ++j;
        }
    }
    for (unsigned i = 0; j < kNodes; i += 2, ++j) {
        const std::uint32_t f = freq_[i] + freq_[i + 1];
        unsigned k = j;
        while (f < freq_[k - 1]) --k;
        std::copy_backward(freq_.begin() + k, freq_.begin() + j, freq_.begin() + j + 1);
        std::copy_backward(child_.begin() + k, child_.begin() + j, child_.begin() + j + 1);
        freq_[k] = f;
        child_[k] = static_cast<std::uint16_t>(i);
    }
    for (unsigned i = 0; i < kNodes; ++i) {
        const unsigned k = child_[i];
        parent_[k] = static_cast<std::uint16_t>(i);
        if (k < kNodes) parent_[k + 1] = static_cast<std::uint16_t>(i);
    }
}

// Distance minus one: the upper 6 bits by the prefix code, then 6 plain bits.
std::size_t ReadDistance(MsbBitReader& in) {
    const std::uint32_t first = in.Get(8);
    const PosPrefix& p = kPosPrefixes[first];
    const unsigned more = p.len - 2u;
    const std::uint32_t low = (first << more | in.Get(more)) & 0x3F;
    return std::size_t{p.upper} << 6 | low;
}

struct Lh1State {
    Lh1State(ByteSource& in, OutputSink& out, std::uint64_t size)
        : bits(in), window(out, kWindowSize, size, kFirstByte) {}
    MsbBitReader bits;
    RingWindow window;
    AdaptiveTree tree;
};

}  // namespace

std::uint64_t DecodeLh1(ByteSource& in, OutputSink& out, std::uint64_t originalSize) {
    auto s = std::make_unique<Lh1State>(in, out, originalSize);
    std::fill_n(s->window.Data(), kFirstByte, std::uint8_t{' '});
    DecodeThenFlush(s->window, [&s] {
        while (!s->window.Full()) {
            const unsigned c = s->tree.Decode(s->bits);
            if (c < 256) {
                s->bits.CheckEnd();
                s->window.Put(static_cast<std::uint8_t>(c));
            } else {
                const std::size_t dist = ReadDistance(s->bits);
                s->bits.CheckEnd();
                s->window.Copy(dist, c - kMatchBias);
            }
        }
    });
    return s->window.Produced();
}

}  // namespace lumora::archive
