#include "archive/decoders/arc_lzw.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "archive/core/error_codes.h"
#include "archive/decoders/arc_input.h"

namespace lumora::archive {

namespace {

constexpr std::uint16_t kNoPred = 0xFFFF;
constexpr int kClearCode = 256;
constexpr std::size_t kCrunchSize = 4096;
constexpr unsigned kCrunchProbeStep = 101;

// The strings of the table: each entry is its predecessor's string plus
// one byte; a root entry (no predecessor) is a single byte.
struct Strings {
    explicit Strings(std::size_t size) : pred(size, kNoPred), foll(size, 0) {}
    std::vector<std::uint16_t> pred;
    std::vector<std::uint8_t> foll;
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
    // Slots are never reused, so strings never change.
    unsigned Epoch() const { return 0; }
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
    explicit DynamicTable(unsigned maxBits) : s_(std::size_t{1} << maxBits) {
        for (int c = 0; c < 256; ++c)
            s_.foll[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(c);
    }

    Strings& S() { return s_; }
    std::size_t Size() const { return s_.pred.size(); }
    std::size_t Free() const { return free_; }
    // The next free code is the string being defined; a code beyond it is
    // damage.
    bool Defined(int code) const {
        if (static_cast<std::size_t>(code) > free_) throw DecodeError{ecode::BadCode};
        return static_cast<std::size_t>(code) < free_;
    }
    bool CanAdd() const { return free_ < Size(); }
    // Counts the clears: entries are overwritten only after one.
    unsigned Epoch() const { return epoch_; }
    std::size_t Add(int pred, std::uint8_t foll) {
        s_.pred[free_] = static_cast<std::uint16_t>(pred);
        s_.foll[free_] = foll;
        return free_++;
    }
    void Clear() {
        free_ = kClearCode;
        ++epoch_;
    }

private:
    Strings s_;
    std::size_t free_ = kClearCode + 1;
    unsigned epoch_ = 0;
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
            code = Raw();
            if (code >= kClearCode) throw DecodeError{ecode::BadCode};
        }
        return code;
    }

private:
    // The next code of the current group; a new group starts after a clear,
    // when the group is used up, and when the table outgrows the code width.
    [[gnu::always_inline]] int Raw() {
        if ((clear_ || offset_ >= limit_ || table_.Free() > maxCode_) && !NextGroup()) return -1;
        const std::size_t at = offset_ >> 3;
        const std::uint32_t v =
            group_[at] | std::uint32_t{group_[at + 1]} << 8 | std::uint32_t{group_[at + 2]} << 16;
        const unsigned shift = offset_ & 7;
        offset_ += bits_;
        return static_cast<int>((v >> shift) & ((1u << bits_) - 1));
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
        const std::size_t got = in_.Take(group_.data(), bits_);
        if (got * 8 < bits_) return false;
        offset_ = 0;
        limit_ = got * 8 - (bits_ - 1);
        return true;
    }

    ArcByteInput& in_;
    DynamicTable& table_;
    unsigned maxBits_;
    unsigned bits_ = 9;
    std::size_t maxCode_ = 511;
    bool clear_ = false;
    std::array<std::uint8_t, 16> group_{};
    std::size_t offset_ = 0;
    std::size_t limit_ = 0;
};

// Copies `n` bytes in 16-byte words: up to 15 bytes past the end of both
// regions are read or written.
void CopyPadded(std::uint8_t* dst, const std::uint8_t* src, std::size_t n) {
    for (std::size_t i = 0; i < n; i += ArcByteOutput::kPad)
        std::memcpy(dst + i, src + i, ArcByteOutput::kPad);
}

// Copies of the strings of table entries, so that most codes are written
// without walking their chain. An entry is copied only while every entry of
// its chain stays as it is until the next clear: its predecessor is a
// single byte or itself copied. A clear, or a full store, drops all copies.
class StringCopies {
public:
    static constexpr std::size_t kStore = std::size_t{1} << 20;

    explicit StringCopies(std::size_t entries)
        : at_(entries), len_(entries), store_(kStore + ArcByteOutput::kPad) {}

