#include "archive/decoders/rar50.h"

#include <algorithm>
#include <array>
#include <deque>
#include <vector>

#include "archive/decoders/rar_huffman.h"
#include "archive/decoders/rar20_window.h"
#include "archive/decoders/rar50_filters.h"

namespace lumora::archive {

namespace {

constexpr std::size_t kMainSymbols = 306;
constexpr std::size_t kDistSymbols = 64;
constexpr std::size_t kLowDistSymbols = 16;
constexpr std::size_t kRepSymbols = 44;
constexpr std::size_t kLevelSymbols = 20;
constexpr std::size_t kTableSize = kMainSymbols + kDistSymbols + kLowDistSymbols + kRepSymbols;
// Room for a match decoded past a filtered block's end: more than the
// longest match.
constexpr std::uint64_t kSlack = std::uint64_t{1} << 16;

enum class Step { kOk, kBad, kTruncated };

class Rar50Unpacker final : public RarUnpacker {
public:
    explicit Rar50Unpacker(std::size_t windowBytes) : window_(windowBytes) {}
    RarUnpackResult Unpack(ByteSource& in, OutputSink* out,
                           const RarUnpackRequest& request) override;

private:
    void Reset();
    Step ReadBlockHeader(RarBitInput& bits);
    Step ReadTables(RarBitInput& bits);
    Step ReadFilter(RarBitInput& bits);
    Step DecodeSymbol(RarBitInput& bits);
    std::uint32_t SlotLength(RarBitInput& bits, unsigned slot);
    bool Distance(RarBitInput& bits, unsigned slot, std::uint64_t& distance);
    RarUnpackStatus Decode(RarBitInput& bits);
    // Writes what is complete; `final` at the member's end also writes a
    // filtered block cut short by it. False once the output limit is reached.
    bool Flush(bool final);

