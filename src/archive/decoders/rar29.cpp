#include "archive/decoders/rar29.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <vector>

#include "archive/decoders/memory_source.h"
#include "archive/decoders/ppmd_h.h"
#include "archive/decoders/rar_filters.h"
#include "archive/decoders/rar_huffman.h"
#include "archive/decoders/rar_lz_tables.h"

namespace lumora::archive {

namespace {

constexpr std::size_t kMinWindow = std::size_t{4} << 20;
// Pending window bytes that trigger a write; writes to the sink are made
// at least kSinkChunk long (except the last of a member).
constexpr std::size_t kFlushAt = std::size_t{1} << 20;
constexpr std::size_t kSinkChunk = std::size_t{64} << 10;
// How far decoding may run past a member's size looking for its end code.
constexpr std::uint64_t kTrailLimit = std::uint64_t{1} << 20;

constexpr unsigned kMainCodes = 299, kDistCodes = 60, kLowDistCodes = 17, kRepCodes = 28;
constexpr unsigned kLevelCodes = 20;
constexpr unsigned kAllCodes = kMainCodes + kDistCodes + kLowDistCodes + kRepCodes;

constexpr std::size_t kMaxFilterTypes = 1024;
constexpr std::size_t kMaxPendingFilters = 8192;
constexpr std::uint32_t kMaxFilterCode = 0x10000;
constexpr std::uint32_t kMaxFilterData = 0x2000 - 0x40;

// Distance slots: 4 of 0 extra bits, 2 each of 1 to 15 bits, 14 of 16 bits
// and 12 of 18 bits, covering distances up to 4 MiB.
struct DistSlots {
    std::array<std::uint32_t, kDistCodes> base{};
    std::array<std::uint8_t, kDistCodes> bits{};
    constexpr DistSlots() {
        constexpr std::uint8_t kCounts[19] = {4, 2, 2, 2, 2, 2, 2,  2, 2, 2,
                                              2, 2, 2, 2, 2, 2, 14, 0, 12};
        std::uint32_t dist = 0;
        unsigned slot = 0;
        for (unsigned b = 0; b < 19; ++b) {
            for (unsigned n = 0; n < kCounts[b]; ++n, ++slot) {
                base[slot] = dist;
                bits[slot] = static_cast<std::uint8_t>(b);
                dist += 1u << b;
            }
        }
    }
};
constexpr DistSlots kDist;

// A filter waiting for its block: `start` counts decoded bytes.
struct PendingFilter {
    RarFilterKind kind = RarFilterKind::kUnknown;
    std::uint64_t start = 0;
    std::uint32_t length = 0;
    std::uint32_t r0 = 0, r1 = 0;
};

struct FilterType {
    RarFilterKind kind = RarFilterKind::kUnknown;
    std::uint32_t lastLength = 0;
};

// Why decoding of a member stopped.
enum class Stop { kNone, kEndOfFile, kError, kTruncated, kNoMemory, kUnsupported, kLimit };

// The answer for a member whose decoding ended with `stop`.
RarUnpackStatus StatusOf(Stop stop, bool complete) {
    switch (stop) {
        case Stop::kEndOfFile:
        case Stop::kNone:
            return complete ? RarUnpackStatus::kDone : RarUnpackStatus::kDataError;
        case Stop::kTruncated:
            return RarUnpackStatus::kTruncated;
        case Stop::kNoMemory:
            return RarUnpackStatus::kNoMemory;
        case Stop::kUnsupported:
            return RarUnpackStatus::kUnsupported;
        case Stop::kLimit:
            return RarUnpackStatus::kOutputLimit;
        case Stop::kError:
            break;
    }
    return RarUnpackStatus::kDataError;
}

// A number in a filter record: 4, 8, 16 or 32 bits after a 2-bit selector.
std::uint32_t ReadFilterNumber(RarBitInput& in) {
    const std::uint32_t v = in.Peek16();
    switch (v & 0xC000) {
        case 0:
            in.Skip(6);
            return (v >> 10) & 0xF;
        case 0x4000:
            if ((v & 0x3C00) == 0) {
                in.Skip(14);
                return 0xFFFFFF00u | ((v >> 2) & 0xFF);
            }
            in.Skip(10);
            return (v >> 6) & 0xFF;
        case 0x8000:
            in.Skip(2);
            return in.Get(16);
        default: {
            in.Skip(2);
            const std::uint32_t high = in.Get(16);
            return (high << 16) | in.Get(16);
        }
    }
}

class Rar29Unpacker final : public RarUnpacker {
public:
    explicit Rar29Unpacker(std::size_t windowBytes) {
        if (windowBytes > kRarMaxWindow) return;
        windowSize_ = kMinWindow;
        while (windowSize_ < windowBytes) windowSize_ <<= 1;
    }

