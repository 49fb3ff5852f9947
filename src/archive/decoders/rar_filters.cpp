#include "archive/decoders/rar_filters.h"

#include <array>
#include <cstdlib>

#include "archive/core/crc.h"

namespace lumora::archive {

namespace {

struct KnownFilter {
    std::size_t length;
    std::uint32_t crc;
    RarFilterKind kind;
};

constexpr std::array<KnownFilter, 6> kKnownFilters{{
    {53, 0xAD576887u, RarFilterKind::kE8},
    {57, 0x3CD7E57Eu, RarFilterKind::kE8E9},
    {120, 0x3769893Fu, RarFilterKind::kItanium},
    {29, 0x0E06077Du, RarFilterKind::kDelta},
    {149, 0x1C2C5DC8u, RarFilterKind::kRgb},
    {216, 0xBC85E701u, RarFilterKind::kAudio},
}};

constexpr std::uint32_t kMaxChannels = 1024;

std::uint32_t Load32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
           (std::uint32_t{p[3]} << 24);
}

void Store32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A bit field of an IA-64 bundle, at bit `pos` counted from the bundle's
// first byte, LSB first.
std::uint32_t BundleBits(const std::uint8_t* bundle, unsigned pos, unsigned count) {
    const std::uint32_t word = Load32(bundle + pos / 8);
    return (word >> (pos & 7)) & (0xFFFFFFFFu >> (32 - count));
}

void SetBundleBits(std::uint8_t* bundle, std::uint32_t value, unsigned pos, unsigned count) {
    const std::uint32_t mask = ((0xFFFFFFFFu >> (32 - count)) << (pos & 7));
    const std::uint32_t word = (Load32(bundle + pos / 8) & ~mask) | ((value << (pos & 7)) & mask);
    Store32(bundle + pos / 8, word);
}

}  // namespace

RarFilterKind IdentifyRarFilter(std::span<const std::uint8_t> code) {
    Crc32 crc;
    crc.Update(code.data(), code.size());
    for (const KnownFilter& f : kKnownFilters) {
        if (f.length == code.size() && f.crc == crc.Value()) return f.kind;
    }
    return RarFilterKind::kUnknown;
}

void RarFilterE8(std::span<std::uint8_t> data, std::uint32_t fileOffset, bool e9) {
    constexpr std::uint32_t kAddressSpace = 0x1000000;
    if (data.size() < 5) return;
    for (std::size_t pos = 0; pos < data.size() - 4;) {
        const std::uint8_t op = data[pos++];
        if (op != 0xE8 && !(e9 && op == 0xE9)) continue;
        const std::uint32_t offset = static_cast<std::uint32_t>(pos) + fileOffset;
        const std::uint32_t addr = Load32(&data[pos]);
        if (addr & 0x80000000u) {
            if (((addr + offset) & 0x80000000u) == 0) Store32(&data[pos], addr + kAddressSpace);
        } else if ((addr - kAddressSpace) & 0x80000000u) {
            Store32(&data[pos], addr - offset);
        }
        pos += 4;
    }
}

void RarFilterItanium(std::span<std::uint8_t> data, std::uint32_t fileOffset) {
    // Which of the three instruction slots may hold a branch, per template.
    constexpr std::array<std::uint8_t, 16> kSlotMasks = {4, 4, 6, 6, 0, 0, 7, 7,
                                                         4, 4, 0, 0, 4, 4, 0, 0};
    std::uint32_t bundleNo = fileOffset >> 4;
    for (std::size_t pos = 0; pos + 21 < data.size(); pos += 16, ++bundleNo) {
        std::uint8_t* bundle = &data[pos];
        const int tmpl = (bundle[0] & 0x1F) - 0x10;
        if (tmpl < 0) continue;
        const unsigned slots = kSlotMasks[static_cast<std::size_t>(tmpl)];
        for (unsigned slot = 0; slot < 3; ++slot) {
            if (!(slots & (1u << slot))) continue;
            const unsigned start = slot * 41 + 5;
            if (BundleBits(bundle, start + 37, 4) != 5) continue;
            const std::uint32_t target = BundleBits(bundle, start + 13, 20);
            SetBundleBits(bundle, (target - bundleNo) & 0xFFFFF, start + 13, 20);
        }
    }
}