    RarWindow window_;
    RarHuffman main_, dist_, lowDist_, rep_;
    std::array<std::uint64_t, 4> oldDist_{};
    std::uint32_t lastLength_ = 0;
    bool haveTables_ = false;
    std::deque<Rar50Filter> filters_;
    std::vector<std::uint8_t> block_, scratch_;
    std::uint64_t blockEndBit_ = 0;
    bool lastBlock_ = false;
};

void Rar50Unpacker::Reset() {
    oldDist_.fill(0);
    lastLength_ = 0;
    haveTables_ = false;
}

Step Rar50Unpacker::ReadBlockHeader(RarBitInput& bits) {
    bits.AlignToByte();
    const int flags = bits.GetByte();
    const int check = bits.GetByte();
    if (flags < 0 || check < 0) return Step::kTruncated;
    const unsigned sizeBytes = ((flags >> 3) & 3) + 1;
    if (sizeBytes == 4) return Step::kBad;
    std::uint32_t size = 0;
    for (unsigned i = 0; i < sizeBytes; ++i) {
        const int b = bits.GetByte();
        if (b < 0) return Step::kTruncated;
        size |= static_cast<std::uint32_t>(b) << (8 * i);
    }
    const unsigned sum = 0x5A ^ static_cast<unsigned>(flags) ^ size ^ (size >> 8) ^ (size >> 16);
    if ((sum & 0xFF) != static_cast<unsigned>(check)) return Step::kBad;
    // The block's last byte holds (flags & 7) + 1 of its bits.
    blockEndBit_ = bits.BitPosition() + std::uint64_t{size} * 8 - 8 + (flags & 7) + 1;
    lastBlock_ = (flags & 0x40) != 0;
    if (flags & 0x80) return ReadTables(bits);
    return haveTables_ ? Step::kOk : Step::kBad;
}

Step Rar50Unpacker::ReadTables(RarBitInput& bits) {
    bits.Fill();
    std::array<std::uint8_t, kLevelSymbols> level{};
    for (std::size_t i = 0; i < kLevelSymbols;) {
        const unsigned len = bits.Get(4);
        const unsigned zeros = len == 15 ? bits.Get(4) : 0;
        if (zeros == 0) {
            level[i++] = static_cast<std::uint8_t>(len);
        } else {
            for (unsigned n = zeros + 2; n > 0 && i < kLevelSymbols; --n) level[i++] = 0;
        }
    }
    RarHuffman levelCode;
    if (!levelCode.Build(level.data(), level.size())) return Step::kBad;
    std::array<std::uint8_t, kTableSize> lengths{};
    for (std::size_t i = 0; i < kTableSize;) {
        bits.Fill();
        if (bits.Overrun()) return Step::kTruncated;
        const int sym = levelCode.Decode(bits);
        if (sym < 0) return Step::kBad;
        if (sym < 16) {
            lengths[i++] = static_cast<std::uint8_t>(sym);
            continue;
        }
        const unsigned run = (sym % 2 == 0) ? bits.Get(3) + 3 : bits.Get(7) + 11;
        if (sym < 18 && i == 0) return Step::kBad;
        const std::uint8_t value = sym < 18 ? lengths[i - 1] : 0;
        for (unsigned n = run; n > 0 && i < kTableSize; --n) lengths[i++] = value;
    }
    if (bits.Overrun()) return Step::kTruncated;
    const std::uint8_t* p = lengths.data();
    haveTables_ = main_.Build(p, kMainSymbols) && dist_.Build(p + kMainSymbols, kDistSymbols) &&
                  lowDist_.Build(p + kMainSymbols + kDistSymbols, kLowDistSymbols) &&
                  rep_.Build(p + kTableSize - kRepSymbols, kRepSymbols);
    return haveTables_ ? Step::kOk : Step::kBad;
}

// Filter fields are 1 to 4 bytes, low byte first, after a 2-bit count.
std::uint32_t FilterNumber(RarBitInput& bits) {
    const unsigned count = bits.Get(2) + 1;
    std::uint32_t v = 0;
    for (unsigned i = 0; i < count; ++i) v |= bits.Get(8) << (8 * i);
    return v;
}

Step Rar50Unpacker::ReadFilter(RarBitInput& bits) {
    Rar50Filter f;
    f.start = window_.Pos() + FilterNumber(bits);
    f.length = FilterNumber(bits);
    const unsigned type = bits.Get(3);
    if (type > static_cast<unsigned>(Rar50FilterType::kArm)) return Step::kBad;
    f.type = static_cast<Rar50FilterType>(type);
    if (f.type == Rar50FilterType::kDelta) f.channels = bits.Get(5) + 1;
    if (f.length > kRar50MaxFilterBlock || filters_.size() >= kRar50MaxFilters) return Step::kBad;
    if (!filters_.empty() && f.start < filters_.back().start + filters_.back().length)
        return Step::kBad;
    if (f.length == 0) return Step::kOk;
    // Writing stops at the block's start until all of it is decoded.
    if (!window_.Reserve(f.length + kSlack)) return Step::kBad;
    filters_.push_back(f);
    return Step::kOk;
}

std::uint32_t Rar50Unpacker::SlotLength(RarBitInput& bits, unsigned slot) {
    if (slot < 8) return slot + 2;
    const unsigned extra = slot / 4 - 1;
    return 2 + ((4u | (slot & 3)) << extra) + bits.Get(extra);
}

bool Rar50Unpacker::Distance(RarBitInput& bits, unsigned slot, std::uint64_t& distance) {
    if (slot < 4) {
        distance = slot + 1;
        return true;
    }
    const unsigned extra = slot / 2 - 1;
    distance = 1 + (std::uint64_t{2u | (slot & 1)} << extra);
    if (extra < 4) {
        distance += bits.Get(extra);
        return true;
    }
    if (extra > 4) {
        const unsigned high = extra - 4;
        distance += std::uint64_t{bits.Peek32() >> (32 - high)} << 4;
        bits.Skip(high);
    }
    const int low = lowDist_.Decode(bits);
    if (low < 0) return false;
    distance += static_cast<unsigned>(low);
    return true;
}

Step Rar50Unpacker::DecodeSymbol(RarBitInput& bits) {
    const int sym = main_.Decode(bits);
    if (sym < 0) return Step::kBad;
    if (sym < 256) {
        window_.Put(static_cast<std::uint8_t>(sym));
        return Step::kOk;
    }
    std::uint64_t distance = 0;
    std::uint32_t length = 0;
    if (sym >= 262) {
        length = SlotLength(bits, static_cast<unsigned>(sym - 262));
        const int slot = dist_.Decode(bits);
        if (slot < 0 || !Distance(bits, static_cast<unsigned>(slot), distance)) return Step::kBad;
        length += (distance > 0x100) + (distance > 0x2000) + (distance > 0x40000);
        std::copy_backward(oldDist_.begin(), oldDist_.end() - 1, oldDist_.end());
        oldDist_[0] = distance;
    } else if (sym == 256) {
        return ReadFilter(bits);
    } else if (sym == 257) {
        if (lastLength_ != 0) window_.Copy(oldDist_[0], lastLength_);
        return Step::kOk;
    } else {
        const std::size_t index = static_cast<std::size_t>(sym - 258);
        distance = oldDist_[index];
        std::copy_backward(oldDist_.begin(), oldDist_.begin() + index,
                           oldDist_.begin() + index + 1);
        oldDist_[0] = distance;
        const int slot = rep_.Decode(bits);
        if (slot < 0) return Step::kBad;
        length = SlotLength(bits, static_cast<unsigned>(slot));
    }
    lastLength_ = length;
    window_.Copy(distance, length);
    return Step::kOk;
}

bool Rar50Unpacker::Flush(bool final) {
    const std::uint64_t pos = window_.Pos();
    while (!filters_.empty()) {
        const Rar50Filter& f = filters_.front();
        if (f.start >= pos) {
            if (final) filters_.clear();
            break;
        }
        if (!window_.Emit(f.start)) return false;
        std::uint64_t length = f.length;
        if (f.start + length > pos) {
            if (!final) {
                window_.ScheduleFlush(f.start + length);
                return true;
            }
            length = pos - f.start;
        }
        block_.resize(static_cast<std::size_t>(length));
        window_.Extract(f.start, block_.size(), block_.data());
        const auto offset = static_cast<std::uint32_t>(f.start - window_.MemberStart());
        ApplyRar50Filter(f, offset, block_, scratch_);
        filters_.pop_front();
        if (!window_.EmitBytes(block_.data(), block_.size())) return false;
    }
    if (!window_.Emit(pos)) return false;
    window_.ScheduleFlush();
    return true;
}

RarUnpackStatus Rar50Unpacker::Decode(RarBitInput& bits) {
    while (window_.MemberLeft() > 0) {
        if (window_.WantsFlush() && !Flush(false)) return RarUnpackStatus::kOutputLimit;
        bits.Fill();
        Step step = Step::kOk;
        if (bits.BitPosition() >= blockEndBit_) {
            if (lastBlock_) return RarUnpackStatus::kTruncated;
            step = ReadBlockHeader(bits);
        } else {
            step = DecodeSymbol(bits);
        }
        if (step == Step::kBad) return RarUnpackStatus::kDataError;
        if (step == Step::kTruncated || bits.Overrun()) return RarUnpackStatus::kTruncated;
    }
    return RarUnpackStatus::kDone;
}

RarUnpackResult Rar50Unpacker::Unpack(ByteSource& in, OutputSink* out,
                                      const RarUnpackRequest& request) {
    if (!window_.StartMember(out, request)) return {RarUnpackStatus::kNoMemory, 0};
    if (!request.solid) Reset();
    filters_.clear();
    blockEndBit_ = 0;
    lastBlock_ = false;
    RarBitInput bits(in);
    RarUnpackStatus status = Decode(bits);
    if (status != RarUnpackStatus::kOutputLimit && !Flush(true))
        status = RarUnpackStatus::kOutputLimit;
    return RarFinish(window_, status);
}

}  // namespace

std::unique_ptr<RarUnpacker> MakeRar50Unpacker(std::size_t windowBytes) {
    return std::make_unique<Rar50Unpacker>(windowBytes);
}

}  // namespace lumora::archive
