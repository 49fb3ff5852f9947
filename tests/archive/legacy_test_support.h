// Stream writers for the Shrink, Reduce and Implode tests, written from the
// published method descriptions independently of the decoders: an LSB-first
// bit writer, the follower layer of Reduce, and Shannon-Fano trees as
// Implode stores them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <utility>
#include <vector>

#include "lzh_test_support.h"

namespace lumora::archive::test {

class LsbBitWriter {
public:
    void Bits(std::uint32_t value, unsigned n) {
        for (unsigned i = 0; i < n; ++i) Bit((value >> i) & 1);
    }
    void Bit(unsigned b) {
        if (used_ == 0) bytes.push_back(0);
        bytes.back() |= static_cast<std::uint8_t>(b << used_);
        used_ = (used_ + 1) & 7;
    }
    Bytes bytes;

private:
    unsigned used_ = 0;
};

// Reduce: follower sets for every byte value, then each byte of the
// run-length layer coded against the set of the byte before it.
class ReduceTestEncoder {
public:
    std::vector<std::vector<std::uint8_t>> followers = std::vector<std::vector<std::uint8_t>>(256);

    Bytes Encode(const Bytes& layer) {
        LsbBitWriter out;
        for (int v = 255; v >= 0; --v) {
            const auto& set = followers[static_cast<std::size_t>(v)];
            out.Bits(static_cast<std::uint32_t>(set.size()), 6);
            for (std::uint8_t b : set) out.Bits(b, 8);
        }
        std::uint8_t last = 0;
        for (std::uint8_t c : layer) {
            const auto& set = followers[last];
            const auto it = std::find(set.begin(), set.end(), c);
            if (set.empty()) {
                out.Bits(c, 8);
            } else if (it == set.end()) {
                out.Bit(1);
                out.Bits(c, 8);
            } else {
                out.Bit(0);
                unsigned bits = 1;
                while ((1u << bits) < set.size()) ++bits;
                out.Bits(static_cast<std::uint32_t>(it - set.begin()), bits);
            }
            last = c;
        }
        return out.bytes;
    }
};

// The run-length layer of Reduce for one factor: literals (144 escaped) and
// matches of `length` bytes from `distance` back.
class ReduceLayer {
public:
    explicit ReduceLayer(unsigned factor) : factor_(factor) {}

    ReduceLayer& Literal(std::uint8_t c) {
        bytes.push_back(c);
        if (c == 144) bytes.push_back(0);
        return *this;
    }
    ReduceLayer& Text(const std::string& s) {
        for (char c : s) Literal(static_cast<std::uint8_t>(c));
        return *this;
    }
    // length >= 3, 1 <= distance <= 4096 (within what the factor can say).
    ReduceLayer& Match(unsigned distance, unsigned length) {
        const unsigned mask = 0xFFu >> factor_;
        const unsigned d = distance - 1;
        const unsigned l = length - 3;
        const unsigned high = (d >> 8) << (8 - factor_);
        bytes.push_back(144);
        bytes.push_back(static_cast<std::uint8_t>(high | std::min(l, mask)));
        if (l >= mask) bytes.push_back(static_cast<std::uint8_t>(l - mask));
        bytes.push_back(static_cast<std::uint8_t>(d & 0xFF));
        return *this;
    }
    Bytes bytes;

private:
    unsigned factor_;
};

// One Shannon-Fano tree of Implode, from bit lengths per symbol: codes as
// the published method gives them (sorted by length, assigned from the
// longest, bit-reversed).
class SfTestTree {
public:
    explicit SfTestTree(std::vector<unsigned> lengths) : lengths_(std::move(lengths)) {
        std::vector<std::size_t> order(lengths_.size());
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return lengths_[a] < lengths_[b]; });
        codes_.resize(lengths_.size());
        std::uint32_t code = 0, increment = 0;
        unsigned lastLength = 0;
        for (std::size_t i = order.size(); i-- > 0;) {
            code += increment;
            const unsigned len = lengths_[order[i]];
            if (len != lastLength) {
                lastLength = len;
                increment = 1u << (16 - len);
            }
            codes_[order[i]] = code >> (16 - len);  // the top `len` bits
        }
    }

    // The stored description: count of bytes minus one, then runs of equal
    // lengths of at most 16 symbols.
    void WriteDescription(LsbBitWriter& out) const {
        std::vector<std::uint8_t> runs;
        for (std::size_t i = 0; i < lengths_.size();) {
            std::size_t n = 1;
            while (i + n < lengths_.size() && n < 16 && lengths_[i + n] == lengths_[i]) ++n;
            runs.push_back(static_cast<std::uint8_t>(((n - 1) << 4) | (lengths_[i] - 1)));
            i += n;
        }
        out.Bits(static_cast<std::uint32_t>(runs.size() - 1), 8);
        for (std::uint8_t r : runs) out.Bits(r, 8);
    }

    // The code of `symbol`, its most significant bit first.
    void Write(LsbBitWriter& out, unsigned symbol) const {
        const unsigned len = lengths_[symbol];
        for (unsigned i = len; i-- > 0;) out.Bit((codes_[symbol] >> i) & 1);
    }

