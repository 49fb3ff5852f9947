#include "archive/decoders/rar15.h"

#include <array>

#include "archive/decoders/rar20_window.h"

namespace lumora::archive {

namespace {

// The fixed prefix codes of RAR 1.5: for a code table, the number of bits of
// its shortest codes, the left-aligned 16-bit limits where each longer length
// starts, and the first value of each length.
struct PrefixTable {
    unsigned firstBits;
    std::array<std::uint32_t, 11> limits;
    std::array<std::uint16_t, 13> base;
};

constexpr PrefixTable kLen1 = {
    2,
    {0x8000, 0xa000, 0xc000, 0xd000, 0xe000, 0xea00, 0xee00, 0xf000, 0xf200, 0xf200, 0xffff},
    {0, 0, 0, 2, 3, 5, 7, 11, 16, 20, 24, 32, 32}};
constexpr PrefixTable kLen2 = {
    3,
    {0xa000, 0xc000, 0xd000, 0xe000, 0xea00, 0xee00, 0xf000, 0xf200, 0xf240, 0xffff},
    {0, 0, 0, 0, 5, 7, 9, 13, 18, 22, 26, 34, 36}};
constexpr PrefixTable kHuf0 = {
    4,
    {0x8000, 0xc000, 0xe000, 0xf200, 0xf200, 0xf200, 0xf200, 0xf200, 0xffff},
    {0, 0, 0, 0, 0, 8, 16, 24, 33, 33, 33, 33, 33}};
constexpr PrefixTable kHuf1 = {5,
                               {0x2000, 0xc000, 0xe000, 0xf000, 0xf200, 0xf200, 0xf7e0, 0xffff},
                               {0, 0, 0, 0, 0, 0, 4, 44, 60, 76, 80, 80, 127}};
constexpr PrefixTable kHuf2 = {5,
                               {0x1000, 0x2400, 0x8000, 0xc000, 0xfa00, 0xffff},
                               {0, 0, 0, 0, 0, 0, 2, 7, 53, 117, 233, 0, 0}};
constexpr PrefixTable kHuf3 = {
    6, {0x0800, 0x2400, 0xee00, 0xfe80, 0xffff}, {0, 0, 0, 0, 0, 0, 0, 2, 16, 218, 251, 0, 0}};
constexpr PrefixTable kHuf4 = {8, {0xff00, 0xffff}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 255, 0, 0, 0}};

// Short matches: a code of up to 8 bits picks the length (or a repeat).
// Entry 1 (first set) and entry 3 (second set) take Buf60 + 3 bits.
constexpr std::array<std::uint8_t, 15> kShortBits1 = {1, 3, 4, 4, 5, 6, 7, 8, 8, 4, 4, 5, 6, 6, 4};
constexpr std::array<std::uint8_t, 15> kShortCode1 = {
    0, 0xa0, 0xd0, 0xe0, 0xf0, 0xf8, 0xfc, 0xfe, 0xff, 0xc0, 0x80, 0x90, 0x98, 0x9c, 0xb0};
constexpr std::array<std::uint8_t, 15> kShortBits2 = {2, 3, 3, 3, 4, 4, 5, 6, 6, 4, 4, 5, 6, 6, 4};
constexpr std::array<std::uint8_t, 15> kShortCode2 = {
    0, 0x40, 0x60, 0xa0, 0xd0, 0xe0, 0xf0, 0xf8, 0xfc, 0xc0, 0x80, 0x90, 0x98, 0x9c, 0xb0};

unsigned DecodeNumber(RarBitInput& in, const PrefixTable& t) {
    const std::uint32_t v = in.Peek16() & 0xFFF0;
    unsigned bits = t.firstBits;
    unsigned i = 0;
    while (i < t.limits.size() && t.limits[i] <= v) {
        ++i;
        ++bits;
    }
    if (bits > 12) bits = 12;
    in.Skip(bits);
    const std::uint32_t below = i == 0 ? 0 : t.limits[i - 1];
    return ((v - below) >> (16 - bits)) + t.base[bits];
}

// A table that ranks 256 values by use: each entry is value << 8 | count.
// `place` maps a count to the rank where the next value of that count goes.
struct RankTable {
    std::array<std::uint32_t, 256> entry{};
    std::array<std::uint32_t, 256> place{};