    // The copy of `code`'s string, or nullptr.
    const std::uint8_t* Find(std::size_t code, std::size_t& n) const {
        n = len_[code];
        return n != 0 ? store_.data() + at_[code] : nullptr;
    }
    bool Has(std::size_t code) const { return len_[code] != 0; }
    // `slot` now holds `prefix` (n bytes, readable in 16-byte words) plus `last`.
    void Keep(std::size_t slot, const std::uint8_t* prefix, std::size_t n, std::uint8_t last) {
        if (n + 1 > kStore - fill_) {
            DropAll();
            return;
        }
        // Just after a drop the prefix may lie where the copy would go.
        const auto dst = reinterpret_cast<std::uintptr_t>(store_.data() + fill_);
        const auto src = reinterpret_cast<std::uintptr_t>(prefix);
        if (src < dst + n + ArcByteOutput::kPad && dst < src + n + ArcByteOutput::kPad) return;
        CopyPadded(store_.data() + fill_, prefix, n);
        store_[fill_ + n] = last;
        at_[slot] = static_cast<std::uint32_t>(fill_);
        len_[slot] = static_cast<std::uint16_t>(n + 1);
        fill_ += n + 1;
    }
    void DropAll() {
        std::fill(len_.begin(), len_.end(), std::uint16_t{0});
        fill_ = 0;
    }

private:
    std::vector<std::uint32_t> at_;
    std::vector<std::uint16_t> len_;  // 0: no copy
    std::vector<std::uint8_t> store_;
    std::size_t fill_ = 0;
};

// The LZW loop shared by both kinds: a code's string comes from its copy,
// or is rebuilt through the predecessors backwards into a bounded buffer;
// it is written in one piece. Then the previous code's string plus this
// string's first byte becomes a new entry. Two buffers alternate so that
// the previous string stays readable.
template <class Codes, class Table>
void Expand(Codes& codes, Table& table, ArcByteOutput& out) {
    Strings& s = table.S();
    int old = codes.Next();
    if (old < 0) return;
    if (!table.Defined(old) || s.pred[static_cast<std::size_t>(old)] != kNoPred)
        throw DecodeError{ecode::BadCode};
    std::uint8_t first = s.foll[static_cast<std::size_t>(old)];
    out.Put(first);
    const std::size_t depth = s.pred.size();
    std::vector<std::uint8_t> stacks(2 * (depth + ArcByteOutput::kPad));
    StringCopies copies(depth);
    unsigned epoch = table.Epoch();
    std::array<std::uint8_t, ArcByteOutput::kPad> firstString{first};
    const std::uint8_t* prev = firstString.data();
    std::size_t prevLen = 1;
    for (int code, turn = 0; (code = codes.Next()) >= 0; turn ^= 1) {
        if (table.Epoch() != epoch) {
            epoch = table.Epoch();
            copies.DropAll();
        }
        const int read = code;
        std::size_t n = 0;
        const std::uint8_t* str =
            table.Defined(code) ? copies.Find(static_cast<std::size_t>(code), n) : nullptr;
        if (str == nullptr) {
            std::uint8_t* const bottom = stacks.data() + turn * (depth + ArcByteOutput::kPad);
            std::uint8_t* const top = bottom + depth;
            std::uint8_t* p = top;
            auto push = [&](std::uint8_t b) {
                if (p == bottom) throw DecodeError{ecode::StackOverflow};
                *--p = b;
            };
            if (!table.Defined(code)) {
                push(first);
                code = old;
            }
            while (s.pred[static_cast<std::size_t>(code)] != kNoPred) {
                push(s.foll[static_cast<std::size_t>(code)]);
                code = s.pred[static_cast<std::size_t>(code)];
            }
            push(s.foll[static_cast<std::size_t>(code)]);
            str = p;
            n = static_cast<std::size_t>(top - p);
        }
        first = str[0];
        out.WritePadded(str, n);
        if (table.CanAdd()) {
            const auto o = static_cast<std::size_t>(old);
            const bool fixed = s.pred[o] == kNoPred || copies.Has(o);
            const std::size_t slot = table.Add(old, first);
            if (fixed) copies.Keep(slot, prev, prevLen, first);
        }
        old = read;
        prev = str;
        prevLen = n;
    }
}

void Run(ArcByteInput& in, ArcByteOutput& out, ArcLzwKind kind) {
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
    ArcByteOutput out(sink);
    DecodeThenFlush(out, [&] { Run(in, out, kind); });
}

}  // namespace lumora::archive
