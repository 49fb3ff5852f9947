#include "archive/decoders/inflate.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <memory>
#include <span>

#include "archive/decoders/match_copy.h"

namespace lumora::archive {
namespace {

constexpr std::size_t kInChunk = 32768;  // bytes asked of the source per read
constexpr std::size_t kInSlack = 16;     // room for the unread rest kept on a refill
constexpr std::size_t kWordBytes = 8;    // bytes the branch-free refill loads

constexpr unsigned kMaxCodeLen = 15;
constexpr unsigned kLitRoot = 11;
constexpr unsigned kDistRoot = 8;
constexpr unsigned kCodeLenRoot = 7;
constexpr unsigned kMaxLitCodes = 288;
constexpr unsigned kMaxDistCodes = 32;
// Literal pairs are made when at least 1 in this many root look-ups finds one.
constexpr unsigned kPairShareMin = 8;
// Nor are they made once the source has run short with less than this
// much input left: pairing costs a pass over the root table, more than a
// description of a few hundred bytes takes to decode.
constexpr std::size_t kPairInputMin = 8192;

// Table sizes: the root table plus room for every second-level table a
// complete code can need (a subtree of depth d holds at least d + 1 symbols,
// so subtables take at most symbols * 2^d / (d + 1) entries).
constexpr std::size_t kLitTableSize = (1u << kLitRoot) + kMaxLitCodes * 16 / 5;
constexpr std::size_t kDistTableSize = (1u << kDistRoot) + kMaxDistCodes * 128 / 8;
constexpr std::size_t kCodeLenTableSize = 1u << kCodeLenRoot;

// A table entry: bits 0-7 the bits it consumes (code length plus extra
// bits; both codes of a literal pair; the root bits of a subtable link),
// 8-11 the length of the code alone (for a subtable link: its index bits),
// 12-14 kind, bit 15 set when a second literal follows, 16-31 value (literal
// byte, or two of them, base of a length or distance, code-length symbol,
// or subtable offset).
enum EntryKind : std::uint32_t {
    kInvalid = 0,  // no code, or a symbol the format reserves
    kBase = 1,
    kSubtable = 2,  // the only kind of a distance entry with bit 13 set
    kEndOfBlock = 3,
    kLiteral = 4,  // the only kind with bit 14 set
};
constexpr std::uint32_t kLiteralBit = kLiteral << 12;
constexpr std::uint32_t kPairBit = 1u << 15;

constexpr std::uint32_t MakeEntry(std::uint32_t kind, unsigned len, unsigned extra,
                                  std::uint32_t value) {
    return value << 16 | kind << 12 | len << 8 | (len + extra);
}
constexpr unsigned EntryBits(std::uint32_t e) {
    return e & 0xFF;
}
constexpr unsigned EntryCodeLen(std::uint32_t e) {
    return (e >> 8) & 15;
}
constexpr unsigned EntryKindOf(std::uint32_t e) {
    return (e >> 12) & 7;
}
constexpr unsigned EntryValue(std::uint32_t e) {
    return e >> 16;
}
constexpr std::uint64_t LowMask(unsigned n) {
    return (std::uint64_t{1} << n) - 1;
}
// The value of a base entry at the bottom of the accumulator `bb`: its base
// plus its extra bits, which follow its code.
constexpr std::size_t BaseValue(std::uint64_t bb, std::uint32_t e) {
    return EntryValue(e) +
           static_cast<std::size_t>((bb & LowMask(EntryBits(e))) >> EntryCodeLen(e));
}
// The entry a subtable link leads to, with the link's bits already off `bb`.
inline std::uint32_t SubtableEntry(const std::uint32_t* table, std::uint64_t bb,
                                   std::uint32_t link) {
    return table[EntryValue(link) + (bb & LowMask(EntryCodeLen(link)))];
}

constexpr std::array<std::uint16_t, 29> kLengthBase = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                                       15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                                       67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<std::uint8_t, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                       2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
// Distance codes 30 and 31 exist in Deflate64 only.
constexpr std::array<std::uint16_t, 32> kDistBase = {
    1,    2,    3,    4,    5,    7,     9,     13,    17,    25,   33,
    49,   65,   97,   129,  193,  257,   385,   513,   769,   1025, 1537,
    2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577, 32769, 49153};
constexpr std::array<std::uint8_t, 32> kDistExtra = {0,  0,  0,  0,  1,  1,  2,  2,  3,  3, 4,
                                                     4,  5,  5,  6,  6,  7,  7,  8,  8,  9, 9,
                                                     10, 10, 11, 11, 12, 12, 13, 13, 14, 14};
constexpr std::array<std::uint8_t, 19> kCodeLenOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                        11, 4,  12, 3, 13, 2, 14, 1, 15};

// What each symbol decodes to, without its code length.
constexpr std::array<std::uint32_t, kMaxLitCodes> MakeLitInfo(bool deflate64) {
    std::array<std::uint32_t, kMaxLitCodes> info{};  // 286 and 287 stay invalid
    for (unsigned s = 0; s < 256; ++s) info[s] = MakeEntry(kLiteral, 0, 0, s);
    info[256] = MakeEntry(kEndOfBlock, 0, 0, 0);
    for (unsigned i = 0; i < kLengthBase.size(); ++i)
        info[257 + i] = MakeEntry(kBase, 0, kLengthExtra[i], kLengthBase[i]);
    if (deflate64) info[285] = MakeEntry(kBase, 0, 16, 3);  // lengths 3 to 65538
    return info;
}
constexpr std::array<std::uint32_t, kMaxDistCodes> MakeDistInfo(bool deflate64) {
    std::array<std::uint32_t, kMaxDistCodes> info{};  // unused codes stay invalid
    const unsigned codes = deflate64 ? 32 : 30;
    for (unsigned i = 0; i < codes; ++i) info[i] = MakeEntry(kBase, 0, kDistExtra[i], kDistBase[i]);
    return info;
}
constexpr auto kLitInfo = MakeLitInfo(false);
constexpr auto kDistInfo = MakeDistInfo(false);
constexpr auto kLitInfo64 = MakeLitInfo(true);
constexpr auto kDistInfo64 = MakeDistInfo(true);
constexpr auto kCodeLenInfo = [] {
    std::array<std::uint32_t, 19> info{};
    for (unsigned s = 0; s < info.size(); ++s) info[s] = MakeEntry(kLiteral, 0, 0, s);
    return info;
}();

constexpr auto kReversedBytes = [] {
    std::array<std::uint8_t, 256> t{};
    for (unsigned b = 0; b < 256; ++b)
        for (unsigned i = 0; i < 8; ++i)
            t[b] |= static_cast<std::uint8_t>(((b >> i) & 1) << (7 - i));
    return t;
}();

// The low `len` bits of `code` (len at most 16) in reverse order.
constexpr unsigned ReverseBits(unsigned code, unsigned len) {
    const unsigned r16 = kReversedBytes[code & 0xFF] << 8 | kReversedBytes[(code >> 8) & 0xFF];
    return r16 >> (16 - len);
}

// True when the lengths form a usable prefix code: never over-subscribed,
// and complete unless `allowSparse` admits the two incomplete sets the format
// permits (no code at all, or a single one-bit code). `complete` tells which.
bool CodeSetUsable(const std::array<unsigned, kMaxCodeLen + 1>& count, bool allowSparse,
                   bool& complete) {
    int left = 1;
    unsigned total = 0;
    for (unsigned len = 1; len <= kMaxCodeLen; ++len) {
        left = 2 * left - static_cast<int>(count[len]);
        if (left < 0) return false;
        total += count[len];
    }
    complete = left == 0;
    if (complete) return true;
    return allowSparse && (total == 0 || (total == 1 && count[1] == 1));
}

// Writes `entry` for the bit-reversed `code` of `len` bits into every slot of
// a table of 2^bits entries whose low bits match it.
void Replicate(std::uint32_t* table, unsigned bits, unsigned code, unsigned len,
               std::uint32_t entry) {
    for (std::size_t i = ReverseBits(code, len); i < (std::size_t{1} << bits); i += 1u << len)
        table[i] = entry + (len << 8) + len;
}

// True when literal pairs are worth making: when a look-up in the root
// table finds two literals often enough to pay for the wider store. Each
// literal code of l bits fills 2^(rootBits - l) root slots; the share of
// slots holding a pair is the sum over first codes of their slots times
// the slots of the codes that fit after them, over 2^(2 rootBits).
bool PairsPay(std::span<const std::uint8_t> lens, unsigned rootBits) {
    std::array<std::uint64_t, kMaxCodeLen + 1> slots{};
    for (unsigned sym = 0; sym < 256 && sym < lens.size(); ++sym)
        if (lens[sym] != 0 && lens[sym] < rootBits)
            slots[lens[sym]] += 1u << (rootBits - lens[sym]);
    std::uint64_t pairs = 0;
    std::uint64_t fitting = 0;  // slots of the codes of at most rootBits - len bits
    for (unsigned len = rootBits - 1; len >= 1; --len) {
        fitting += slots[rootBits - len];
        pairs += slots[len] * fitting;
    }
    return pairs >= (std::uint64_t{1} << (2 * rootBits)) / kPairShareMin;
}

// Turns root entries whose literal leaves room for a whole second literal
// code into literal pairs. Descending order reads every second entry (at a
// lower index) before it is changed.
void PairLiterals(std::uint32_t* table, unsigned rootBits) {
    for (std::size_t i = std::size_t{1} << rootBits; i-- > 0;) {
        const std::uint32_t first = table[i];
        if (EntryKindOf(first) != kLiteral) continue;
        const unsigned len = EntryBits(first);
        const std::uint32_t second = table[i >> len];
        if (EntryKindOf(second) != kLiteral || EntryBits(second) + len > rootBits) continue;
        table[i] = (first & 0xFF0000) | EntryValue(second) << 24 | kPairBit | kLiteralBit |
                   len << 8 | (len + EntryBits(second));
    }
}

// Builds a decoding table from code lengths (0 = symbol unused). Codes up to
// `rootBits` long resolve in the root table; longer ones through a subtable
// per shared root prefix. False for an unusable code set.
bool BuildTable(std::span<const std::uint8_t> lens, const std::uint32_t* info, unsigned rootBits,
                bool allowSparse, std::span<std::uint32_t> table, bool pairs = false) {
    std::array<unsigned, kMaxCodeLen + 1> count{};
    for (std::uint8_t len : lens) ++count[len];
    bool complete = false;
    if (!CodeSetUsable(count, allowSparse, complete)) return false;

    // Symbols in canonical order (by length, then by value) and their codes.
    std::array<unsigned, kMaxCodeLen + 2> next{};
    for (unsigned len = 1; len <= kMaxCodeLen; ++len) next[len + 1] = next[len] + count[len];
    std::array<std::uint16_t, kMaxLitCodes> sorted{};
    for (unsigned sym = 0; sym < lens.size(); ++sym)
        if (lens[sym] != 0) sorted[next[lens[sym]]++] = static_cast<std::uint16_t>(sym);
    const unsigned total = next[kMaxCodeLen];
    std::array<std::uint16_t, kMaxLitCodes> codes{};
    for (unsigned k = 1; k < total; ++k)
        codes[k] = static_cast<std::uint16_t>((codes[k - 1] + 1)
                                              << (lens[sorted[k]] - lens[sorted[k - 1]]));

    // A complete code writes every slot; only the sparse sets leave gaps.
    std::size_t used = std::size_t{1} << rootBits;
    if (!complete) std::fill(table.begin(), table.begin() + static_cast<std::ptrdiff_t>(used), 0);
    // Root codes by length: the codes of `len` bits go into the first
    // 2^len slots, and doubling that part before the next length repeats
    // each of them wherever its bits are followed by any others.
    unsigned k = 0;
    std::size_t filled = 0;
    for (unsigned len = 1; len <= rootBits; ++len) {
        if (filled != 0) {
            std::memcpy(table.data() + filled, table.data(), filled * sizeof table[0]);
            filled *= 2;
        } else if (count[len] != 0) {
            filled = std::size_t{1} << len;
        }
        for (; k < total && lens[sorted[k]] == len; ++k)
            table[ReverseBits(codes[k], len)] = info[sorted[k]] + (len << 8) + len;
    }
    while (k < total) {
        const unsigned len = lens[sorted[k]];
        // Long codes sharing their first rootBits bits are adjacent in
        // canonical order; the last of them is the longest.
        const unsigned prefix = static_cast<unsigned>(codes[k]) >> (len - rootBits);
        unsigned end = k;
        while (end < total &&
               (static_cast<unsigned>(codes[end]) >> (lens[sorted[end]] - rootBits)) == prefix)
            ++end;
        const unsigned subBits = lens[sorted[end - 1]] - rootBits;
        const std::size_t size = std::size_t{1} << subBits;
        if (used + size > table.size()) return false;
        std::uint32_t* sub = table.data() + used;
        if (!complete) std::fill(sub, sub + size, 0);
        table[ReverseBits(prefix, rootBits)] =
            static_cast<std::uint32_t>(used) << 16 | kSubtable << 12 | subBits << 8 | rootBits;
        for (; k < end; ++k) {
            const unsigned subLen = lens[sorted[k]] - rootBits;
            Replicate(sub, subBits, codes[k] & LowMask(subLen), subLen, info[sorted[k]]);
        }
        used += size;
    }
    if (pairs) PairLiterals(table.data(), rootBits);
    return true;
}

// One decoder for both variants; the variant's differences are constants so
// that each gets its own decoding loop and plain Deflate pays nothing for
// Deflate64.
template <DeflateVariant V>
class Inflater final : public InflateChain::Impl {
    static constexpr bool kWide = V == DeflateVariant::kDeflate64;
    static constexpr std::size_t kWindowSize = kWide ? 65536 : 32768;
    static constexpr std::size_t kMaxMatch = kWide ? 65538 : 258;
    // Output collects after the window's worth of history; once this much
    // is there it goes to the sink and the last window slides to the front.
    static constexpr std::size_t kOutChunk = std::size_t{1} << 18;
    // What a step may write past the trigger: two literal pairs or a
    // literal pair and a match with its word overrun.
    static constexpr std::size_t kOverrun = kMaxMatch + 32;
    // Input a step may take at most: three refills of up to 7 bytes, each
    // loading a word.
    static constexpr std::size_t kStepInput = 32;
    static constexpr const std::uint32_t* kLit = kWide ? kLitInfo64.data() : kLitInfo.data();
    static constexpr const std::uint32_t* kDist = kWide ? kDistInfo64.data() : kDistInfo.data();

public:
    // Decodes one stream; its matches may reach into the output of the
    // streams this object decoded before.
    InflateResult Run(ByteSource& in, OutputSink& out, const InflateOptions& opt) override;

private:
    // Why decoding stopped early; thrown inside, caught by Run.
    struct Halt {
        InflateStatus status;
        int code;
    };

