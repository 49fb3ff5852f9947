#include "archive/formats/arc/arc_header.h"

#include <algorithm>
#include <array>

#include "archive/core/le_bytes.h"

namespace lumora::archive {

namespace {
constexpr std::uint8_t kMarker = 0x1A;
constexpr std::size_t kSearch = 11;
constexpr std::size_t kShortHeader = 25;  // method 1: no original size
constexpr std::size_t kFullHeader = 29;
constexpr std::size_t kNameField = 13;
}  // namespace

ArcHeaderStatus ReadArcHeader(const InputFile& in, std::uint64_t pos, ArcHeader& h) {
    if (pos >= in.Size()) return ArcHeaderStatus::kEnd;
    std::array<std::uint8_t, kSearch> probe{};
    const std::size_t got = in.ReadAt(pos, probe.data(), probe.size());
    const auto marker = std::find(probe.begin(), probe.begin() + got, kMarker);
    if (marker == probe.begin() + got) return ArcHeaderStatus::kDamaged;
    pos += static_cast<std::uint64_t>(marker - probe.begin());

    std::array<std::uint8_t, kFullHeader> b{};
    const std::size_t n = in.ReadAt(pos, b.data(), b.size());
    if (n < 2 || b[1] == 0) return ArcHeaderStatus::kEnd;
    const std::size_t size = b[1] == 1 ? kShortHeader : kFullHeader;
    if (n < size) return ArcHeaderStatus::kDamaged;

    h = ArcHeader{};
    const auto* name = reinterpret_cast<const char*>(b.data() + 2);
    h.name.assign(name, std::find(name, name + kNameField, '\0'));
    h.packed = Le32(b.data() + 15);
    h.date = Le16(b.data() + 19);
    h.time = Le16(b.data() + 21);
    h.crc = Le16(b.data() + 23);
    h.method = b[1] == 1 ? 2 : b[1];
    h.original = b[1] == 1 ? h.packed : Le32(b.data() + 25);
    h.dataStart = pos + size;
    return ArcHeaderStatus::kHeader;
}

}  // namespace lumora::archive
