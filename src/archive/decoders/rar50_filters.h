// The filters of RAR 5 data: transforms applied to a decoded block before it
// is written (delta coding of interleaved channels, x86 call and jump
// addresses, ARM branch addresses).
#pragma once

#include <cstdint>
#include <vector>

namespace lumora::archive {

enum class Rar50FilterType : std::uint8_t { kDelta = 0, kE8 = 1, kE8E9 = 2, kArm = 3 };

struct Rar50Filter {
    std::uint64_t start = 0;  // window position of the block's first byte
    std::uint32_t length = 0;
    Rar50FilterType type = Rar50FilterType::kDelta;
    unsigned channels = 1;  // delta only
};

// Largest block a filter may cover, and how many may wait at once.
inline constexpr std::uint32_t kRar50MaxFilterBlock = 0x400000;
inline constexpr std::size_t kRar50MaxFilters = 8192;

// Turns `data` (the block as decoded) into what is written. `fileOffset`:
// where the block starts in the member's output. `scratch` is reused.
void ApplyRar50Filter(const Rar50Filter& f, std::uint32_t fileOffset,
                      std::vector<std::uint8_t>& data, std::vector<std::uint8_t>& scratch);

}  // namespace lumora::archive
