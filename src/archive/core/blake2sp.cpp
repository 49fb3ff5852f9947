#include "archive/core/blake2sp.h"

#include <algorithm>
#include <cstring>

#include "archive/core/le_bytes.h"

namespace lumora::archive {

namespace {

constexpr std::array<std::uint32_t, 8> kIv = {0x6A09E667u, 0xBB67AE85u, 0x3C6EF372u, 0xA54FF53Au,
                                              0x510E527Fu, 0x9B05688Cu, 0x1F83D9ABu, 0x5BE0CD19u};

// The message word order of each of the ten rounds.
constexpr std::uint8_t kSigma[10][16] = {
    {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15},
    {14, 10, 4, 8, 9, 15, 13, 6, 1, 12, 0, 2, 11, 7, 5, 3},
    {11, 8, 12, 0, 5, 2, 15, 13, 10, 14, 3, 6, 7, 1, 9, 4},
    {7, 9, 3, 1, 13, 12, 11, 14, 2, 6, 5, 10, 4, 0, 15, 8},
    {9, 0, 5, 7, 2, 4, 10, 15, 14, 1, 11, 12, 6, 8, 3, 13},
    {2, 12, 6, 10, 0, 11, 8, 3, 4, 13, 7, 5, 15, 14, 1, 9},
    {12, 5, 1, 15, 14, 13, 4, 10, 0, 7, 6, 3, 9, 2, 8, 11},
    {13, 11, 7, 14, 12, 1, 3, 9, 5, 0, 15, 4, 8, 6, 2, 10},
    {6, 15, 14, 9, 11, 3, 0, 8, 12, 2, 13, 7, 1, 4, 10, 5},
    {10, 2, 8, 4, 7, 6, 1, 5, 15, 11, 9, 14, 3, 12, 13, 0},
};

constexpr std::uint32_t Rotr(std::uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

inline void Mix(std::uint32_t* v, int a, int b, int c, int d, std::uint32_t x, std::uint32_t y) {
    v[a] = v[a] + v[b] + x;
    v[d] = Rotr(v[d] ^ v[a], 16);
    v[c] = v[c] + v[d];
    v[b] = Rotr(v[b] ^ v[c], 12);
    v[a] = v[a] + v[b] + y;
    v[d] = Rotr(v[d] ^ v[a], 8);
    v[c] = v[c] + v[d];
    v[b] = Rotr(v[b] ^ v[c], 7);
}

}  // namespace

Blake2s::Blake2s(const Blake2sParams& p) : digestLength_(p.digestLength), lastNode_(p.lastNode) {
    const std::uint32_t words[8] = {
        p.digestLength | (std::uint32_t{p.fanout} << 16) | (std::uint32_t{p.depth} << 24),
        p.leafLength,
        static_cast<std::uint32_t>(p.nodeOffset),
        static_cast<std::uint32_t>((p.nodeOffset >> 32) & 0xFFFF) |
            (std::uint32_t{p.nodeDepth} << 16) | (std::uint32_t{p.innerLength} << 24),
        0,
        0,
        0,
        0};
    for (std::size_t i = 0; i < h_.size(); ++i) h_[i] = kIv[i] ^ words[i];
}

// The rounds are unrolled: each step's message words are then known (a
// quarter faster).
void Blake2s::Compress(const std::uint8_t* block, bool last) {
    std::uint32_t m[16];
    for (int i = 0; i < 16; ++i) m[i] = Le32(block + 4 * i);
    std::uint32_t v[16];
    for (int i = 0; i < 8; ++i) {
        v[i] = h_[i];
        v[i + 8] = kIv[i];
    }
    v[12] ^= static_cast<std::uint32_t>(counter_);
    v[13] ^= static_cast<std::uint32_t>(counter_ >> 32);
    if (last) v[14] = ~v[14];
    if (last && lastNode_) v[15] = ~v[15];
#pragma GCC unroll 10
    for (const auto& s : kSigma) {
        Mix(v, 0, 4, 8, 12, m[s[0]], m[s[1]]);
        Mix(v, 1, 5, 9, 13, m[s[2]], m[s[3]]);
        Mix(v, 2, 6, 10, 14, m[s[4]], m[s[5]]);
        Mix(v, 3, 7, 11, 15, m[s[6]], m[s[7]]);
        Mix(v, 0, 5, 10, 15, m[s[8]], m[s[9]]);
        Mix(v, 1, 6, 11, 12, m[s[10]], m[s[11]]);
        Mix(v, 2, 7, 8, 13, m[s[12]], m[s[13]]);
        Mix(v, 3, 4, 9, 14, m[s[14]], m[s[15]]);
    }
    for (int i = 0; i < 8; ++i) h_[i] ^= v[i] ^ v[i + 8];
}

// The last block is held back until Final, which compresses it flagged as
// the last (a hash of nothing compresses one block of zeros).
void Blake2s::Update(const std::uint8_t* data, std::size_t n) {
    const std::size_t fill = kBlock - bufLen_;
    if (n > fill) {
        std::memcpy(buf_.data() + bufLen_, data, fill);
        counter_ += kBlock;
        Compress(buf_.data(), false);
        bufLen_ = 0;
        data += fill;
        n -= fill;
        for (; n > kBlock; data += kBlock, n -= kBlock) {
            counter_ += kBlock;
            Compress(data, false);
        }
    }
    if (n > 0) std::memcpy(buf_.data() + bufLen_, data, n);
    bufLen_ += n;
}

Blake2Digest Blake2s::Final() {
    counter_ += bufLen_;
    std::fill(buf_.begin() + static_cast<std::ptrdiff_t>(bufLen_), buf_.end(), 0);
    Compress(buf_.data(), true);
    Blake2Digest out{};
    for (std::size_t i = 0; i < h_.size(); ++i) {
        for (int k = 0; k < 4; ++k) out[4 * i + k] = static_cast<std::uint8_t>(h_[i] >> (8 * k));
    }
    std::fill(out.begin() + digestLength_, out.end(), 0);
    return out;
}

Blake2sp::Blake2sp() {
    for (std::size_t i = 0; i < kLeaves; ++i) {
        leaves_[i] = Blake2s({.fanout = kLeaves,
                              .depth = 2,
                              .nodeOffset = i,
                              .innerLength = 32,
                              .lastNode = i == kLeaves - 1});
    }
}

// Block k of the input (64 bytes) goes to leaf k mod 8.
void Blake2sp::Update(const std::uint8_t* data, std::size_t n) {
    while (n > 0) {
        const std::size_t leaf = static_cast<std::size_t>(total_ / kStripe) % kLeaves;
        const std::size_t take = std::min<std::size_t>(n, kStripe - total_ % kStripe);
        leaves_[leaf].Update(data, take);
        total_ += take;
        data += take;
        n -= take;
    }
}

Blake2Digest Blake2sp::Final() {
    Blake2s root(
        {.fanout = kLeaves, .depth = 2, .nodeDepth = 1, .innerLength = 32, .lastNode = true});
    for (Blake2s& leaf : leaves_) {
        const Blake2Digest d = leaf.Final();
        root.Update(d.data(), d.size());
    }
    return root.Final();
}

}  // namespace lumora::archive