    // Regroups the counts into eight bands of 32 ranks.
    void Rebalance() {
        for (unsigned i = 0; i < 256; ++i) entry[i] = (entry[i] & ~0xFFu) | (7 - i / 32);
        place.fill(0);
        for (unsigned band = 0; band < 7; ++band) place[band] = (7 - band) * 32;
    }
    // Counts a use of rank `at` and moves its value up; `limit` is the count
    // at which the bands are redone (256: when the count wraps).
    std::uint32_t Use(unsigned at, unsigned limit) {
        at &= 0xFF;
        std::uint32_t value = 0;
        unsigned next = 0;
        for (;;) {
            value = entry[at];
            next = place[value & 0xFF]++ & 0xFF;
            ++value;
            const unsigned count = value & 0xFF;
            if (limit == 256 ? count != 0 : count <= limit) break;
            Rebalance();
        }
        entry[at] = entry[next];
        entry[next] = value;
        return value;
    }
};

class Rar15Unpacker final : public RarUnpacker {
public:
    explicit Rar15Unpacker(std::size_t windowBytes) : window_(windowBytes) {}
    RarUnpackResult Unpack(ByteSource& in, OutputSink* out,
                           const RarUnpackRequest& request) override;

private:
    void Reset();
    void ReadFlags(RarBitInput& in);
    void ShortMatch(RarBitInput& in);
    void LongMatch(RarBitInput& in);
    void Literal(RarBitInput& in);
    void Match(std::uint32_t distance, std::uint32_t length, bool remember);
    RarUnpackStatus Decode(RarBitInput& in);

