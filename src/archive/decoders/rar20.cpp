#include "archive/decoders/rar20.h"

#include <array>
#include <cstring>

#include "archive/decoders/rar20_audio.h"
#include "archive/decoders/rar20_window.h"
#include "archive/decoders/rar_huffman.h"
#include "archive/decoders/rar_lz_tables.h"

namespace lumora::archive {

namespace {

constexpr std::size_t kMainSymbols = 298;
constexpr std::size_t kDistSymbols = 48;
constexpr std::size_t kRepSymbols = 28;
constexpr std::size_t kAudioSymbols = 257;
constexpr std::size_t kMaxChannels = 4;
constexpr std::size_t kLevelSymbols = 19;
constexpr std::size_t kLzTableSize = kMainSymbols + kDistSymbols + kRepSymbols;

constexpr int kNewTables = 269;
constexpr int kAudioNewTables = 256;

struct DistanceSlots {
    std::array<std::uint32_t, kDistSymbols> base{};
    std::array<std::uint8_t, kDistSymbols> bits{};
};

// Two slots per bit count from 0 extra bits up, then 16 bits for the rest.
constexpr DistanceSlots MakeDistanceSlots() {
    DistanceSlots s;
    std::uint32_t base = 0;
    for (std::size_t i = 0; i < kDistSymbols; ++i) {
        const std::size_t b = i < 4 ? 0 : i / 2 - 1;
        s.bits[i] = static_cast<std::uint8_t>(b > 16 ? 16 : b);
        s.base[i] = base;
        base += 1u << s.bits[i];
    }
    return s;
}
constexpr DistanceSlots kDist = MakeDistanceSlots();

// Reads what counts the source hands out, so the end of a member's data is
// known exactly once it was reached.
class CountingSource final : public ByteSource {
public:
    explicit CountingSource(ByteSource& in) : in_(in) {}
    std::size_t Read(std::uint8_t* dst, std::size_t n) override {
        const std::size_t got = in_.Read(dst, n);
        total_ += got;
        if (got == 0) ended_ = true;
        return got;
    }
    // Bytes left after `used` were consumed: exact once the end was seen.
    std::uint64_t LeftAfter(std::uint64_t used) const {
        if (!ended_) return UINT64_MAX;
        return used < total_ ? total_ - used : 0;
    }

private:
    ByteSource& in_;
    std::uint64_t total_ = 0;
    bool ended_ = false;
};

enum class Step { kOk, kBad, kTruncated };

class Rar20Unpacker final : public RarUnpacker {
public:
    explicit Rar20Unpacker(std::size_t windowBytes) : window_(windowBytes) {}
    RarUnpackResult Unpack(ByteSource& in, OutputSink* out,
                           const RarUnpackRequest& request) override;

private:
    void Reset();
    Step ReadTables(RarBitInput& bits);
    Step ReadLengths(RarBitInput& bits, const RarHuffman& level, std::size_t count);
    RarUnpackStatus Decode(RarBitInput& bits);
    Step DecodeLz(RarBitInput& bits);
    Step DecodeAudio(RarBitInput& bits);
    void Match(std::uint32_t length, std::uint32_t distance);
    void ReadTrailingTables(RarBitInput& bits, const CountingSource& counted);

