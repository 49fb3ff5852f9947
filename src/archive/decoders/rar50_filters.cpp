#include "archive/decoders/rar50_filters.h"

#include <cstddef>

namespace lumora::archive {

namespace {

std::uint32_t Get32(const std::uint8_t* p) {
    return p[0] | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
           (std::uint32_t{p[3]} << 24);
}

void Put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Call (E8) and optionally jump (E9) targets were stored relative to a 16 MiB
// file; turn them back into relative displacements.
void UndoX86(std::vector<std::uint8_t>& data, std::uint32_t fileOffset, bool jumps) {
    constexpr std::uint32_t kFileSize = 0x1000000;
    const std::size_t n = data.size();
    std::size_t pos = 0;
    while (pos + 4 < n) {
        const std::uint8_t op = data[pos++];
        if (op != 0xE8 && !(jumps && op == 0xE9)) continue;
        const std::uint32_t offset = (static_cast<std::uint32_t>(pos) + fileOffset) % kFileSize;
        const std::uint32_t addr = Get32(&data[pos]);
        if (addr & 0x80000000u) {
            if (((addr + offset) & 0x80000000u) == 0) Put32(&data[pos], addr + kFileSize);
        } else if ((addr - kFileSize) & 0x80000000u) {
            Put32(&data[pos], addr - offset);
        }
        pos += 4;
    }
}

// BL instructions (condition "always") carry absolute word targets.
void UndoArm(std::vector<std::uint8_t>& data, std::uint32_t fileOffset) {
    for (std::size_t pos = 0; pos + 3 < data.size(); pos += 4) {
        std::uint8_t* d = &data[pos];
        if (d[3] != 0xEB) continue;
        std::uint32_t target = d[0] | (std::uint32_t{d[1]} << 8) | (std::uint32_t{d[2]} << 16);
        target -= (fileOffset + static_cast<std::uint32_t>(pos)) / 4;
        for (int i = 0; i < 3; ++i) d[i] = static_cast<std::uint8_t>(target >> (8 * i));
    }
}

// The block holds each channel's differences one after the other; the
// output interleaves the channels' running sums.
void UndoDelta(std::vector<std::uint8_t>& data, unsigned channels,
               std::vector<std::uint8_t>& scratch) {
    scratch.assign(data.size(), 0);
    std::size_t src = 0;
    for (unsigned c = 0; c < channels; ++c) {
        std::uint8_t prev = 0;
        for (std::size_t dst = c; dst < data.size(); dst += channels) {
            prev = static_cast<std::uint8_t>(prev - data[src++]);
            scratch[dst] = prev;
        }
    }
    data.swap(scratch);
}

}  // namespace

void ApplyRar50Filter(const Rar50Filter& f, std::uint32_t fileOffset,
                      std::vector<std::uint8_t>& data, std::vector<std::uint8_t>& scratch) {
    switch (f.type) {
        case Rar50FilterType::kDelta:
            UndoDelta(data, f.channels, scratch);
            break;
        case Rar50FilterType::kE8:
        case Rar50FilterType::kE8E9:
            UndoX86(data, fileOffset, f.type == Rar50FilterType::kE8E9);
            break;
        case Rar50FilterType::kArm:
            UndoArm(data, fileOffset);
            break;
    }
}

}  // namespace lumora::archive