    RarWindow window_;
    RankTable literals_, distances_, flags_;
    std::array<std::uint32_t, 256> shortDist_{};  // recent short distances, move-up order
    std::array<std::uint32_t, 4> oldDist_{};
    unsigned oldDistPos_ = 0;
    std::uint32_t lastDist_ = 0, lastLength_ = 0;
    std::uint32_t avgPlace_ = 0, avgPlaceLong_ = 0;
    std::uint32_t avgLen1_ = 0, avgLen2_ = 0, avgLen3_ = 0;
    std::uint32_t literalWeight_ = 0, matchWeight_ = 0;
    std::uint32_t maxDist3_ = 0;
    unsigned buf60_ = 0, literalRun_ = 0, repeats_ = 0;
    unsigned flagBits_ = 0;
    int flagsLeft_ = 0;
    bool literalMode_ = false;
};

void Rar15Unpacker::Reset() {
    for (unsigned i = 0; i < 256; ++i) {
        literals_.entry[i] = distances_.entry[i] = i << 8;
        shortDist_[i] = i;
        flags_.entry[i] = ((0u - i) & 0xFF) << 8;
    }
    literals_.place.fill(0);
    flags_.place.fill(0);
    distances_.Rebalance();
    oldDist_.fill(0);
    oldDistPos_ = 0;
    lastDist_ = lastLength_ = 0;
    avgPlaceLong_ = avgLen1_ = avgLen2_ = avgLen3_ = 0;
    literalRun_ = buf60_ = 0;
    avgPlace_ = 0x3500;
    maxDist3_ = 0x2001;
    literalWeight_ = matchWeight_ = 0x80;
}

void Rar15Unpacker::ReadFlags(RarBitInput& in) {
    const unsigned at = DecodeNumber(in, kHuf2);
    if (at > 0xFF) return;  // only damaged data uses the 257th code here
    flagBits_ = (flags_.entry[at] >> 8) & 0xFF;
    flags_.Use(at, 256);
}

void Rar15Unpacker::Match(std::uint32_t distance, std::uint32_t length, bool remember) {
    if (remember) {
        oldDist_[oldDistPos_++ & 3] = distance;
        lastDist_ = distance;
        lastLength_ = length;
    }
    window_.Copy(distance, length);
}

void Rar15Unpacker::ShortMatch(RarBitInput& in) {
    literalRun_ = 0;
    std::uint32_t field = in.Peek16();
    if (repeats_ == 2) {
        in.Skip(1);
        if (field >= 0x8000) return Match(lastDist_, lastLength_, false);
        field <<= 1;
        repeats_ = 0;
    }
    field = (field >> 8) & 0xFF;
    const bool first = avgLen1_ < 37;
    const auto& bits = first ? kShortBits1 : kShortBits2;
    const auto& codes = first ? kShortCode1 : kShortCode2;
    const unsigned wide = first ? 1 : 3;  // the entry whose width Buf60 sets
    unsigned code = 0;
    unsigned width = 0;
    for (; code < codes.size(); ++code) {
        width = code == wide ? buf60_ + 3 : bits[code];
        if (((field ^ codes[code]) & (0xFFu << (8 - width)) & 0xFF) == 0) break;
    }
    if (code == codes.size()) return;  // the codes cover every byte; not reached
    in.Skip(width);

    if (code == 9) {
        ++repeats_;
        return Match(lastDist_, lastLength_, false);
    }
    repeats_ = 0;
    if (code == 14) {
        const std::uint32_t length = DecodeNumber(in, kLen2) + 5;
        const std::uint32_t distance = (in.Peek16() >> 1) | 0x8000;
        in.Skip(15);
        lastLength_ = length;
        lastDist_ = distance;
        return window_.Copy(distance, length);
    }
    if (code > 9) {
        const std::uint32_t distance = oldDist_[(oldDistPos_ - (code - 9)) & 3];
        std::uint32_t length = DecodeNumber(in, kLen1) + 2;
        if (length == 0x101 && code == 10) {
            buf60_ ^= 1;
            return;
        }
        length += (distance > 256) + (distance >= maxDist3_);
        return Match(distance, length, true);
    }
    avgLen1_ += code;
    avgLen1_ -= avgLen1_ >> 4;
    const unsigned place = DecodeNumber(in, kHuf2) & 0xFF;
    const std::uint32_t distance = shortDist_[place];
    if (place != 0) {
        shortDist_[place] = shortDist_[place - 1];
        shortDist_[place - 1] = distance;
    }
    Match(distance + 1, code + 2, true);
}

void Rar15Unpacker::LongMatch(RarBitInput& in) {
    literalRun_ = 0;
    matchWeight_ += 16;
    if (matchWeight_ > 0xFF) {
        matchWeight_ = 0x90;
        literalWeight_ >>= 1;
    }
    const std::uint32_t oldAvg2 = avgLen2_;
    std::uint32_t field = in.Peek16();
    std::uint32_t length = 0;
    if (avgLen2_ >= 122) {
        length = DecodeNumber(in, kLen2);
    } else if (avgLen2_ >= 64) {
        length = DecodeNumber(in, kLen1);
    } else if (field < 0x100) {
        length = field;
        in.Skip(16);
    } else {
        while (((field << length) & 0x8000) == 0) ++length;
        in.Skip(length + 1);
    }
    avgLen2_ += length;
    avgLen2_ -= avgLen2_ >> 5;

    const PrefixTable& t = avgPlaceLong_ > 0x28FF ? kHuf2 : avgPlaceLong_ > 0x6FF ? kHuf1 : kHuf0;
    const unsigned place = DecodeNumber(in, t);
    avgPlaceLong_ += place;
    avgPlaceLong_ -= avgPlaceLong_ >> 8;
    const std::uint32_t high = distances_.Use(place, 256);
    const std::uint32_t distance = ((high & 0xFF00) | (in.Peek16() >> 8)) >> 1;
    in.Skip(7);

    const std::uint32_t oldAvg3 = avgLen3_;
    if (length != 1 && length != 4) {
        if (length == 0 && distance <= maxDist3_) {
            ++avgLen3_;
            avgLen3_ -= avgLen3_ >> 8;
        } else if (avgLen3_ > 0) {
            --avgLen3_;
        }
    }
    length += 3 + (distance >= maxDist3_) + (distance <= 256 ? 8 : 0);
    maxDist3_ = (oldAvg3 > 0xB0 || (avgPlace_ >= 0x2A00 && oldAvg2 < 0x40)) ? 0x7F00 : 0x2001;
    Match(distance, length, true);
}

void Rar15Unpacker::Literal(RarBitInput& in) {
    const std::uint32_t field = in.Peek16();
    const PrefixTable& t = avgPlace_ > 0x75FF   ? kHuf4
                           : avgPlace_ > 0x5DFF ? kHuf3
                           : avgPlace_ > 0x35FF ? kHuf2
                           : avgPlace_ > 0x0DFF ? kHuf1
                                                : kHuf0;
    unsigned place = DecodeNumber(in, t) & 0xFF;
    if (literalMode_) {
        if (place == 0 && field > 0xFFF) place = 0x100;
        if (place == 0) {
            // Escape: leave literal mode, or a short match.
            const std::uint32_t next = in.Peek16();
            in.Skip(1);
            if (next & 0x8000) {
                literalRun_ = 0;
                literalMode_ = false;
                return;
            }
            const std::uint32_t length = (next & 0x4000) ? 4 : 3;
            in.Skip(1);
            std::uint32_t distance = DecodeNumber(in, kHuf2);
            distance = (distance << 5) | (in.Peek16() >> 11);
            in.Skip(5);
            return window_.Copy(distance, length);
        }
        --place;
    } else if (literalRun_++ >= 16 && flagsLeft_ == 0) {
        literalMode_ = true;
    }
    avgPlace_ += place;
    avgPlace_ -= avgPlace_ >> 8;
    literalWeight_ += 16;
    if (literalWeight_ > 0xFF) {
        literalWeight_ = 0x90;
        matchWeight_ >>= 1;
    }
    window_.Put(static_cast<std::uint8_t>(literals_.entry[place] >> 8));
    literals_.Use(place, 0xA1);
}

RarUnpackStatus Rar15Unpacker::Decode(RarBitInput& in) {
    // Each flag bit picks literal or long match (by which was more frequent
    // lately) or, as a pair of zero bits, a short match.
    auto nextFlag = [&]() {
        if (--flagsLeft_ < 0) {
            ReadFlags(in);
            flagsLeft_ = 7;
        }
        const bool set = (flagBits_ & 0x80) != 0;
        flagBits_ = (flagBits_ << 1) & 0xFF;
        return set;
    };
    while (window_.MemberLeft() > 0) {
        if (window_.WantsFlush()) {
            if (!window_.Emit(window_.Pos())) return RarUnpackStatus::kOutputLimit;
            window_.ScheduleFlush();
        }
        in.Fill();
        if (in.Overrun()) return RarUnpackStatus::kTruncated;
        if (literalMode_) {
            Literal(in);
        } else if (nextFlag()) {
            if (matchWeight_ > literalWeight_) {
                LongMatch(in);
            } else {
                Literal(in);
            }
        } else if (nextFlag()) {
            if (matchWeight_ > literalWeight_) {
                Literal(in);
            } else {
                LongMatch(in);
            }
        } else {
            ShortMatch(in);
        }
    }
    return in.Overrun() ? RarUnpackStatus::kTruncated : RarUnpackStatus::kDone;
}

RarUnpackResult Rar15Unpacker::Unpack(ByteSource& in, OutputSink* out,
                                      const RarUnpackRequest& request) {
    if (!window_.StartMember(out, request)) return {RarUnpackStatus::kNoMemory, 0};
    if (!request.solid) Reset();
    flagBits_ = 0;
    flagsLeft_ = 0;
    literalMode_ = false;
    repeats_ = 0;
    RarBitInput bits(in);
    RarUnpackStatus status = RarUnpackStatus::kDone;
    if (window_.MemberLeft() > 0) {
        ReadFlags(bits);
        flagsLeft_ = 8;
        status = Decode(bits);
    }
    if (status != RarUnpackStatus::kOutputLimit && !window_.Emit(window_.Pos()))
        status = RarUnpackStatus::kOutputLimit;
    return RarFinish(window_, status);
}

}  // namespace

std::unique_ptr<RarUnpacker> MakeRar15Unpacker(std::size_t windowBytes) {
    return std::make_unique<Rar15Unpacker>(windowBytes);
}

}  // namespace lumora::archive