    RarUnpackResult Unpack(ByteSource& in, OutputSink* out,
                           const RarUnpackRequest& request) override;

private:
    void Reset();
    Stop Run(RarBitInput& in);
    Stop ReadTables(RarBitInput& in);
    Stop LzSymbol(RarBitInput& in);
    Stop LzMatch(RarBitInput& in, unsigned code);
    Stop EndOfBlock(RarBitInput& in);
    Stop PpmSymbol(RarBitInput& in);
    Stop ReadLzFilter(RarBitInput& in);
    Stop ReadPpmFilter(RarBitInput& in);
    Stop AddFilter(unsigned flags, std::span<const std::uint8_t> record);
    Stop Copy(std::uint32_t length, std::uint32_t dist);
    void Put(std::uint8_t b) {
        window_[static_cast<std::size_t>(pos_) & mask_] = b;
        ++pos_;
    }
    void InsertDist(std::uint32_t dist);

    Stop Flush(bool final);
    Stop RunFilters(std::size_t& first, std::span<std::uint8_t>& data);
    void WriteWindow(std::uint64_t from, std::uint64_t to);
    void Deliver(const std::uint8_t* data, std::size_t n, std::uint64_t at);
    void SinkWrite(const std::uint8_t* data, std::size_t n);
    void FlushStaged();

    std::size_t windowSize_ = 0;  // 0: the dictionary asked for is too large
    // Never read before written: distances reach only decoded bytes.
    std::unique_ptr<std::uint8_t[]> window_;
    std::size_t mask_ = 0;
    std::uint64_t pos_ = 0;        // bytes decoded since the last reset
    std::uint64_t written_ = 0;    // of which handed on (or dropped)
    std::uint64_t heldUntil_ = 0;  // a filter block not complete before this holds the output

    std::array<std::uint32_t, 4> oldDist_{};
    std::uint32_t lastLength_ = 0;
    std::uint32_t prevLowDist_ = 0;
    unsigned lowDistRepeat_ = 0;
    std::array<std::uint8_t, kAllCodes> lengths_{};
    RarHuffman main_, dist_, lowDist_, rep_;
    bool tablesRead_ = false;
    bool ppmBlock_ = false;
    int escChar_ = 2;
    std::unique_ptr<PpmdH> ppm_;

    std::vector<FilterType> filterTypes_;
    std::vector<PendingFilter> pending_;
    std::size_t lastFilter_ = 0;
    std::vector<std::uint8_t> filterArea_;

    bool broken_ = false;  // the last member stopped early: solid state is lost

