#include "archive/decoders/arc_lzw.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

#include "archive/core/error_codes.h"
#include "archive/core/scratch_bytes.h"
#include "archive/decoders/arc_input.h"
#include "archive/decoders/match_copy.h"

namespace lumora::archive {

namespace {

constexpr std::uint16_t kNoPred = 0xFFFF;
constexpr int kClearCode = 256;
constexpr std::size_t kCrunchSize = 4096;
constexpr unsigned kCrunchProbeStep = 101;
constexpr std::size_t kShort = 16;  // strings this short are copied in one word

// The strings of the table: each entry is its predecessor's string plus
// one byte; a root entry (no predecessor) is a single byte. Every string
// also stood in the output once, whole: `at` is where it last began and
// `len` its length, so it can be copied from there while that part of the
// output is still at hand.
struct Strings {
    explicit Strings(std::size_t size)
        : pred(size, kNoPred), foll(size, 0), len(size, 1), at(size, 0) {}
    std::vector<std::uint16_t> pred;
    std::vector<std::uint8_t> foll;
    std::vector<std::uint16_t> len;
    std::vector<std::uint64_t> at;
};

// Crunch: 4096 slots; an entry goes to the slot its hash names, or after a
// collision to the first free slot from the end of that slot's chain + 101.
class CrunchTable {
public:
    explicit CrunchTable(bool oldHash) : s_(kCrunchSize), oldHash_(oldHash) {
        for (int c = 0; c < 256; ++c) Add(kNoPred, static_cast<std::uint8_t>(c));
    }

    Strings& S() { return s_; }
    // An unused slot stands for the string being defined (previous + first byte).
    bool Defined(int code) const { return used_[static_cast<std::size_t>(code)]; }
    bool CanAdd() const { return count_ < kCrunchSize; }
    std::size_t Add(int pred, std::uint8_t foll) {
        const std::size_t slot = Place(static_cast<unsigned>(pred), foll);
        used_[slot] = true;
        s_.pred[slot] = static_cast<std::uint16_t>(pred);
        s_.foll[slot] = foll;
        ++count_;
        return slot;
    }

private:
    unsigned Hash(unsigned pred, unsigned foll) const {
        const unsigned sum = (pred + foll) & 0xFFFF;
        if (!oldHash_) return (sum * 15073u) & 0xFFF;
        const std::uint32_t mid = (sum | 0x0800) & 0xFFFF;
        return ((mid * mid) >> 6) & 0xFFF;
    }
    std::size_t Place(unsigned pred, unsigned foll) {
        std::size_t h = Hash(pred, foll);
        if (!used_[h]) return h;
        for (std::size_t i = 0; next_[h] != 0 && i < kCrunchSize; ++i) h = next_[h];
        std::size_t t = (h + kCrunchProbeStep) & 0xFFF;
        for (std::size_t i = 0; used_[t] && i < kCrunchSize; ++i) t = (t + 1) & 0xFFF;
        next_[h] = static_cast<std::uint16_t>(t);
        return t;
    }

    Strings s_;
    bool oldHash_;
    std::array<bool, kCrunchSize> used_{};
    std::array<std::uint16_t, kCrunchSize> next_{};
    std::size_t count_ = 0;
};

// Crunch codes: two 12-bit codes in three bytes, high bits first.
class CrunchCodes {
public:
    explicit CrunchCodes(ArcByteInput& in) : in_(in) {}
    [[gnu::always_inline]] int Next() {
        if (held_ < 0) {
            const int b0 = in_.Next();
            const int b1 = in_.Next();
            if (b0 < 0 || b1 < 0) return -1;
            held_ = b1 & 0x0F;
            return b0 << 4 | b1 >> 4;
        }
        const int b2 = in_.Next();
        if (b2 < 0) return -1;
        const int code = held_ << 8 | b2;
        held_ = -1;
        return code;
    }

private:
    ArcByteInput& in_;
    int held_ = -1;
};

// Dynamic LZW: entries are added in order from 257; code 256 clears.
class DynamicTable {
public:
    explicit DynamicTable(unsigned maxBits)
        : s_(std::size_t{1} << maxBits), size_(std::size_t{1} << maxBits) {
        for (int c = 0; c < 256; ++c)
            s_.foll[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(c);
    }

    Strings& S() { return s_; }
    std::size_t Size() const { return size_; }
    std::size_t Free() const { return free_; }
    // The next free code is the string being defined; a code beyond it is
    // damage.
    bool Defined(int code) const {
        if (static_cast<std::size_t>(code) > free_) throw DecodeError{ecode::BadCode};
        return static_cast<std::size_t>(code) < free_;
    }
    bool CanAdd() const { return free_ < Size(); }
    std::size_t Add(int pred, std::uint8_t foll) {
        s_.pred[free_] = static_cast<std::uint16_t>(pred);
        s_.foll[free_] = foll;
        return free_++;
    }
    void Clear() { free_ = kClearCode; }

private:
    Strings s_;
    std::size_t size_;
    std::size_t free_ = kClearCode + 1;
};

// Dynamic codes, least significant bit first, read in groups of as many
// bytes as the width; a change of width or a clear drops the rest of the
// group.
class DynamicCodes {
public:
    DynamicCodes(ArcByteInput& in, DynamicTable& table, unsigned maxBits)
        : in_(in), table_(table), maxBits_(maxBits) {}

