#include "archive/decoders/static_huffman.h"

#include <array>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "archive/core/error_codes.h"
#include "archive/decoders/bit_reader.h"
#include "archive/decoders/linear_window.h"

namespace lumora::archive {
namespace {

constexpr std::size_t kMaxWindow = std::size_t{1} << 16;
constexpr unsigned kCharCodes = 510;  // 256 literals, match lengths 3 to 256
constexpr unsigned kLenCodes = 19;    // code-length codes
constexpr unsigned kLenCountBits = 5;
constexpr unsigned kCharCountBits = 9;
constexpr unsigned kLenZeroRunAfter = 3;  // a 2-bit run of zero lengths follows the third
constexpr unsigned kMaxPosCodes = 17;
constexpr unsigned kMaxCodeLen = 16;
constexpr unsigned kCharTableBits = 12;
constexpr unsigned kSmallTableBits = 8;
constexpr unsigned kMatchBias = 253;  // symbol c >= 256 copies c - 253 bytes

[[noreturn]] void BadCode() {
    throw DecodeError{ecode::BadHuffmanCode};
}

// Writes `v` into the `n` entries from `p`, four at a time where it can (a
// table of 4096 entries is filled for every block).
void FillEntries(std::uint32_t* p, std::size_t n, std::uint32_t v) {
    const std::uint32_t four[4] = {v, v, v, v};
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) std::memcpy(p + i, four, sizeof four);
    for (; i < n; ++i) p[i] = v;
}

// A canonical Huffman code over at most `kSymbols` symbols. The first `kBits`
// bits of a code index a table whose entries hold the symbol and its length;
// longer codes go on through a binary tree whose nodes are numbered from the
// symbol count up, reached from entries marked kTree.
template <unsigned kSymbols, unsigned kBits>
class HuffTable {
public:
    // False unless the lengths (each at most 16) fill the code space exactly.
    bool Build(const std::uint8_t* lens, unsigned n) {
        std::array<std::uint32_t, kMaxCodeLen + 2> next{};
        std::array<unsigned, kMaxCodeLen + 1> count{};
        // Two counts, so that runs of equal lengths do not wait on each other.
        std::array<unsigned, kMaxCodeLen + 1> odd{};
        for (unsigned s = 0; s < n; ++s) {
            if (lens[s] > kMaxCodeLen) return false;
            ++(s & 1 ? odd : count)[lens[s]];
        }
        for (unsigned len = 0; len <= kMaxCodeLen; ++len) count[len] += odd[len];
        for (unsigned len = 1; len <= kMaxCodeLen; ++len)
            next[len + 1] = next[len] + (count[len] << (kMaxCodeLen - len));
        if (next[kMaxCodeLen + 1] != 1u << kMaxCodeLen) return false;

        n_ = n;
        std::copy(lens, lens + n, lens_.begin());
        // Without codes longer than the table, the complete code writes
        // every entry; else the prefixes of the long ones start empty.
        bool longCodes = false;
        for (unsigned len = kBits + 1; len <= kMaxCodeLen; ++len) longCodes |= count[len] != 0;
        if (longCodes) table_.fill(kEmpty);
        unsigned avail = n;
        for (unsigned s = 0; s < n; ++s) {
            const unsigned len = lens[s];
            if (len == 0) continue;
            const std::uint32_t code = next[len];
            next[len] += 1u << (kMaxCodeLen - len);
            if (len <= kBits) {
                const std::uint32_t first = code >> (kMaxCodeLen - kBits);
                FillEntries(table_.data() + first, std::size_t{1} << (kBits - len), len << 16 | s);
                continue;
            }
            std::uint32_t* root = &table_[code >> (kMaxCodeLen - kBits)];
            if (*root == kEmpty) {
                *root = kTree | avail;
                left_[avail - n] = right_[avail - n] = kEmptyNode;
                ++avail;
            }
            std::uint16_t* slot = nullptr;
            unsigned node = *root & 0xFFFF;
            for (unsigned bit = kMaxCodeLen - kBits; bit-- > kMaxCodeLen - len;) {
                slot = (code >> bit & 1) ? &right_[node - n] : &left_[node - n];
                if (bit == kMaxCodeLen - len) break;
                if (*slot == kEmptyNode) {
                    *slot = static_cast<std::uint16_t>(avail);
                    left_[avail - n] = right_[avail - n] = kEmptyNode;
                    ++avail;
                }
                node = *slot;
            }
            *slot = static_cast<std::uint16_t>(s);
        }
        return true;
    }

