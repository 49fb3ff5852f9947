#include "archive/core/pe_strings.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "archive/core/le_bytes.h"

namespace lumora::archive {

namespace {

constexpr std::uint32_t kRtString = 6;
constexpr std::size_t kMaxSections = 96;
constexpr std::size_t kMaxDirEntries = 4096;
constexpr std::size_t kMaxStringBlock = 0x10000;

struct Section {
    std::uint32_t va, size, rawOffset, rawSize;
};

class PeImage {
public:
    explicit PeImage(const InputFile& f) : file_(f) {}

    bool Load();
    // Reads `n` bytes at an RVA that lies inside one section's raw data.
    bool ReadRva(std::uint32_t rva, std::size_t n, std::vector<std::uint8_t>& out) const;
    std::uint32_t ResourceRva() const { return resRva_; }

private:
    bool Read(std::uint64_t offset, std::size_t n, std::vector<std::uint8_t>& out) const {
        out.resize(n);
        return file_.ReadAt(offset, out.data(), n) == n;
    }

    const InputFile& file_;
    std::vector<Section> sections_;
    std::uint32_t resRva_ = 0;
};

bool PeImage::Load() {
    std::vector<std::uint8_t> b;
    if (!Read(0, 64, b)) return false;
    const std::uint64_t peAt = Le32(&b[0x3C]);
    if (!Read(peAt, 24, b) || b[0] != 'P' || b[1] != 'E' || b[2] != 0 || b[3] != 0) return false;
    const std::size_t sectionCount = Le16(&b[6]);
    const std::size_t optSize = Le16(&b[20]);
    if (sectionCount > kMaxSections || !Read(peAt + 24, optSize, b) || optSize < 2) return false;
    const std::uint16_t magic = Le16(&b[0]);
    const std::size_t countAt = magic == 0x20B ? 108 : 92;
    if (magic != 0x10B && magic != 0x20B) return false;
    const std::size_t dirsAt = countAt + 4;
    if (optSize < dirsAt + 3 * 8 || Le32(&b[countAt]) < 3) return false;
    resRva_ = Le32(&b[dirsAt + 2 * 8]);
    if (resRva_ == 0) return false;

    if (!Read(peAt + 24 + optSize, sectionCount * 40, b)) return false;
    for (std::size_t i = 0; i < sectionCount; ++i) {
        const std::uint8_t* s = &b[i * 40];
        sections_.push_back({Le32(s + 12), Le32(s + 8), Le32(s + 20), Le32(s + 16)});
    }
    return true;
}

bool PeImage::ReadRva(std::uint32_t rva, std::size_t n, std::vector<std::uint8_t>& out) const {
    for (const Section& s : sections_) {
        if (rva < s.va) continue;
        const std::uint64_t delta = rva - s.va;
        if (delta + n > s.rawSize) continue;
        return Read(std::uint64_t{s.rawOffset} + delta, n, out);
    }
    return false;
}

// The value of the entry with `id` in the resource directory at `dirRva`, or
// of its first entry when `id` is negative; nullopt when there is none.
std::optional<std::uint32_t> DirEntry(const PeImage& pe, std::uint32_t dirRva, long id) {
    std::vector<std::uint8_t> b;
    if (!pe.ReadRva(dirRva, 16, b)) return std::nullopt;
    const std::size_t named = Le16(&b[12]), ids = Le16(&b[14]);
    const std::size_t count = named + ids;
    if (count == 0 || count > kMaxDirEntries || !pe.ReadRva(dirRva + 16, count * 8, b)) {
        return std::nullopt;
    }
    if (id < 0) return Le32(&b[4]);
    for (std::size_t i = named; i < count; ++i) {
        if (Le32(&b[i * 8]) == static_cast<std::uint32_t>(id)) return Le32(&b[i * 8 + 4]);
    }
    return std::nullopt;
}

// Follows a subdirectory entry (high bit set) to its RVA.
std::optional<std::uint32_t> SubDir(const PeImage& pe, std::optional<std::uint32_t> entry) {
    if (!entry || !(*entry & 0x80000000u)) return std::nullopt;
    return pe.ResourceRva() + (*entry & 0x7FFFFFFFu);
}

std::array<std::string, 4> ParseStringBlock(const std::vector<std::uint8_t>& block) {
    std::array<std::string, 4> out;
    std::size_t pos = 0;
    for (std::size_t index = 0; index <= 4; ++index) {
        if (pos + 2 > block.size()) break;
        const std::size_t len = Le16(&block[pos]);
        pos += 2;
        if (index >= 1) {
            std::string& s = out[index - 1];
            for (std::size_t k = 0; k < len && k < 5 && pos + 2 * k + 2 <= block.size(); ++k) {
                const std::uint16_t unit = Le16(&block[pos + 2 * k]);
                s += unit < 0x80 ? static_cast<char>(unit) : '?';
            }
        }
        pos += 2 * len;
    }
    return out;
}

}  // namespace

std::optional<std::array<std::string, 4>> ReadPeStrings(const InputFile& file) {
    PeImage pe(file);
    if (!pe.Load()) return std::nullopt;
    const auto typeDir = SubDir(pe, DirEntry(pe, pe.ResourceRva(), kRtString));
    if (!typeDir) return std::array<std::string, 4>{};
    const auto nameDir = SubDir(pe, DirEntry(pe, *typeDir, 1));  // block 1: ids 0-15
    if (!nameDir) return std::array<std::string, 4>{};
    const auto dataEntry = DirEntry(pe, *nameDir, -1);  // first language
    std::vector<std::uint8_t> b;
    if (!dataEntry || (*dataEntry & 0x80000000u) ||
        !pe.ReadRva(pe.ResourceRva() + *dataEntry, 16, b)) {
        return std::array<std::string, 4>{};
    }
    const std::uint32_t dataRva = Le32(&b[0]);
    const std::size_t dataSize = std::min<std::size_t>(Le32(&b[4]), kMaxStringBlock);
    std::vector<std::uint8_t> block;
    if (!pe.ReadRva(dataRva, dataSize, block)) return std::array<std::string, 4>{};
    return ParseStringBlock(block);
}

}  // namespace lumora::archive
