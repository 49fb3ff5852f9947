#include "archive/formats/arc/arc_header.h"

#include <string_view>

namespace lumora::archive {

namespace {
constexpr char kMarker = 0x1A;
constexpr std::size_t kSearch = 11;
constexpr std::size_t kShortHeader = 25;  // method 1: no original size
constexpr std::size_t kFullHeader = 29;
constexpr std::size_t kNameField = 13;
}  // namespace

HeaderResult ReadArcHeader(const InputFile& in, std::uint64_t pos, ArcHeader& h) {
    h = ArcHeader{};
    if (pos >= in.Size()) return HeaderResult::End;
    // One read covers the marker search and the header after any marker.
    const std::string block = ReadBlock(in, pos, kSearch - 1 + kFullHeader);
    const std::size_t skip = std::string_view(block).substr(0, kSearch).find(kMarker);
    if (skip == std::string::npos) return HeaderResult::Bad;
    h.start = pos + skip;

    FieldReader r(std::string_view(block).substr(skip, kFullHeader));
    r.Skip(1);
    h.method = r.U8();
    if (r.Short() || h.method == 0) return HeaderResult::End;
    const std::string field = r.Text(kNameField);
    h.name = field.substr(0, field.find('\0'));
    h.packed = r.U32();
    h.date = r.U16();
    h.time = r.U16();
    h.crc = r.U16();
    h.original = h.method == 1 ? h.packed : r.U32();
    if (r.Short()) return HeaderResult::Bad;
    h.dataStart = h.start + r.Pos();
    return HeaderResult::Ok;
}

}  // namespace lumora::archive