    // The member being decoded.
    OutputSink* out_ = nullptr;
    std::uint64_t memberStart_ = 0, memberEnd_ = 0;
    std::uint64_t maxOutput_ = 0, produced_ = 0;
    bool limitHit_ = false;
    std::vector<std::uint8_t> staged_;
};

void Rar29Unpacker::Reset() {
    oldDist_.fill(0);
    lastLength_ = prevLowDist_ = 0;
    lowDistRepeat_ = 0;
    lengths_.fill(0);
    tablesRead_ = ppmBlock_ = false;
    escChar_ = 2;
    if (ppm_) ppm_->Drop();
    filterTypes_.clear();
    pending_.clear();
    lastFilter_ = 0;
    pos_ = written_ = heldUntil_ = 0;
    broken_ = false;
}

RarUnpackResult Rar29Unpacker::Unpack(ByteSource& src, OutputSink* out,
                                      const RarUnpackRequest& request) {
    if (windowSize_ == 0) return {RarUnpackStatus::kNoMemory, 0};
    if (!request.solid) {
        Reset();
    } else if (broken_) {
        return {RarUnpackStatus::kDataError, 0};
    }
    if (!window_) {
        try {
            window_ = std::make_unique_for_overwrite<std::uint8_t[]>(windowSize_);
        } catch (const std::bad_alloc&) {
            return {RarUnpackStatus::kNoMemory, 0};
        }
        mask_ = windowSize_ - 1;
    }
    out_ = out;
    memberStart_ = pos_;
    memberEnd_ = pos_ + request.unpackedSize;
    maxOutput_ = request.maxOutput;
    produced_ = 0;
    limitHit_ = false;
    staged_.clear();

    RarBitInput in(src);
    Stop stop = Stop::kNone;
    if (request.unpackedSize == 0 && in.AtEnd()) {
        stop = Stop::kEndOfFile;
    } else if (!request.solid || !tablesRead_) {
        stop = ReadTables(in);
    }
    if (stop == Stop::kNone) stop = Run(in);
    // What follows the member's last byte (padding bits, say) is no fault of
    // the member, but a solid successor cannot rely on the state.
    const bool complete = pos_ >= memberEnd_;
    bool lost = false;
    if (complete && (stop == Stop::kError || stop == Stop::kTruncated)) {
        lost = !in.Overrun();
        stop = Stop::kEndOfFile;
    }
    if (stop != Stop::kNoMemory && stop != Stop::kUnsupported) {
        const Stop flushed = Flush(true);
        if (flushed != Stop::kNone) stop = flushed;
    }
    FlushStaged();
    const std::uint64_t decoded = std::min(pos_, memberEnd_) - memberStart_;
    RarUnpackStatus status = StatusOf(stop, complete);
    if (limitHit_ && status == RarUnpackStatus::kDone && decoded > produced_) {
        status = RarUnpackStatus::kOutputLimit;
    }
    broken_ = status != RarUnpackStatus::kDone || limitHit_ || lost;
    out_ = nullptr;
    return {status, out != nullptr ? produced_ : decoded};
}

Stop Rar29Unpacker::Run(RarBitInput& in) {
    for (;;) {
        const bool pastCap = maxOutput_ != 0 && pos_ - memberStart_ > maxOutput_;
        if ((pos_ - written_ >= kFlushAt || pastCap) && pos_ >= heldUntil_) {
            if (const Stop s = Flush(false); s != Stop::kNone) return s;
            if (limitHit_) return Stop::kLimit;
            // A filter holds back more than the window can keep.
            if (pos_ - written_ > windowSize_ - kFlushAt) return Stop::kError;
        }
        if (pos_ >= memberEnd_ && (in.AtEnd() || pos_ - memberEnd_ > kTrailLimit)) {
            return Stop::kEndOfFile;
        }
        in.Fill();
        const Stop stop = ppmBlock_ ? PpmSymbol(in) : LzSymbol(in);
        if (stop != Stop::kNone) return stop;
        const bool exhausted =
            in.Overrun() || (ppmBlock_ && in.AtEnd() && ppm_->MissingBytes() > 0);
        if (exhausted) return pos_ >= memberEnd_ ? Stop::kEndOfFile : Stop::kTruncated;
    }
}

// A block header: a PPMd block's parameters, or the code lengths of the LZ
// tables, sent through the level table and as changes to the last lengths.
Stop Rar29Unpacker::ReadTables(RarBitInput& in) {
    in.AlignToByte();
    in.Fill();
    const std::uint32_t head = in.Peek16();
    if (head & 0x8000) {
        ppmBlock_ = true;
        if (!ppm_) ppm_ = std::make_unique<PpmdH>();
        switch (ppm_->StartBlock(in, escChar_)) {
            case PpmdH::Start::kOk:
                return Stop::kNone;
            case PpmdH::Start::kNoMemory:
                return Stop::kNoMemory;
            case PpmdH::Start::kBad:
                break;
        }
        return in.AtEnd() ? Stop::kTruncated : Stop::kError;
    }
    ppmBlock_ = false;
    prevLowDist_ = 0;
    lowDistRepeat_ = 0;
    if (!(head & 0x4000)) lengths_.fill(0);
    in.Skip(2);
    std::array<std::uint8_t, kLevelCodes> level{};
    for (unsigned i = 0; i < kLevelCodes;) {
        const auto len = static_cast<std::uint8_t>(in.Get(4));
        if (len != 15) {
            level[i++] = len;
            continue;
        }
        const unsigned zeros = in.Get(4);
        if (zeros == 0) {
            level[i++] = 15;
        } else {
            for (unsigned n = 0; n < zeros + 2 && i < kLevelCodes; ++n) level[i++] = 0;
        }
    }
    RarHuffman levelCode;
    if (!levelCode.Build(level)) return Stop::kError;
    std::array<std::uint8_t, kAllCodes> table{};
    for (unsigned i = 0; i < kAllCodes;) {
        in.Fill();
        if (in.Overrun()) return Stop::kTruncated;
        const int code = levelCode.Decode(in);
        if (code < 0) return Stop::kError;
        if (code < 16) {
            table[i] = static_cast<std::uint8_t>((lengths_[i] + code) & 0xF);
            ++i;
            continue;
        }
        const bool small = code == 16 || code == 18;
        const unsigned count = small ? in.Get(3) + 3 : in.Get(7) + 11;
        if (code < 18 && i == 0) return Stop::kError;
        const std::uint8_t value = code < 18 ? table[i - 1] : 0;
        for (unsigned n = 0; n < count && i < kAllCodes; ++n) table[i++] = value;
    }
    if (in.Overrun()) return Stop::kTruncated;
    const std::span<const std::uint8_t> all(table);
    if (!main_.Build(all.subspan(0, kMainCodes)) ||
        !dist_.Build(all.subspan(kMainCodes, kDistCodes)) ||
        !lowDist_.Build(all.subspan(kMainCodes + kDistCodes, kLowDistCodes)) ||
        !rep_.Build(all.subspan(kMainCodes + kDistCodes + kLowDistCodes))) {
        return Stop::kError;
    }
    lengths_ = table;
    tablesRead_ = true;
    return Stop::kNone;
}

void Rar29Unpacker::InsertDist(std::uint32_t dist) {
    oldDist_ = {dist, oldDist_[0], oldDist_[1], oldDist_[2]};
}

Stop Rar29Unpacker::Copy(std::uint32_t length, std::uint32_t dist) {
    if (dist == 0 || dist > pos_ || dist > windowSize_) return Stop::kError;
    std::size_t to = static_cast<std::size_t>(pos_) & mask_;
    std::size_t from = (to - dist) & mask_;
    pos_ += length;
    if (to + length <= windowSize_ && from + length <= windowSize_) {
        std::uint8_t* w = window_.get();
        if (dist >= length) {
            std::memcpy(w + to, w + from, length);
        } else {
            for (std::uint32_t i = 0; i < length; ++i) w[to + i] = w[from + i];
        }
        return Stop::kNone;
    }
    for (std::uint32_t i = 0; i < length; ++i) {
        window_[to] = window_[from];
        to = (to + 1) & mask_;
        from = (from + 1) & mask_;
    }
    return Stop::kNone;
}

Stop Rar29Unpacker::LzSymbol(RarBitInput& in) {
    const int code = main_.Decode(in);
    if (code < 0) return Stop::kError;
    if (code < 256) {
        Put(static_cast<std::uint8_t>(code));
        return Stop::kNone;
    }
    if (code >= 271) return LzMatch(in, static_cast<unsigned>(code) - 271);
    if (code == 256) return EndOfBlock(in);
    if (code == 257) return ReadLzFilter(in);
    if (code == 258) return lastLength_ != 0 ? Copy(lastLength_, oldDist_[0]) : Stop::kNone;
    if (code < 263) {
        // One of the last four distances, moved to the front.
        const unsigned slot = static_cast<unsigned>(code) - 259;
        const std::uint32_t dist = oldDist_[slot];
        for (unsigned i = slot; i > 0; --i) oldDist_[i] = oldDist_[i - 1];
        oldDist_[0] = dist;
        const int lc = rep_.Decode(in);
        if (lc < 0) return Stop::kError;
        std::uint32_t length = kRarLengthBase[static_cast<std::size_t>(lc)] + 2u;
        if (const unsigned bits = kRarLengthBits[static_cast<std::size_t>(lc)])
            length += in.Get(bits);
        lastLength_ = length;
        return Copy(length, dist);
    }
    // A 2-byte match at a short distance.
    const unsigned slot = static_cast<unsigned>(code) - 263;
    const std::uint32_t dist = kRarShortBase[slot] + 1u + in.Get(kRarShortBits[slot]);
    InsertDist(dist);
    lastLength_ = 2;
    return Copy(2, dist);
}

Stop Rar29Unpacker::LzMatch(RarBitInput& in, unsigned slot) {
    std::uint32_t length = kRarLengthBase[slot] + 3u;
    if (const unsigned bits = kRarLengthBits[slot]) length += in.Get(bits);
    const int dc = dist_.Decode(in);
    if (dc < 0) return Stop::kError;
    const auto ds = static_cast<std::size_t>(dc);
    std::uint32_t dist = kDist.base[ds] + 1;
    const unsigned bits = kDist.bits[ds];
    if (ds > 9) {
        // The low 4 bits come from their own table or repeat the last ones.
        if (bits > 4) dist += in.Get(bits - 4) << 4;
        if (lowDistRepeat_ > 0) {
            --lowDistRepeat_;
            dist += prevLowDist_;
        } else {
            const int low = lowDist_.Decode(in);
            if (low < 0) return Stop::kError;
            if (low == 16) {
                lowDistRepeat_ = 15;
                dist += prevLowDist_;
            } else {
                dist += static_cast<std::uint32_t>(low);
                prevLowDist_ = static_cast<std::uint32_t>(low);
            }
        }
    } else if (bits > 0) {
        dist += in.Get(bits);
    }
    if (dist >= 0x2000) {
        ++length;
        if (dist >= 0x40000) ++length;
    }
    InsertDist(dist);
    lastLength_ = length;
    return Copy(length, dist);
}

Stop Rar29Unpacker::EndOfBlock(RarBitInput& in) {
    const std::uint32_t bits = in.Peek16();
    bool newFile = false;
    bool newTable = true;
    if (bits & 0x8000) {
        in.Skip(1);
    } else {
        newFile = true;
        newTable = (bits & 0x4000) != 0;
        in.Skip(2);
    }
    tablesRead_ = !newTable;
    if (newFile) return Stop::kEndOfFile;
    return ReadTables(in);
}

Stop Rar29Unpacker::PpmSymbol(RarBitInput& in) {
    const int ch = ppm_->DecodeChar(in);
    if (ch < 0) return Stop::kError;
    if (ch != escChar_) {
        Put(static_cast<std::uint8_t>(ch));
        return Stop::kNone;
    }
    const int what = ppm_->DecodeChar(in);
    switch (what) {
        case -1:
            return Stop::kError;
        case 0:
            return ReadTables(in);
        case 2:
            return Stop::kEndOfFile;
        case 3:
            return ReadPpmFilter(in);
        case 4: {
            std::uint32_t dist = 0;
            for (int i = 0; i < 3; ++i) {
                const int b = ppm_->DecodeChar(in);
                if (b < 0) return Stop::kError;
                dist = (dist << 8) | static_cast<std::uint32_t>(b);
            }
            const int len = ppm_->DecodeChar(in);
            if (len < 0) return Stop::kError;
            return Copy(static_cast<std::uint32_t>(len) + 32, dist + 2);
        }
        case 5: {
            const int len = ppm_->DecodeChar(in);
            if (len < 0) return Stop::kError;
            return Copy(static_cast<std::uint32_t>(len) + 4, 1);
        }
        default:
            Put(static_cast<std::uint8_t>(escChar_));
            return Stop::kNone;
    }
}

// A filter record in the LZ stream: flags, the record's length, the record.
Stop Rar29Unpacker::ReadLzFilter(RarBitInput& in) {
    const unsigned flags = in.Get(8);
    std::uint32_t length = (flags & 7) + 1;
    if (length == 7) {
        length = in.Get(8) + 7;
    } else if (length == 8) {
        length = in.Get(16);
    }
    if (length == 0) return Stop::kError;
    std::vector<std::uint8_t> record(length);
    for (std::uint8_t& b : record) {
        in.Fill();
        b = static_cast<std::uint8_t>(in.Get(8));
    }
    if (in.Overrun()) return Stop::kTruncated;
    return AddFilter(flags, record);
}

// The same record sent as PPMd symbols.
Stop Rar29Unpacker::ReadPpmFilter(RarBitInput& in) {
    const int flags = ppm_->DecodeChar(in);
    if (flags < 0) return Stop::kError;
    std::uint32_t length = (static_cast<unsigned>(flags) & 7) + 1;
    if (length >= 7) {
        const int b1 = ppm_->DecodeChar(in);
        const int b2 = length == 8 ? ppm_->DecodeChar(in) : 0;
        if (b1 < 0 || b2 < 0) return Stop::kError;
        length = length == 7 ? static_cast<std::uint32_t>(b1) + 7
                             : static_cast<std::uint32_t>(b1 << 8 | b2);
    }
    if (length == 0) return Stop::kError;
    std::vector<std::uint8_t> record(length);
    for (std::uint8_t& b : record) {
        const int ch = ppm_->DecodeChar(in);
        if (ch < 0) return Stop::kError;
        b = static_cast<std::uint8_t>(ch);
    }
    return AddFilter(static_cast<unsigned>(flags), record);
}

// Flags: 0x80 filter number follows (0 clears all filters), 0x40 start
// offset plus 258, 0x20 block length follows, 0x10 register values follow,
// 0x08 global data follows. A new filter number carries the filter's code.
Stop Rar29Unpacker::AddFilter(unsigned flags, std::span<const std::uint8_t> record) {
    MemorySource source(record);
    RarBitInput in(source);
    std::size_t index = lastFilter_;
    if (flags & 0x80) {
        index = ReadFilterNumber(in);
        if (index == 0) {
            filterTypes_.clear();
            pending_.clear();
        } else {
            --index;
        }
    }
    if (index > filterTypes_.size()) return Stop::kError;
    const bool isNew = index == filterTypes_.size();
    if ((isNew && filterTypes_.size() >= kMaxFilterTypes) ||
        pending_.size() >= kMaxPendingFilters) {
        return Stop::kError;
    }
    lastFilter_ = index;
    PendingFilter f;
    std::uint32_t offset = ReadFilterNumber(in);
    if (flags & 0x40) offset += 258;
    f.start = pos_ + offset;
    std::uint32_t length = isNew ? 0 : filterTypes_[index].lastLength;
    if (flags & 0x20) length = ReadFilterNumber(in);
    std::array<std::uint32_t, 7> regs{};
    if (flags & 0x10) {
        const unsigned mask = in.Get(7);
        for (unsigned i = 0; i < 7; ++i) {
            if (mask & (1u << i)) regs[i] = ReadFilterNumber(in);
        }
    }
    FilterType type;
    if (isNew) {
        const std::uint32_t codeSize = ReadFilterNumber(in);
        if (codeSize == 0 || codeSize >= kMaxFilterCode || codeSize > record.size()) {
            return Stop::kError;
        }
        std::vector<std::uint8_t> code(codeSize);
        for (std::uint8_t& b : code) {
            in.Fill();
            b = static_cast<std::uint8_t>(in.Get(8));
        }
        type.kind = IdentifyRarFilter(code);
    }
    if (flags & 0x08) {
        // Global data for the filter's program; the standard filters use none.
        if (ReadFilterNumber(in) > kMaxFilterData) return Stop::kError;
    }
    if (in.Overrun() || length > kRarFilterArea) return Stop::kError;
    if (isNew) filterTypes_.push_back(type);
    if (flags & 0x20) filterTypes_[index].lastLength = length;
    f.kind = filterTypes_[index].kind;
    f.length = length;
    f.r0 = regs[0];
    f.r1 = regs[1];
    pending_.push_back(f);
    return Stop::kNone;
}

// Runs the filter pending_[first] and the ones stacked on its output (same
// start, length equal to that output) on `data`, which is replaced by the
// result. The filters run are removed. A filter other than the standard ones
// is unsupported.
Stop Rar29Unpacker::RunFilters(std::size_t& first, std::span<std::uint8_t>& data) {
    const std::uint64_t start = pending_[first].start;
    const auto offset = static_cast<std::uint32_t>(start - memberStart_);
    bool ok = true;
    do {
        const PendingFilter f = pending_[first];
        pending_.erase(pending_.begin() + static_cast<std::ptrdiff_t>(first));
        const std::size_t n = data.size();
        std::span<std::uint8_t> other(
            filterArea_.data() + (data.data() == filterArea_.data() ? n : 0), n);
        switch (f.kind) {
            case RarFilterKind::kE8:
            case RarFilterKind::kE8E9:
                RarFilterE8(data, offset, f.kind == RarFilterKind::kE8E9);
                break;
            case RarFilterKind::kItanium:
                RarFilterItanium(data, offset);
                break;
            case RarFilterKind::kDelta:
                ok = n <= kRarFilterSplitBlock && RarFilterDelta(data, other, f.r0);
                data = other;
                break;
            case RarFilterKind::kRgb:
                ok = n <= kRarFilterSplitBlock && RarFilterRgb(data, other, f.r0, f.r1);
                data = other;
                break;
            case RarFilterKind::kAudio:
                ok = n <= kRarFilterSplitBlock && RarFilterAudio(data, other, f.r0);
                data = other;
                break;
            case RarFilterKind::kUnknown:
                return Stop::kUnsupported;
        }
    } while (ok && first < pending_.size() && pending_[first].start == start &&
             pending_[first].length == data.size());
    return ok ? Stop::kNone : Stop::kError;
}

// Hands on the decoded bytes up to pos_, through the filters whose blocks
// are complete. Without `final` it stops at the start of a filter block not
// yet complete; with it, such a block goes out unfiltered.
Stop Rar29Unpacker::Flush(bool final) {
    for (std::size_t i = 0; i < pending_.size();) {
        const PendingFilter& f = pending_[i];
        if (f.start < written_) {
            pending_.erase(pending_.begin() + static_cast<std::ptrdiff_t>(i));
            continue;
        }
        if (f.start >= pos_) {
            ++i;
            continue;
        }
        WriteWindow(written_, f.start);
        written_ = f.start;
        const std::uint64_t end = f.start + f.length;
        if (end > pos_) {
            if (!final) {
                heldUntil_ = end;
                return Stop::kNone;
            }
            pending_.erase(pending_.begin() + static_cast<std::ptrdiff_t>(i));
            continue;
        }
        if (filterArea_.empty()) filterArea_.resize(2 * kRarFilterArea);
        const std::size_t at = static_cast<std::size_t>(f.start) & mask_;
        const std::size_t first = std::min<std::size_t>(f.length, windowSize_ - at);
        std::memcpy(filterArea_.data(), window_.get() + at, first);
        std::memcpy(filterArea_.data() + first, window_.get(), f.length - first);
        std::span<std::uint8_t> data(filterArea_.data(), f.length);
        if (const Stop s = RunFilters(i, data); s != Stop::kNone) return s;
        Deliver(data.data(), data.size(), written_);
        written_ = end;
    }
    WriteWindow(written_, pos_);
    written_ = pos_;
    return Stop::kNone;
}

void Rar29Unpacker::WriteWindow(std::uint64_t from, std::uint64_t to) {
    while (from < to) {
        const std::size_t at = static_cast<std::size_t>(from) & mask_;
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>(to - from, windowSize_ - at));
        Deliver(window_.get() + at, n, from);
        from += n;
    }
}

// Bytes decoded at position `at`: only those of the member reach the sink,
// and no more than maxOutput.
void Rar29Unpacker::Deliver(const std::uint8_t* data, std::size_t n, std::uint64_t at) {
    if (at < memberStart_) {
        const std::uint64_t skip = std::min<std::uint64_t>(n, memberStart_ - at);
        data += skip;
        n -= static_cast<std::size_t>(skip);
        at += skip;
    }
    if (at >= memberEnd_ || n == 0 || out_ == nullptr) return;
    n = static_cast<std::size_t>(std::min<std::uint64_t>(n, memberEnd_ - at));
    if (maxOutput_ != 0) {
        const std::uint64_t room = maxOutput_ - std::min(maxOutput_, produced_ + staged_.size());
        if (n > room) {
            n = static_cast<std::size_t>(room);
            limitHit_ = true;
        }
    }
    if (staged_.empty() && n >= kSinkChunk) {
        SinkWrite(data, n);
        return;
    }
    staged_.insert(staged_.end(), data, data + n);
    if (staged_.size() >= kSinkChunk) FlushStaged();
}

void Rar29Unpacker::SinkWrite(const std::uint8_t* data, std::size_t n) {
    if (n == 0) return;
    out_->Write(data, n);
    produced_ += n;
}

void Rar29Unpacker::FlushStaged() {
    if (out_ == nullptr) return;
    SinkWrite(staged_.data(), staged_.size());
    staged_.clear();
}

}  // namespace

std::unique_ptr<RarUnpacker> MakeRar29Unpacker(std::size_t windowBytes) {
    return std::make_unique<Rar29Unpacker>(windowBytes);
}

}  // namespace lumora::archive