    // Input: the bit accumulator holds 56 to 63 bits after a refill. Past the
    // end of the input it is fed zero bytes, counted in phantom_; consuming
    // any of them means the stream was truncated.
    void FillInput();
    void CountInput(std::size_t n);
    void RefillFast();
    void RefillSlow();
    void Refill();
    std::uint32_t Take(unsigned n);
    bool Overrun() const { return bitCount_ < 8 * phantom_; }
    void CheckTruncation() const;
    [[noreturn]] void Fail(int code) const;

    // Output: bytes collect in buf_ from outStart_ on; at trigger_ they
    // are flushed or the output limit ends decoding.
    void Start(ByteSource& in, OutputSink& out, const InflateOptions& opt);
    void LoadHistory();
    void Slide();
    void SetTrigger();
    void OnTrigger();
    void FinishOutput();

    // Copies of the members DecodeData works on, kept in registers.
    struct Regs {
        std::uint64_t bb;
        unsigned bc;
        unsigned phantomBits;
        std::size_t ip;
        std::size_t iend;
        std::size_t wp;
        std::size_t trigger;

        std::size_t Take(unsigned n) {
            const auto v = static_cast<std::size_t>(bb & LowMask(n));
            bb >>= n;
            bc -= n;
            return v;
        }
        // The value of a base entry: its base plus its extra bits, consumed
        // together with its code.
        std::size_t TakeValue(std::uint32_t e) {
            const std::size_t v = BaseValue(bb, e);
            Take(EntryBits(e));
            return v;
        }
    };
    // The fast loop's state: input and output pointers and the bit
    // accumulator, of whose count only the low byte counts (whole entries
    // are subtracted from it, leaving their upper bits above it).
    struct FastRegs {
        const std::uint8_t* ip;
        std::uint8_t* op;
        std::uint64_t bb;
        unsigned bc;