    // Every code is `sym`, taking no bits.
    void SetSingle(unsigned sym, unsigned n) {
        n_ = n;
        lens_.fill(0);
        table_.fill(sym);
    }

    unsigned Decode(MsbBitReader& in) const {
        in.Ensure(kMaxCodeLen);
        return DecodeNow(in);
    }
    // Decodes with at least 16 bits made available.
    unsigned DecodeNow(MsbBitReader& in) const {
        const std::uint32_t e = table_[in.PeekNow(kBits)];
        if (e < kTree) {
            in.SkipNow(e >> 16);
            return e & 0xFFFF;
        }
        const std::uint32_t bits = in.PeekNow(kMaxCodeLen);
        std::uint32_t mask = 1u << (kMaxCodeLen - 1 - kBits);
        unsigned s = e & 0xFFFF;
        do {
            s = (bits & mask) ? right_[s - n_] : left_[s - n_];
            mask >>= 1;
        } while (s >= n_);
        in.SkipNow(lens_[s]);
        return s;
    }

private:
    static constexpr std::uint32_t kTree = 1u << 31;
    static constexpr std::uint32_t kEmpty = kTree | 0xFFFF;
    static constexpr std::uint16_t kEmptyNode = 0xFFFF;

    // Written by Build or SetSingle before any Decode; not cleared up
    // front, as the decoder is made for every member.
    unsigned n_ = 0;
    std::array<std::uint32_t, std::size_t{1} << kBits> table_;
    std::array<std::uint16_t, kSymbols> left_;
    std::array<std::uint16_t, kSymbols> right_;
    std::array<std::uint8_t, kSymbols> lens_;
};

using CharTable = HuffTable<kCharCodes, kCharTableBits>;
using SmallTable = HuffTable<kLenCodes, kSmallTableBits>;  // code lengths and positions

class StaticHuffmanDecoder {
public:
    StaticHuffmanDecoder(ByteSource& in, OutputSink& out, const StaticHuffmanParams& p,
                         std::uint64_t originalSize)
        : in_(in),
          window_(out, p.window, originalSize),
          posCodes_(static_cast<unsigned>(p.dicBits) + 1),
          posCountBits_(static_cast<unsigned>(p.posBits)) {}

    std::uint64_t Run() {
        DecodeThenFlush(window_, [this] { DecodeBlocks(); });
        return window_.Produced();
    }

private:
    void DecodeBlocks();
    bool StartBlock();
    unsigned ReadCodeLength();
    void ReadSmallTable(SmallTable& table, unsigned n, unsigned countBits, unsigned zeroRunAfter);
    void ReadCharTable();