    RarWindow window_;
    RarHuffman main_, dist_, rep_;
    std::array<RarHuffman, kMaxChannels> audioTables_;
    std::array<RarAudioChannel, kMaxChannels> channels_;
    // The previous table's lengths: new lengths are sent as changes to them.
    std::array<std::uint8_t, kAudioSymbols * kMaxChannels> lengths_{};
    std::array<std::uint32_t, 4> oldDist_{};
    unsigned oldDistPos_ = 0;
    std::uint32_t lastDist_ = 0;
    std::uint32_t lastLength_ = 0;
    bool audio_ = false;
    unsigned channelCount_ = 1;
    unsigned channel_ = 0;
    int crossDelta_ = 0;
    bool haveTables_ = false;
};

void Rar20Unpacker::Reset() {
    lengths_.fill(0);
    oldDist_.fill(0);
    oldDistPos_ = 0;
    lastDist_ = lastLength_ = 0;
    audio_ = false;
    channelCount_ = 1;
    channel_ = 0;
    crossDelta_ = 0;
    channels_.fill(RarAudioChannel{});
    haveTables_ = false;
}

Step Rar20Unpacker::ReadLengths(RarBitInput& bits, const RarHuffman& level, std::size_t count) {
    std::array<std::uint8_t, kAudioSymbols * kMaxChannels> next{};
    std::size_t i = 0;
    while (i < count) {
        bits.Fill();
        if (bits.Overrun()) return Step::kTruncated;
        const int sym = level.Decode(bits);
        if (sym < 0) return Step::kBad;
        if (sym < 16) {
            next[i] = static_cast<std::uint8_t>((sym + lengths_[i]) & 0x0F);
            ++i;
            continue;
        }
        std::size_t run = 0;
        std::uint8_t value = 0;
        if (sym == 16) {
            if (i == 0) return Step::kBad;
            run = bits.Get(2) + 3;
            value = next[i - 1];
        } else {
            run = sym == 17 ? bits.Get(3) + 3 : bits.Get(7) + 11;
        }
        for (; run > 0 && i < count; --run) next[i++] = value;
    }
    if (bits.Overrun()) return Step::kTruncated;
    lengths_ = next;
    return Step::kOk;
}

Step Rar20Unpacker::ReadTables(RarBitInput& bits) {
    bits.Fill();
    audio_ = bits.Get(1) != 0;
    if (bits.Get(1) == 0) lengths_.fill(0);
    std::size_t count = kLzTableSize;
    if (audio_) {
        channelCount_ = bits.Get(2) + 1;
        if (channel_ >= channelCount_) channel_ = 0;
        count = kAudioSymbols * channelCount_;
    }
    std::array<std::uint8_t, kLevelSymbols> levelLengths{};
    for (auto& l : levelLengths) l = static_cast<std::uint8_t>(bits.Get(4));
    RarHuffman level;
    if (!level.Build(levelLengths.data(), levelLengths.size())) return Step::kBad;
    const Step read = ReadLengths(bits, level, count);
    if (read != Step::kOk) return read;
    bool ok = true;
    if (audio_) {
        for (unsigned c = 0; c < channelCount_; ++c)
            ok = ok && audioTables_[c].Build(&lengths_[c * kAudioSymbols], kAudioSymbols);
    } else {
        ok = main_.Build(&lengths_[0], kMainSymbols) &&
             dist_.Build(&lengths_[kMainSymbols], kDistSymbols) &&
             rep_.Build(&lengths_[kMainSymbols + kDistSymbols], kRepSymbols);
    }
    haveTables_ = ok;
    return ok ? Step::kOk : Step::kBad;
}

void Rar20Unpacker::Match(std::uint32_t length, std::uint32_t distance) {
    oldDist_[oldDistPos_++ & 3] = distance;
    lastDist_ = distance;
    lastLength_ = length;
    window_.Copy(distance, length);
}

Step Rar20Unpacker::DecodeLz(RarBitInput& bits) {
    const int sym = main_.Decode(bits);
    if (sym < 0) return Step::kBad;
    if (sym < 256) {
        window_.Put(static_cast<std::uint8_t>(sym));
        return Step::kOk;
    }
    if (sym > kNewTables) {
        const unsigned slot = static_cast<unsigned>(sym - 270);
        std::uint32_t length = kRarLengthBase[slot] + 3u;
        if (kRarLengthBits[slot] != 0) length += bits.Get(kRarLengthBits[slot]);
        const int d = dist_.Decode(bits);
        if (d < 0) return Step::kBad;
        std::uint32_t distance = kDist.base[d] + 1;
        if (kDist.bits[d] != 0) distance += bits.Get(kDist.bits[d]);
        if (distance >= 0x2000) ++length;
        if (distance >= 0x40000) ++length;
        Match(length, distance);
    } else if (sym == kNewTables) {
        return ReadTables(bits);
    } else if (sym == 256) {
        Match(lastLength_, lastDist_);
    } else if (sym < 261) {
        const std::uint32_t distance = oldDist_[(oldDistPos_ - (sym - 256)) & 3];
        const int slot = rep_.Decode(bits);
        if (slot < 0) return Step::kBad;
        std::uint32_t length = kRarLengthBase[slot] + 2u;
        if (kRarLengthBits[slot] != 0) length += bits.Get(kRarLengthBits[slot]);
        if (distance >= 0x101) ++length;
        if (distance >= 0x2000) ++length;
        if (distance >= 0x40000) ++length;
        Match(length, distance);
    } else {
        const unsigned slot = static_cast<unsigned>(sym - 261);
        std::uint32_t distance = kRarShortBase[slot] + 1u;
        distance += bits.Get(kRarShortBits[slot]);
        Match(2, distance);
    }
    return Step::kOk;
}

Step Rar20Unpacker::DecodeAudio(RarBitInput& bits) {
    const int sym = audioTables_[channel_].Decode(bits);
    if (sym < 0) return Step::kBad;
    if (sym == kAudioNewTables) return ReadTables(bits);
    window_.Put(channels_[channel_].Decode(static_cast<std::uint8_t>(sym), crossDelta_));
    if (++channel_ == channelCount_) channel_ = 0;
    return Step::kOk;
}

RarUnpackStatus Rar20Unpacker::Decode(RarBitInput& bits) {
    while (window_.MemberLeft() > 0) {
        if (window_.WantsFlush()) {
            if (!window_.Emit(window_.Pos())) return RarUnpackStatus::kOutputLimit;
            window_.ScheduleFlush();
        }
        bits.Fill();
        if (bits.Overrun()) return RarUnpackStatus::kTruncated;
        const Step step = audio_ ? DecodeAudio(bits) : DecodeLz(bits);
        if (step == Step::kBad) return RarUnpackStatus::kDataError;
        if (step == Step::kTruncated) return RarUnpackStatus::kTruncated;
    }
    if (bits.Overrun()) return RarUnpackStatus::kTruncated;
    return RarUnpackStatus::kDone;
}

// A member's data may end with a switch to new tables that the next member
// of a solid archive starts with.
void Rar20Unpacker::ReadTrailingTables(RarBitInput& bits, const CountingSource& counted) {
    bits.Fill();
    if (counted.LeftAfter(bits.Consumed()) < 5) return;
    const int sym = audio_ ? audioTables_[channel_].Decode(bits) : main_.Decode(bits);
    if (sym == (audio_ ? kAudioNewTables : kNewTables) && ReadTables(bits) != Step::kOk)
        haveTables_ = false;
}

RarUnpackResult Rar20Unpacker::Unpack(ByteSource& in, OutputSink* out,
                                      const RarUnpackRequest& request) {
    if (!window_.StartMember(out, request)) return {RarUnpackStatus::kNoMemory, 0};
    if (!request.solid) Reset();
    CountingSource counted(in);
    RarBitInput bits(counted);
    RarUnpackStatus status = RarUnpackStatus::kDone;
    if (!haveTables_ && window_.MemberLeft() > 0) {
        const Step step = ReadTables(bits);
        if (step == Step::kBad) status = RarUnpackStatus::kDataError;
        if (step == Step::kTruncated || bits.Overrun()) status = RarUnpackStatus::kTruncated;
    }
    if (status == RarUnpackStatus::kDone) status = Decode(bits);
    if (status != RarUnpackStatus::kOutputLimit && !window_.Emit(window_.Pos()))
        status = RarUnpackStatus::kOutputLimit;
    if (status == RarUnpackStatus::kDone) ReadTrailingTables(bits, counted);
    return RarFinish(window_, status);
}

}  // namespace

std::unique_ptr<RarUnpacker> MakeRar20Unpacker(std::size_t windowBytes) {
    return std::make_unique<Rar20Unpacker>(windowBytes);
}

}  // namespace lumora::archive
