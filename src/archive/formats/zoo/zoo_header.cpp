#include "archive/formats/zoo/zoo_header.h"

namespace lumora::archive {

namespace {
constexpr std::uint32_t kEntryTag = 0xFDC4A7DC;
constexpr std::size_t kFirstEntryField = 24;
constexpr std::size_t kNameField = 13;
}  // namespace

HeaderResult ReadZooArchiveHeader(const InputFile& in, ZooArchiveHeader& h) {
    h = ZooArchiveHeader{};
    const std::string b = ReadBlock(in, 0, kZooArchiveHeaderSize);
    FieldReader r(b);
    r.Seek(kFirstEntryField);
    h.firstEntry = r.U32();
    const std::uint32_t negated = r.U32();
    r.Seek(kZooArchiveHeaderSize);
    if (r.Short()) {
        h.cut = true;
        return HeaderResult::Bad;
    }
    // The header keeps the position twice: once as it is, once negated.
    return static_cast<std::uint32_t>(h.firstEntry + negated) == 0 ? HeaderResult::Ok
                                                                   : HeaderResult::Bad;
}

HeaderResult ParseZooEntry(FieldReader& r, std::uint64_t fileSize, ZooEntry& e) {
    e = ZooEntry{};
    const std::uint32_t tag = r.U32();
    e.type = r.U8();
    e.method = r.U8();
    e.next = r.U32();
    e.dataOffset = r.U32();
    const std::uint16_t date = r.U16();
    e.dosDateTime = std::uint32_t{date} << 16 | r.U16();
    e.crc = r.U16();
    e.originalSize = r.U32();
    e.packedSize = r.U32();
    r.Skip(2);  // version needed
    e.deleted = r.U8() != 0;
    r.Skip(7);  // structure, comment position and size
    const std::string field = r.Text(kNameField);
    e.name = field.substr(0, field.find('\0'));
    if (r.Short() || tag != kEntryTag) return HeaderResult::Bad;
    if (e.next == 0) return HeaderResult::End;
    if (std::uint64_t{e.dataOffset} + e.packedSize > fileSize) return HeaderResult::Bad;
    return HeaderResult::Ok;
}

HeaderResult ReadZooEntry(const InputFile& in, std::uint64_t pos, ZooEntry& e) {
    const std::string b = ReadBlock(in, pos, kZooEntrySize);
    FieldReader r(b);
    return ParseZooEntry(r, in.Size(), e);
}

}  // namespace lumora::archive