    MsbBitReader in_;
    LinearWindow window_;
    unsigned posCodes_;
    unsigned posCountBits_;
    std::uint32_t blockLeft_ = 0;
    SmallTable lenTable_;
    SmallTable posTable_;
    CharTable charTable_;
};

// A length in 3 bits; 7 goes on as a run of 1 bits ended by a 0 bit.
unsigned StaticHuffmanDecoder::ReadCodeLength() {
    const std::uint32_t bits = in_.Peek(3 + kMaxCodeLen);
    unsigned len = bits >> kMaxCodeLen;
    if (len < 7) {
        in_.Skip(3);
        return len;
    }
    for (std::uint32_t mask = 1u << (kMaxCodeLen - 1); bits & mask; mask >>= 1) {
        if (++len > kMaxCodeLen) BadCode();
    }
    in_.Skip(len - 3);
    return len;
}

// The code-length code and the position code: a count of lengths, or a
// count of 0 and the one symbol every code stands for.
void StaticHuffmanDecoder::ReadSmallTable(SmallTable& table, unsigned n, unsigned countBits,
                                          unsigned zeroRunAfter) {
    const unsigned count = in_.Get(countBits);
    if (count == 0) {
        const unsigned sym = in_.Get(countBits);
        if (sym >= n) BadCode();
        table.SetSingle(sym, n);
        return;
    }
    if (count > n) BadCode();
    std::array<std::uint8_t, kLenCodes> lens{};
    for (unsigned i = 0; i < count;) {
        lens[i++] = static_cast<std::uint8_t>(ReadCodeLength());
        if (i == zeroRunAfter) {
            i += in_.Get(2);
            if (i > n) BadCode();
        }
    }
    if (!table.Build(lens.data(), n)) BadCode();
}

// Character/length code lengths, coded with the code-length code: symbols
// 0, 1 and 2 are runs of zeros, the others a length plus 2.
void StaticHuffmanDecoder::ReadCharTable() {
    const unsigned count = in_.Get(kCharCountBits);
    if (count == 0) {
        const unsigned sym = in_.Get(kCharCountBits);
        if (sym >= kCharCodes) BadCode();
        charTable_.SetSingle(sym, kCharCodes);
        return;
    }
    if (count > kCharCodes) BadCode();
    std::array<std::uint8_t, kCharCodes> lens{};
    for (unsigned i = 0; i < count;) {
        const unsigned c = lenTable_.Decode(in_);
        if (c > 2) {
            lens[i++] = static_cast<std::uint8_t>(c - 2);
            continue;
        }
        const unsigned run = c == 0 ? 1 : c == 1 ? in_.Get(4) + 3 : in_.Get(kCharCountBits) + 20;
        if (run > kCharCodes - i) BadCode();
        i += run;
    }
    if (!charTable_.Build(lens.data(), kCharCodes)) BadCode();
}

// Reads the next block's size and tables; false for the size 0 that ends
// the data.
bool StaticHuffmanDecoder::StartBlock() {
    blockLeft_ = in_.Get(16);
    if (blockLeft_ == 0) return false;
    ReadSmallTable(lenTable_, kLenCodes, kLenCountBits, kLenZeroRunAfter);
    ReadCharTable();
    ReadSmallTable(posTable_, posCodes_, posCountBits_, 0);
    in_.CheckEnd();  // before symbols that may take no bits at all
    return true;
}

// At most one refill for a character code, and one for a position code and
// its extra bits. Position code p: distance 0 for p = 0, else 2^(p-1) plus
// p-1 more bits.
void StaticHuffmanDecoder::DecodeBlocks() {
    while (!window_.Full()) {
        if (blockLeft_ == 0 && !StartBlock()) break;
        --blockLeft_;
        const unsigned c = charTable_.Decode(in_);
        if (c < 256) {
            in_.CheckEnd();
            window_.Put(static_cast<std::uint8_t>(c));
            continue;
        }
        in_.Ensure(2 * kMaxCodeLen - 1);
        const unsigned p = posTable_.DecodeNow(in_);
        std::size_t dist = 0;
        if (p != 0) {
            dist = (std::size_t{1} << (p - 1)) + in_.PeekNow(p - 1);
            in_.SkipNow(p - 1);
        }
        in_.CheckEnd();
        window_.Copy(dist, c - kMatchBias);
    }
    in_.CheckEnd();  // the end-of-data block size
}

}  // namespace

std::uint64_t DecodeStaticHuffman(ByteSource& in, OutputSink& out, const StaticHuffmanParams& p,
                                  std::uint64_t originalSize) {
    if (p.dicBits < 1 || p.dicBits + 1 > static_cast<int>(kMaxPosCodes) || p.posBits < 1 ||
        p.posBits > static_cast<int>(kLenCountBits) || p.window == 0 || p.window > kMaxWindow)
        throw std::invalid_argument("static Huffman parameters out of range");
    return std::make_unique<StaticHuffmanDecoder>(in, out, p, originalSize)->Run();
}

}  // namespace lumora::archive