        // Tops the accumulator up to at least 56 bits with one word load.
        void Refill() {
            std::uint64_t w;
            std::memcpy(&w, ip, kWordBytes);
            bb |= w << (bc & 63);
            ip += 7 - ((bc >> 3) & 7);
            bc |= 56;
        }
        void Consume(std::uint32_t e) {
            bb >>= e & 63;
            bc -= e;
        }
        // A base entry's value: its base plus its extra bits, consumed
        // together with its code.
        std::size_t TakeValue(std::uint32_t e) {
            const std::size_t v = BaseValue(bb, e);
            Consume(e);
            return v;
        }
        // Follows a subtable link.
        std::uint32_t Follow(const std::uint32_t* table, std::uint32_t link) {
            Consume(link);
            return SubtableEntry(table, bb, link);
        }
        // Stores a literal entry's byte, or both bytes of a pair.
        template <bool kPairs>
        void Put(std::uint32_t e) {
            Consume(e);
            if constexpr (!kPairs) {
                *op++ = static_cast<std::uint8_t>(e >> 16);
                return;
            } else if constexpr (std::endian::native == std::endian::little) {
                const auto both = static_cast<std::uint16_t>(e >> 16);
                std::memcpy(op, &both, sizeof both);
            } else {
                op[0] = static_cast<std::uint8_t>(e >> 16);
                op[1] = static_cast<std::uint8_t>(e >> 24);
            }
            op += 1 + ((e >> 15) & 1);
        }
    };
    Regs LoadRegs() const {
        return {bitBuf_, bitCount_, 8 * phantom_, inPos_, inEnd_, wp_, trigger_};
    }
    void SaveRegs(const Regs& r) {
        bitBuf_ = r.bb;
        bitCount_ = r.bc;
        inPos_ = r.ip;
        wp_ = r.wp;
    }
    // Tops the accumulator up to 56 bits or more: a word load while 8 input
    // bytes are buffered, else through Refill.
    void Refill(Regs& r) {
        if (r.iend - r.ip >= kWordBytes) {
            std::uint64_t w;
            std::memcpy(&w, inData_ + r.ip, kWordBytes);
            r.bb |= w << r.bc;
            r.ip += (63 - r.bc) >> 3;
            r.bc |= 56;
        } else {
            SaveRegs(r);
            Refill();
            r = LoadRegs();
        }
    }
    // Follows a subtable link (a root entry of any other kind stays).
    static std::uint32_t Resolve(Regs& r, const std::uint32_t* table, std::uint32_t e) {
        if (EntryKindOf(e) != kSubtable) return e;
        r.Take(EntryBits(e));
        return SubtableEntry(table, r.bb, e);
    }
    // Consumes a literal entry and stores its one or two bytes.
    void PutLiterals(Regs& r, std::uint8_t* buf, std::uint32_t e) {
        r.bb >>= e & 63;  // the entry's bit count, below 64
        r.bc -= EntryBits(e);
        if (r.bc < r.phantomBits) StopInLiterals(r, e);
        buf[r.wp] = static_cast<std::uint8_t>(e >> 16);
        buf[r.wp + 1] = static_cast<std::uint8_t>(e >> 24);
        r.wp += 1 + ((e & kPairBit) != 0);
    }
    [[noreturn]] void StopInLiterals(Regs& r, std::uint32_t e);
    void CheckTrigger(Regs& r) {
        if (r.wp >= r.trigger) {
            SaveRegs(r);
            OnTrigger();
            r = LoadRegs();
        }
    }
    // Ends decoding from DecodeData: the output limit if the bytes so far
    // pass it, else truncation if bits past the input's end were used, else
    // the data error `code`.
    [[noreturn]] void Stop(const Regs& r, int code) {
        SaveRegs(r);
        if (flushed_ + (wp_ - outStart_) > limit_) throw Halt{InflateStatus::kOutputLimit, 0};
        Fail(code);
    }