    [[gnu::always_inline]] int Next() {
        int code = Raw();
        if (code == kClearCode) {
            table_.Clear();
            clear_ = true;
            limit_ = 0;
            code = Raw();
            if (code >= kClearCode) throw DecodeError{ecode::BadCode};
        }
        return code;
    }

private:
    // The next code of the current group; a new group starts after a clear,
    // when the group is used up, and when the table outgrows the code width.
    [[gnu::always_inline]] int Raw() {
        if ((offset_ >= limit_ || table_.Free() > maxCode_) && !NextGroup()) return -1;
        // A code spans at most three bytes; a group is at most 13 bytes long,
        // so four bytes can always be loaded.
        const std::uint8_t* const p = group_.data() + (offset_ >> 3);
        std::uint32_t v;
        if constexpr (std::endian::native == std::endian::little)
            std::memcpy(&v, p, sizeof v);
        else
            v = p[0] | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16;
        const unsigned shift = offset_ & 7;
        offset_ += bits_;
        return static_cast<int>((v >> shift) & mask_);
    }

    // Reads the next group of `bits_` bytes (eight codes); false when the
    // input ends before a whole code.
    [[gnu::noinline]] bool NextGroup() {
        if (table_.Free() > maxCode_) {
            ++bits_;
            maxCode_ = bits_ == maxBits_ ? table_.Size() : (std::size_t{1} << bits_) - 1;
        }
        if (clear_) {
            bits_ = 9;
            maxCode_ = (std::size_t{1} << bits_) - 1;
            clear_ = false;
        }
        mask_ = (1u << bits_) - 1;
        const std::size_t got = in_.TakeWide(group_.data(), bits_);
        if (got * 8 < bits_) return false;
        offset_ = 0;
        limit_ = got * 8 - (bits_ - 1);
        return true;
    }

    ArcByteInput& in_;
    DynamicTable& table_;
    unsigned maxBits_;
    unsigned bits_ = 9;
    std::uint32_t mask_ = 511;
    std::size_t maxCode_ = 511;
    bool clear_ = false;
    std::array<std::uint8_t, ArcByteInput::kWide> group_{};
    std::size_t offset_ = 0;
    std::size_t limit_ = 0;
};

// The output of the LZW step in one buffer: the latest `kHistory` bytes
// stay behind the write position, from which strings are copied; what
// follows them goes to the sink in pieces of up to `kChunk`. Positions are
// counted from the start of the output.
class ArcLzwHistory {
public:
    static constexpr std::size_t kHistory = std::size_t{1} << 19;
    static constexpr std::size_t kChunk = std::size_t{1} << 20;
    static constexpr std::size_t kOverrun = 16;  // written past a string by CopyMatch

    // `longest`: the longest string one code can stand for.
    ArcLzwHistory(OutputSink& out, std::size_t longest)
        : out_(out), buf_(kHistory + kChunk + longest + kOverrun) {}

    std::uint8_t* Data() { return buf_.data(); }
    std::uint64_t Base() const { return base_; }
    // Takes the write position `wp` (an offset in Data()); once a chunk is
    // full, hands it on and slides the history to the front. Returns the
    // write position to go on from.
    std::size_t Commit(std::size_t wp) {
        wp_ = wp;
        if (wp_ >= kHistory + kChunk) Slide();
        return wp_;
    }
    // Takes the final write position, for Flush.
    void End(std::size_t wp) { wp_ = wp; }
    void Flush() {
        if (wp_ > sent_) out_.Write(buf_.data() + sent_, wp_ - sent_);
        sent_ = wp_;
    }

private:
    void Slide() {
        Flush();
        const std::size_t drop = wp_ - kHistory;
        std::memmove(buf_.data(), buf_.data() + drop, kHistory);
        base_ += drop;
        wp_ = sent_ = kHistory;
    }