private:
    std::vector<unsigned> lengths_;
    std::vector<std::uint32_t> codes_;
};

// A complete code over `symbols` (64 or 256) symbols with three lengths:
// symbol 10 takes 2 bits, the others alternate between log2(symbols) and
// one bit more, N/2 + 1 and N/2 - 2 of them.
inline std::vector<unsigned> UnevenLengths(unsigned symbols) {
    unsigned base = 0;
    while ((1u << base) < symbols) ++base;
    unsigned shortLeft = symbols / 2 + 1;
    unsigned longLeft = symbols / 2 - 2;
    std::vector<unsigned> lengths(symbols);
    for (unsigned s = 0; s < symbols; ++s) {
        if (s == 10) {
            lengths[s] = 2;
        } else if (longLeft == 0 || (shortLeft > 0 && s % 2 == 0)) {
            lengths[s] = base;
            --shortLeft;
        } else {
            lengths[s] = base + 1;
            --longLeft;
        }
    }
    return lengths;
}

// An Implode stream: the trees, then literals and matches.
class ImplodeTestStream {
public:
    ImplodeTestStream(bool largeWindow, bool literalTree, SfTestTree literals, SfTestTree lengths,
                      SfTestTree distances)
        : lowBits_(largeWindow ? 7 : 6),
          minMatch_(literalTree ? 3 : 2),
          literalTree_(literalTree),
          literals_(std::move(literals)),
          lengths_(std::move(lengths)),
          distances_(std::move(distances)) {
        if (literalTree_) literals_.WriteDescription(out);
        lengths_.WriteDescription(out);
        distances_.WriteDescription(out);
    }

    ImplodeTestStream& Literal(std::uint8_t c) {
        out.Bit(1);
        if (literalTree_) {
            literals_.Write(out, c);
        } else {
            out.Bits(c, 8);
        }
        return *this;
    }
    ImplodeTestStream& Text(const std::string& s) {
        for (char c : s) Literal(static_cast<std::uint8_t>(c));
        return *this;
    }
    ImplodeTestStream& Match(unsigned distance, unsigned length) {
        const unsigned d = distance - 1;
        const unsigned l = length - minMatch_;
        out.Bit(0);
        out.Bits(d & ((1u << lowBits_) - 1), lowBits_);
        distances_.Write(out, d >> lowBits_);
        lengths_.Write(out, std::min(l, 63u));
        if (l >= 63) out.Bits(l - 63, 8);
        return *this;
    }

    LsbBitWriter out;

private:
    unsigned lowBits_;
    unsigned minMatch_;
    bool literalTree_;
    SfTestTree literals_, lengths_, distances_;
};

}  // namespace lumora::archive::test