    void StoredBlock();
    // The tables of the fixed code, built once per process and shared.
    struct Fixed {
        std::array<std::uint32_t, kLitTableSize> lit;
        std::array<std::uint32_t, kDistTableSize> dist;
    };
    static const Fixed& FixedTables();
    void DynamicTables();
    void ReadCodeLengths(std::span<std::uint8_t> lens);
    void DecodeData(const std::uint32_t* lit, const std::uint32_t* dist, int errorCode, bool pairs);
    bool Step(Regs& r, const std::uint32_t* lit, const std::uint32_t* dist, int errorCode);
    template <bool kPairs, bool kShuffle = false>
    [[gnu::always_inline]] bool FastLoop(Regs& r, const std::uint32_t* lit,
                                         const std::uint32_t* dist, int errorCode);
    bool Fast(Regs& r, const std::uint32_t* lit, const std::uint32_t* dist, int errorCode,
              bool pairs);
#if defined(__x86_64__)
    // The same loop built for CPUs with BMI2 (shifts by a register without
    // CL, masks in one instruction) and SSSE3 (match copies by shuffle),
    // chosen at run time. Aligned to a cache line: placed anywhere else by
    // the linker the same code ran some 5 % slower.
    template <bool kPairs>
    [[gnu::target("bmi2,ssse3"), gnu::aligned(64)]] bool FastLoopBmi2(Regs& r,
                                                                      const std::uint32_t* lit,
                                                                      const std::uint32_t* dist,
                                                                      int errorCode) {
        return FastLoop<kPairs, true>(r, lit, dist, errorCode);
    }
    const bool cpuBmi2Ssse3_ = __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("ssse3");
#endif

    ByteSource* in_ = nullptr;
    OutputSink* out_ = nullptr;
    const InflateOptions* opt_ = nullptr;
    std::uint64_t limit_ = 0;