bool RarFilterDelta(std::span<const std::uint8_t> src, std::span<std::uint8_t> dst,
                    std::uint32_t channels) {
    if (channels == 0 || channels > kMaxChannels || dst.size() < src.size()) return false;
    std::size_t in = 0;
    for (std::uint32_t ch = 0; ch < channels; ++ch) {
        std::uint8_t prev = 0;
        for (std::size_t out = ch; out < src.size(); out += channels) {
            prev = static_cast<std::uint8_t>(prev - src[in++]);
            dst[out] = prev;
        }
    }
    return true;
}

bool RarFilterRgb(std::span<const std::uint8_t> src, std::span<std::uint8_t> dst,
                  std::uint32_t stride, std::uint32_t redPos) {
    const std::size_t n = src.size();
    if (n < 3 || stride < 3 || stride - 3 > n || redPos > 2 || dst.size() < n) return false;
    std::size_t in = 0;
    for (std::size_t ch = 0; ch < 3; ++ch) {
        unsigned prev = 0;
        for (std::size_t i = ch; i < n; i += 3) {
            unsigned predicted = prev;
            if (i >= stride) {
                const unsigned up = dst[i - stride + 3];
                const unsigned upLeft = dst[i - stride];
                const int guess = static_cast<int>(prev + up) - static_cast<int>(upLeft);
                const int pa = std::abs(guess - static_cast<int>(prev));
                const int pb = std::abs(guess - static_cast<int>(up));
                const int pc = std::abs(guess - static_cast<int>(upLeft));
                predicted = (pa <= pb && pa <= pc) ? prev : (pb <= pc ? up : upLeft);
            }
            prev = static_cast<std::uint8_t>(predicted - src[in++]);
            dst[i] = static_cast<std::uint8_t>(prev);
        }
    }
    for (std::size_t i = redPos; i + 2 < n; i += 3) {
        dst[i] = static_cast<std::uint8_t>(dst[i] + dst[i + 1]);
        dst[i + 2] = static_cast<std::uint8_t>(dst[i + 2] + dst[i + 1]);
    }
    return true;
}

namespace {

// The predictor of one audio channel: three weights adapted every 32 samples
// towards the variant that would have erred least.
class AudioChannel {
public:
    std::uint8_t Next(std::uint8_t delta) {
        d3_ = d2_;
        d2_ = prevDelta_ - d1_;
        d1_ = prevDelta_;
        std::uint32_t predicted =
            8 * prev_ + static_cast<std::uint32_t>(k1_ * d1_ + k2_ * d2_ + k3_ * d3_);
        predicted = ((predicted >> 3) & 0xFF) - delta;
        const auto out = static_cast<std::uint8_t>(predicted);
        prevDelta_ = static_cast<std::int8_t>(out - prev_);
        prev_ = out;
        const int d = static_cast<std::int8_t>(delta) * 8;
        const int variants[7] = {d, d - d1_, d + d1_, d - d2_, d + d2_, d - d3_, d + d3_};
        for (int j = 0; j < 7; ++j) dif_[j] += static_cast<std::uint32_t>(std::abs(variants[j]));
        if ((count_++ & 0x1F) == 0) Adapt();
        return out;
    }

private:
    void Adapt() {
        std::uint32_t best = dif_[0];
        int bestNo = 0;
        dif_[0] = 0;
        for (int j = 1; j < 7; ++j) {
            if (dif_[j] < best) {
                best = dif_[j];
                bestNo = j;
            }
            dif_[j] = 0;
        }
        int* k = bestNo <= 2 ? &k1_ : (bestNo <= 4 ? &k2_ : &k3_);
        if (bestNo == 0) return;
        if (bestNo & 1) {
            if (*k >= -16) --*k;
        } else if (*k < 16) {
            ++*k;
        }
    }

    std::uint32_t prev_ = 0;
    int prevDelta_ = 0;
    int d1_ = 0, d2_ = 0, d3_ = 0;
    int k1_ = 0, k2_ = 0, k3_ = 0;
    std::uint32_t dif_[7] = {};
    std::uint32_t count_ = 0;
};

}  // namespace

bool RarFilterAudio(std::span<const std::uint8_t> src, std::span<std::uint8_t> dst,
                    std::uint32_t channels) {
    if (channels == 0 || channels > kMaxChannels || dst.size() < src.size()) return false;
    std::size_t in = 0;
    for (std::uint32_t ch = 0; ch < channels; ++ch) {
        AudioChannel predictor;
        for (std::size_t i = ch; i < src.size(); i += channels) dst[i] = predictor.Next(src[in++]);
    }
    return true;
}

}  // namespace lumora::archive