    OutputSink& out_;
    ScratchBytes buf_;  // written before it is read
    std::size_t wp_ = 0;
    std::size_t sent_ = 0;
    std::uint64_t base_ = 0;
};

// Writes the `n` bytes of `code`'s string to `dst` through its chain of
// predecessors, backwards: for a string whose last copy has left the
// history.
void Rebuild(const Strings& s, std::size_t code, std::uint8_t* dst, std::size_t n) {
    std::uint8_t* p = dst + n;
    for (; s.pred[code] != kNoPred; code = s.pred[code]) {
        if (p == dst + 1) throw DecodeError{ecode::StackOverflow};
        *--p = s.foll[code];
    }
    if (p != dst + 1) throw DecodeError{ecode::BadCode};
    *dst = s.foll[code];
}

// The LZW loop shared by both kinds. A code's string is copied from where
// it last stood in the output (a match copy), or rebuilt from its chain
// when that has left the history. The previous string plus this string's
// first byte, which now stand together in the output, becomes the new
// entry; an undefined code stands for that very string.
template <class Codes, class Table>
void Expand(Codes& codes, Table& table, ArcLzwHistory& out) {
    Strings& s = table.S();
    int old = codes.Next();
    if (old < 0) return;
    if (!table.Defined(old) || s.pred[static_cast<std::size_t>(old)] != kNoPred)
        throw DecodeError{ecode::BadCode};
    // Kept in locals: the bytes written would otherwise make the compiler
    // reload every member they might alias.
    std::uint8_t* const buf = out.Data();
    std::uint8_t* const foll = s.foll.data();
    std::uint16_t* const len = s.len.data();
    std::uint64_t* const at = s.at.data();
    std::size_t wp = 0;
    std::uint64_t base = out.Base();
    // What is written reaches the sink also when a fault ends the loop.
    struct Sync {
        ArcLzwHistory& out;
        const std::size_t& wp;
        ~Sync() { out.End(wp); }
    } sync{out, wp};
    std::uint64_t prevAt = base;
    buf[wp++] = foll[old];
    std::size_t prevLen = 1;
    for (int code; (code = codes.Next()) >= 0;) {
        const auto c = static_cast<std::size_t>(code);
        std::uint8_t* const dst = buf + wp;
        const std::uint64_t here = base + wp;
        std::size_t n = prevLen + 1;
        if (table.Defined(code)) {
            n = len[c];
            const std::uint64_t back = here - at[c];
            if (n == 1)
                *dst = foll[c];
            else if (n <= kShort && back >= kShort && back <= wp)
                std::memcpy(dst, dst - back, kShort);
            else if (back <= wp)
                CopyMatch(dst, static_cast<std::size_t>(back), n);
            else
                Rebuild(s, c, dst, n);
            at[c] = here;
        } else {
            CopyMatch(dst, prevLen, n);
        }
        if (table.CanAdd()) {
            const std::size_t slot = table.Add(old, dst[0]);
            len[slot] = static_cast<std::uint16_t>(prevLen + 1);
            at[slot] = prevAt;
        }
        old = code;
        prevAt = here;
        prevLen = n;
        wp += n;
        if (wp >= ArcLzwHistory::kHistory + ArcLzwHistory::kChunk) {
            wp = out.Commit(wp);
            base = out.Base();
        }
    }
}

void Run(ArcByteInput& in, ArcLzwHistory& out, ArcLzwKind kind) {
    if (kind == ArcLzwKind::CrunchOldHash || kind == ArcLzwKind::CrunchNewHash) {
        CrunchTable table(kind == ArcLzwKind::CrunchOldHash);
        CrunchCodes codes(in);
        Expand(codes, table, out);
        return;
    }
    const unsigned maxBits = kind == ArcLzwKind::Dynamic12 ? 12 : 13;
    if (kind == ArcLzwKind::Dynamic12) {
        const int lead = in.Next();
        if (lead < 0) return;
        if (lead != static_cast<int>(maxBits)) throw DecodeError{ecode::BadBitCount};
    }
    DynamicTable table(maxBits);
    DynamicCodes codes(in, table, maxBits);
    Expand(codes, table, out);
}

}  // namespace

void DecodeArcLzw(ByteSource& src, OutputSink& sink, ArcLzwKind kind) {
    ArcByteInput in(src);
    const bool crunch = kind == ArcLzwKind::CrunchOldHash || kind == ArcLzwKind::CrunchNewHash;
    const std::size_t entries = crunch ? kCrunchSize : std::size_t{1} << 13;
    ArcLzwHistory out(sink, entries + 1);
    DecodeThenFlush(out, [&] { Run(in, out, kind); });
}

}  // namespace lumora::archive