    std::array<std::uint8_t, kInChunk + kInSlack> inBuf_;
    // The buffered input: inBuf_, or bytes the source lends in place.
    const std::uint8_t* inData_ = inBuf_.data();
    std::size_t inPos_ = 0;
    std::size_t inEnd_ = 0;
    bool inEof_ = false;
    bool inShort_ = false;  // the last read gave less than was asked
    std::uint64_t totalRead_ = 0;
    std::uint64_t nextProgress_ = kInChunk;
    std::uint64_t bitBuf_ = 0;
    unsigned bitCount_ = 0;
    unsigned phantom_ = 0;

    // The window's history, then the output not yet flushed (from outStart_,
    // never past the middle of the output room).
    std::array<std::uint8_t, kWindowSize + kOutChunk + kOverrun> buf_;
    std::size_t wp_ = kWindowSize;
    std::size_t outStart_ = kWindowSize;
    std::size_t trigger_ = kWindowSize + kOutChunk;
    std::size_t known_ = kWindowSize;  // first valid byte of buf_
    std::uint64_t flushed_ = 0;
    bool finalSeen_ = false;

    std::array<std::uint32_t, kLitTableSize> lit_;
    std::array<std::uint32_t, kDistTableSize> dist_;
    bool litPairs_ = false;  // lit_ holds literal pairs
};

template <DeflateVariant V>
void Inflater<V>::FillInput() {
    if (inEof_) return;
    const std::size_t rest = inEnd_ - inPos_;  // callers keep this below kInSlack
    inPos_ = 0;
    // With nothing left over, a source holding its bytes in memory lends
    // them in place: no copy.
    const auto lent = rest == 0 ? in_->Borrow(SIZE_MAX) : std::span<const std::uint8_t>();
    if (!lent.empty()) {
        inData_ = lent.data();
        inEnd_ = lent.size();
        CountInput(lent.size());
        return;
    }
    std::memmove(inBuf_.data(), inData_ + inEnd_ - rest, rest);
    inData_ = inBuf_.data();
    inEnd_ = rest;
    const std::size_t got = std::min(in_->Read(inBuf_.data() + rest, kInChunk), kInChunk);
    if (got == 0) {
        inShort_ = true;
        inEof_ = true;
        return;
    }
    inEnd_ += got;
    CountInput(got);
}

// Notes `n` more bytes of input: the short-read mark and the progress.
template <DeflateVariant V>
void Inflater<V>::CountInput(std::size_t n) {
    inShort_ = n < kInChunk;
    totalRead_ += n;
    if (opt_->onProgress && totalRead_ >= nextProgress_) {
        nextProgress_ = (totalRead_ / kInChunk + 1) * kInChunk;
        opt_->onProgress(totalRead_);
    }
}

template <DeflateVariant V>
void Inflater<V>::RefillFast() {
    std::uint64_t w;
    std::memcpy(&w, inData_ + inPos_, kWordBytes);
    bitBuf_ |= w << bitCount_;
    inPos_ += (63 - bitCount_) >> 3;
    bitCount_ |= 56;
}

template <DeflateVariant V>
void Inflater<V>::RefillSlow() {
    while (bitCount_ < 56) {
        if (inPos_ == inEnd_) FillInput();
        std::uint64_t byte = 0;
        if (inPos_ < inEnd_)
            byte = inData_[inPos_++];
        else
            ++phantom_;
        bitBuf_ |= byte << bitCount_;
        bitCount_ += 8;
    }
}

template <DeflateVariant V>
void Inflater<V>::Refill() {
    if (inEnd_ - inPos_ < kWordBytes) FillInput();
    if (inEnd_ - inPos_ >= kWordBytes)
        RefillFast();
    else
        RefillSlow();
}

template <DeflateVariant V>
std::uint32_t Inflater<V>::Take(unsigned n) {
    const auto v = static_cast<std::uint32_t>(bitBuf_ & LowMask(n));
    bitBuf_ >>= n;
    bitCount_ -= n;
    return v;
}

template <DeflateVariant V>
void Inflater<V>::CheckTruncation() const {
    if (Overrun()) throw Halt{InflateStatus::kTruncated, 0};
}

// Damage found while reading past the end of the input is truncation.
template <DeflateVariant V>
void Inflater<V>::Fail(int code) const {
    CheckTruncation();
    throw Halt{InflateStatus::kDataError, code};
}

// A literal pair whose second code took bits past the input's end still
// yields its first byte when that code ended before them.
template <DeflateVariant V>
void Inflater<V>::StopInLiterals(Regs& r, std::uint32_t e) {
    const unsigned secondBits = EntryBits(e) - EntryCodeLen(e);
    if ((e & kPairBit) != 0 && r.bc + secondBits >= r.phantomBits) {
        SaveRegs(r);
        buf_[wp_++] = static_cast<std::uint8_t>(e >> 16);
        r = LoadRegs();
    }
    Stop(r, 0);
}

// Resets the input and the stream's counts; the window stays.
template <DeflateVariant V>
void Inflater<V>::Start(ByteSource& in, OutputSink& out, const InflateOptions& opt) {
    in_ = &in;
    out_ = &out;
    opt_ = &opt;
    limit_ = opt.maxOutput ? opt.maxOutput : std::numeric_limits<std::uint64_t>::max();
    inData_ = inBuf_.data();
    inPos_ = 0;
    inEnd_ = 0;
    inEof_ = false;
    inShort_ = false;
    totalRead_ = 0;
    nextProgress_ = kInChunk;
    bitBuf_ = 0;
    bitCount_ = 0;
    phantom_ = 0;
    flushed_ = 0;
    finalSeen_ = false;
    if (wp_ - kWindowSize > kOutChunk / 2) Slide();
    outStart_ = wp_;
    SetTrigger();
    if (wp_ == kWindowSize && known_ == kWindowSize) LoadHistory();
}

// The preset bytes sit just before the output, where earlier output would
// be, so matches reach them exactly as they reach flushed output.
template <DeflateVariant V>
void Inflater<V>::LoadHistory() {
    const std::size_t n = std::min(opt_->history.size(), kWindowSize);
    if (n == 0) return;
    std::memcpy(buf_.data() + kWindowSize - n, opt_->history.data() + opt_->history.size() - n, n);
    known_ = kWindowSize - n;
}

// Moves the last window of output to the front; everything after it was
// flushed.
template <DeflateVariant V>
void Inflater<V>::Slide() {
    const std::size_t n = wp_ - kWindowSize;
    std::memmove(buf_.data(), buf_.data() + n, kWindowSize);
    known_ = known_ > n ? known_ - n : 0;
    wp_ = kWindowSize;
    outStart_ = kWindowSize;
}

template <DeflateVariant V>
void Inflater<V>::SetTrigger() {
    const std::uint64_t room = limit_ - flushed_;
    const std::size_t space = kWindowSize + kOutChunk - outStart_;
    trigger_ = outStart_ + (room >= space ? space : static_cast<std::size_t>(room) + 1);
}

template <DeflateVariant V>
void Inflater<V>::OnTrigger() {
    const std::size_t n = wp_ - outStart_;
    if (flushed_ + n > limit_) throw Halt{InflateStatus::kOutputLimit, 0};
    out_->Write(buf_.data() + outStart_, n);
    flushed_ += n;
    Slide();
    SetTrigger();
}

// Bytes past the output limit are dropped from the window too.
template <DeflateVariant V>
void Inflater<V>::FinishOutput() {
    std::size_t n = wp_ - outStart_;
    if (flushed_ + n > limit_) n = static_cast<std::size_t>(limit_ - flushed_);
    if (n != 0) out_->Write(buf_.data() + outStart_, n);
    flushed_ += n;
    wp_ = outStart_ + n;
    outStart_ = wp_;
}

template <DeflateVariant V>
void Inflater<V>::StoredBlock() {
    Take(bitCount_ & 7);
    Refill();
    std::size_t len = Take(16);
    const std::uint32_t nlen = Take(16);
    CheckTruncation();
    if (len != (~nlen & 0xFFFF)) Fail(ecode::BadBlock);
    // Whole bytes still in the bit accumulator come first.
    while (len > 0 && bitCount_ >= 8) {
        buf_[wp_++] = static_cast<std::uint8_t>(Take(8));
        CheckTruncation();
        --len;
        if (wp_ >= trigger_) OnTrigger();
    }
    if (bitCount_ == 0) bitBuf_ = 0;  // drop look-ahead bits of bytes copied below
    while (len > 0) {
        if (inPos_ == inEnd_) FillInput();
        if (inPos_ == inEnd_) throw Halt{InflateStatus::kTruncated, 0};
        const std::size_t n = std::min({len, inEnd_ - inPos_, trigger_ - wp_});
        std::memcpy(buf_.data() + wp_, inData_ + inPos_, n);
        inPos_ += n;
        wp_ += n;
        len -= n;
        if (wp_ >= trigger_) OnTrigger();
    }
}

template <DeflateVariant V>
auto Inflater<V>::FixedTables() -> const Fixed& {
    static const Fixed fixed = [] {
        std::array<std::uint8_t, kMaxLitCodes> lit{};
        std::fill(lit.begin(), lit.begin() + 144, 8);
        std::fill(lit.begin() + 144, lit.begin() + 256, 9);
        std::fill(lit.begin() + 256, lit.begin() + 280, 7);
        std::fill(lit.begin() + 280, lit.end(), 8);
        std::array<std::uint8_t, kMaxDistCodes> dist{};
        dist.fill(5);
        Fixed f;
        BuildTable(lit, kLit, kLitRoot, false, f.lit);  // no two 8-bit codes fit the root
        BuildTable(dist, kDist, kDistRoot, false, f.dist);
        return f;
    }();
    return fixed;
}

// Reads the literal/length and distance code lengths of a dynamic block,
// coded with the code-length code.
template <DeflateVariant V>
void Inflater<V>::ReadCodeLengths(std::span<std::uint8_t> lens) {
    const unsigned ncode = Take(4) + 4;
    std::array<std::uint8_t, 19> clens{};
    for (unsigned i = 0; i < ncode; ++i) {
        if (bitCount_ < 3) Refill();
        clens[kCodeLenOrder[i]] = static_cast<std::uint8_t>(Take(3));
    }
    std::array<std::uint32_t, kCodeLenTableSize> table;
    if (!BuildTable(clens, kCodeLenInfo.data(), kCodeLenRoot, false, table))
        Fail(ecode::IncompleteCodeSet);

    for (std::size_t i = 0; i < lens.size();) {
        if (bitCount_ < kCodeLenRoot + 7) Refill();
        const std::uint32_t e = table[bitBuf_ & LowMask(kCodeLenRoot)];
        Take(EntryBits(e));
        const unsigned sym = EntryValue(e);
        if (sym < 16) {
            lens[i++] = static_cast<std::uint8_t>(sym);
            continue;
        }
        std::uint8_t value = 0;
        std::size_t repeat;
        if (sym == 16) {
            if (i == 0) Fail(ecode::IncompleteCodeSet);
            value = lens[i - 1];
            repeat = 3 + Take(2);
        } else if (sym == 17) {
            repeat = 3 + Take(3);
        } else {
            repeat = 11 + Take(7);
        }
        if (repeat > lens.size() - i) Fail(ecode::IncompleteCodeSet);
        std::fill_n(lens.begin() + static_cast<std::ptrdiff_t>(i), repeat, value);
        i += repeat;
    }
    CheckTruncation();
}

template <DeflateVariant V>
void Inflater<V>::DynamicTables() {
    if (bitCount_ < 14) Refill();
    const unsigned nlit = Take(5) + 257;
    const unsigned ndist = Take(5) + 1;
    if (nlit > kMaxLitCodes || ndist > kMaxDistCodes) Fail(ecode::BadLengths);
    std::array<std::uint8_t, kMaxLitCodes + kMaxDistCodes> lens{};
    ReadCodeLengths(std::span(lens).first(nlit + ndist));
    if (lens[256] == 0) Fail(ecode::IncompleteCodeSet);  // no end-of-block code
    const auto litLens = std::span<const std::uint8_t>(lens).first(nlit);
    const auto distLens = std::span<const std::uint8_t>(lens).subspan(nlit, ndist);
    const bool fewLeft = inShort_ && inEnd_ - inPos_ < kPairInputMin;
    litPairs_ = !fewLeft && PairsPay(litLens, kLitRoot);
    if (!BuildTable(litLens, kLit, kLitRoot, true, lit_, litPairs_) ||
        !BuildTable(distLens, kDist, kDistRoot, true, dist_))
        Fail(ecode::IncompleteCodeSet);
}

// Decodes literals and matches up to the end-of-block code. The hot state is
// copied into locals (byte stores could alias the members otherwise) and
// written back before any call that uses the members. While enough input is
// buffered and the output is short of the trigger, the fast loop runs;
// careful steps do the rest.
template <DeflateVariant V>
void Inflater<V>::DecodeData(const std::uint32_t* lit, const std::uint32_t* dist, int errorCode,
                             bool pairs) {
    Regs r = LoadRegs();
    for (;;) {
        if (r.iend - r.ip < kStepInput || r.wp >= r.trigger) {
            if (!Step(r, lit, dist, errorCode)) return;  // it checks the trigger itself
            continue;
        }
        if (!Fast(r, lit, dist, errorCode, pairs)) return;
        CheckTrigger(r);
    }
}

template <DeflateVariant V>
bool Inflater<V>::Fast(Regs& r, const std::uint32_t* lit, const std::uint32_t* dist, int errorCode,
                       bool pairs) {
#if defined(__x86_64__)
    if (cpuBmi2Ssse3_ && !opt_->portableLoop)
        return pairs ? FastLoopBmi2<true>(r, lit, dist, errorCode)
                     : FastLoopBmi2<false>(r, lit, dist, errorCode);
#endif
    return pairs ? FastLoop<true>(r, lit, dist, errorCode)
                 : FastLoop<false>(r, lit, dist, errorCode);
}

// The bulk of a block, while every iteration's input is buffered and its
// output fits before the trigger: a word refill per iteration, and the next
// literal/length entry looked up before the current symbol is stored, so
// that the load overlaps the stores and copies. False at the end of the
// block; true when a bound was reached.
template <DeflateVariant V>
template <bool kPairs, bool kShuffle>
inline bool Inflater<V>::FastLoop(Regs& r, const std::uint32_t* lit, const std::uint32_t* dist,
                                  int errorCode) {
    constexpr std::uint64_t kLitMask = LowMask(kLitRoot);
    const std::uint8_t* const in = inData_;
    std::uint8_t* const buf = buf_.data();
    const std::uint8_t* const inEnd = in + r.iend - kStepInput;
    const std::uint8_t* const known = buf + known_;
    const std::uint8_t* const outEnd = buf + r.trigger;
    FastRegs f{in + r.ip, buf + r.wp, r.bb, r.bc};
    const auto save = [&] {
        r.bb = f.bb;
        r.bc = f.bc & 0xFF;
        r.ip = static_cast<std::size_t>(f.ip - in);
        r.wp = static_cast<std::size_t>(f.op - buf);
    };
    // At the top of each iteration at least 56 bits are buffered and `e` is
    // the entry of the next code.
    f.Refill();
    std::uint32_t e = lit[f.bb & kLitMask];
    // An iteration refills at most twice (three times for Deflate64), by
    // at most 7 bytes each, and writes at most one match.
    constexpr std::size_t kIterInput = kWide ? 21 : 14;
    while (f.ip <= inEnd && f.op < outEnd) {
        // Iterations that cannot pass either bound: at least one.
        const auto inRoom = static_cast<std::size_t>(inEnd - f.ip);
        const auto outRoom = static_cast<std::size_t>(outEnd - f.op);
        std::size_t budget = std::min(inRoom / kIterInput, (outRoom - 1) / kMaxMatch) + 1;
        do {
            if (e & kLiteralBit) {
                // One literal entry per iteration: chaining more of them
                // before the refill adds branches that binary data
                // mispredicts, and gains nothing on text.
                f.template Put<kPairs>(e);
                e = lit[f.bb & kLitMask];
                f.Refill();
                continue;
            }
            if ((e & (7u << 12)) != kBase << 12) {
                if (EntryKindOf(e) == kSubtable) e = f.Follow(lit, e);
                if (e & kLiteralBit) {
                    f.template Put<kPairs>(e);
                    f.Refill();
                    e = lit[f.bb & kLitMask];
                    continue;
                }
                if (EntryKindOf(e) != kBase) {
                    f.Consume(e);
                    save();
                    if (EntryKindOf(e) != kEndOfBlock) Stop(r, errorCode);
                    SaveRegs(r);
                    if (wp_ >= trigger_) OnTrigger();
                    return false;
                }
            }
            // A length (at most 15 + 5 bits) and a distance (15 + 13) fit in
            // the 56 bits; Deflate64's 16 length bits may need a refill.
            const std::size_t len = f.TakeValue(e);
            if constexpr (kWide) {
                if ((f.bc & 0xFF) < kMaxCodeLen + 14) f.Refill();
            }
            e = dist[f.bb & LowMask(kDistRoot)];
            if (e & kSubtable << 12) e = f.Follow(dist, e);
            // An invalid distance entry decodes to 0, which the unsigned
            // d - 1 turns into a distance past any known byte.
            const std::size_t d = f.TakeValue(e);
            if (d - 1 >= static_cast<std::size_t>(f.op - known)) {
                save();
                Stop(r, errorCode);
            }
            f.Refill();
            e = lit[f.bb & kLitMask];
            if constexpr (kShuffle)
                CopyMatchShuffled(f.op, d, len);
            else
                CopyMatch(f.op, d, len);
            f.op += len;
        } while (--budget != 0);
    }
    save();
    return true;
}

// One careful step, near the end of the buffered input: one or two literal
// entries, or a match, or the end of the block (then false). Bits read past
// the input's end are zeros that count as truncation once used. After a
// refill two literal entries fit in the accumulator, or one and a length
// and distance.
template <DeflateVariant V>
bool Inflater<V>::Step(Regs& r, const std::uint32_t* lit, const std::uint32_t* dist,
                       int errorCode) {
    constexpr std::uint64_t kLitMask = LowMask(kLitRoot);
    std::uint8_t* const buf = buf_.data();
    Refill(r);
    std::uint32_t e = lit[r.bb & kLitMask];
    if (e & kLiteralBit) {
        PutLiterals(r, buf, e);
        e = lit[r.bb & kLitMask];
        if (e & kLiteralBit) {
            PutLiterals(r, buf, e);
            CheckTrigger(r);
            return true;
        }
        // A refill adds bits above those the entry was looked up with.
        Refill(r);
    }
    e = Resolve(r, lit, e);
    const unsigned kind = EntryKindOf(e);
    if (kind == kBase) {
        // 56 bits cover the longest Deflate length and distance: 15 + 5 and
        // 15 + 13 bits. Deflate64's 16 length bits may need a refill.
        const std::size_t len = r.TakeValue(e);
        if constexpr (kWide) {
            if (r.bc < kMaxCodeLen + 14) Refill(r);
        }
        e = Resolve(r, dist, dist[r.bb & LowMask(kDistRoot)]);
        if (EntryKindOf(e) != kBase) {
            r.Take(EntryBits(e));
            Stop(r, errorCode);
        }
        const std::size_t d = r.TakeValue(e);
        if (r.bc < r.phantomBits) Stop(r, 0);
        if (d > r.wp - known_) Stop(r, errorCode);  // before the first byte known
        CopyMatch(buf + r.wp, d, len);
        r.wp += len;
    } else if (kind == kLiteral) {  // a long literal code, through a subtable
        PutLiterals(r, buf, e);
    } else if (kind == kEndOfBlock) {
        r.Take(EntryBits(e));
        if (r.bc < r.phantomBits) Stop(r, 0);
        SaveRegs(r);
        if (wp_ >= trigger_) OnTrigger();
        return false;
    } else {
        r.Take(EntryBits(e));
        Stop(r, errorCode);
    }
    CheckTrigger(r);
    return true;
}

template <DeflateVariant V>
InflateResult Inflater<V>::Run(ByteSource& in, OutputSink& out, const InflateOptions& opt) {
    Start(in, out, opt);
    InflateResult result;
    try {
        bool last = false;
        while (!last) {
            Refill();
            last = Take(1) != 0;
            const unsigned type = Take(2);
            CheckTruncation();
            finalSeen_ = finalSeen_ || last;
            if (type == 0) {
                StoredBlock();
            } else if (type == 1) {
                const Fixed& fixed = FixedTables();
                DecodeData(fixed.lit.data(), fixed.dist.data(), ecode::BadBlock, false);
            } else if (type == 2) {
                DynamicTables();
                DecodeData(lit_.data(), dist_.data(), ecode::IncompleteCodeSet, litPairs_);
            } else {
                Fail(ecode::BadBlock);
            }
        }
    } catch (const Halt& halt) {
        result.status = halt.status;
        result.errorCode = halt.code;
    }
    FinishOutput();
    result.produced = flushed_;
    result.inputRead = totalRead_;
    const unsigned realBits = Overrun() ? 0 : bitCount_ - 8 * phantom_;
    result.inputUsed = totalRead_ - (inEnd_ - inPos_) - realBits / 8;
    result.finalBlockSeen = finalSeen_;
    if (result.status == InflateStatus::kDone && opt_->onProgress) opt_->onProgress(totalRead_);
    return result;
}

}  // namespace

// The decoder is default-initialised: its buffers (some 300 KiB) are written
// before they are read, and clearing them cost more than a small stream.
InflateChain::InflateChain(DeflateVariant variant) {
    if (variant == DeflateVariant::kDeflate64)
        impl_.reset(new Inflater<DeflateVariant::kDeflate64>);
    else
        impl_.reset(new Inflater<DeflateVariant::kDeflate>);
}

InflateChain::~InflateChain() = default;

InflateResult InflateChain::Next(ByteSource& in, OutputSink& out, const InflateOptions& opt) {
    return impl_->Run(in, out, opt);
}

InflateResult Inflate(ByteSource& in, OutputSink& out, const InflateOptions& opt) {
    return InflateChain(opt.variant).Next(in, out, opt);
}

}  // namespace lumora::archive
