#include "archive/formats/lha/lha_header.h"

#include <limits>

#include "archive/core/crc.h"

namespace lumora::archive {

namespace {

constexpr std::size_t kFixedSize = 22;    // up to the name length (levels 0, 1) or the CRC
constexpr std::size_t kLevel2Fixed = 26;  // up to the first extended header
constexpr std::size_t kLevel3Fixed = 32;
// A longer level-3 header is taken for damage.
constexpr std::uint64_t kMaxNewHeader = 1 << 20;
// No archiver writes more than a handful per member; the limit keeps a
// crafted chain of tiny headers from costing millions of reads.
constexpr int kMaxExtendedHeaders = 1024;

// What the extended headers say about the member; the last of a type wins.
struct LhaExtras {
    std::optional<std::string> name;
    std::string dir;
    std::optional<std::uint16_t> attribute;
    std::optional<std::uint32_t> unixTime;
    std::optional<std::uint64_t> packedSize, originalSize;  // 64-bit sizes

    void Apply(std::uint8_t type, const std::string& data) {
        FieldReader f(data);
        switch (type) {
            case 0x01:
                name = data;
                break;
            case 0x02:  // 0xFF separates the directories
                dir.clear();
                for (char c : data) dir += c == '\xFF' ? '\\' : c;
                if (!dir.empty() && dir.back() != '\\' && dir.back() != '/') dir += '\\';
                break;
            case 0x40:
                if (const std::uint16_t v = f.U16(); !f.Short()) attribute = v;
                break;
            case 0x42:
                if (const std::uint64_t p = f.U64(), o = f.U64(); !f.Short()) {
                    packedSize = p;
                    originalSize = o;
                }
                break;
            case 0x54:
                if (const std::uint32_t v = f.U32(); !f.Short()) unixTime = v;
                break;
            default:
                break;
        }
    }
};

// Level-1 extended headers follow the header in the file, the first `size`
// bytes long, each ending with the size of the next. Their sizes count in
// the packed size, which bounds them. Gives their total length in `total`.
bool ReadLevel1Extras(const InputFile& file, std::uint64_t at, std::uint16_t size,
                      std::uint64_t packed, LhaExtras& ext, std::uint64_t& total) {
    total = 0;
    for (int count = 0; size != 0; ++count) {
        if (count == kMaxExtendedHeaders || size < 3 || total + size > packed) return false;
        const std::string block = ReadBlock(file, at, size);
        FieldReader f(block);
        const std::uint8_t type = f.U8();
        const std::string data = f.Text(std::size_t{size} - 3);
        const std::uint16_t next = f.U16();
        if (f.Short()) return false;
        ext.Apply(type, data);
        at += size;
        total += size;
        size = next;
    }
    return true;
}

// Level-2 and level-3 extended headers lie inside the header from `from`;
// their size fields are `width` bytes wide, the first of them right before
// `from`. A header CRC (type 0) is checked over the whole header with its
// own two bytes taken as zero.
bool ReadInnerExtras(const std::string& hdr, std::size_t from, std::size_t width, LhaExtras& ext) {
    FieldReader f(hdr);
    f.Seek(from - width);
    auto nextSize = [&]() -> std::uint64_t { return width == 2 ? f.U16() : f.U32(); };
    std::uint64_t size = nextSize();
    std::optional<std::size_t> crcAt;
    for (int count = 0; size != 0; ++count) {
        if (count == kMaxExtendedHeaders || size < width + 1 || size > f.Remaining()) return false;
        const std::uint8_t type = f.U8();
        if (type == 0x00) crcAt = f.Pos();
        ext.Apply(type, f.Text(static_cast<std::size_t>(size) - width - 1));
        size = nextSize();
    }
    if (f.Short()) return false;
    if (!crcAt) return true;
    FieldReader at(hdr);
    at.Seek(*crcAt);
    const std::uint16_t stored = at.U16();
    if (at.Short()) return false;
    const std::uint8_t zero[2] = {0, 0};
    Crc16 crc;
    crc.Update(BytesOf(hdr), *crcAt);
    crc.Update(zero, 2);
    crc.Update(BytesOf(hdr) + *crcAt + 2, hdr.size() - *crcAt - 2);
    return crc.Value() == stored;
}

// Levels 0 and 1: `headerSize` bytes follow the first two. A level-1 header
// ends with the size of the first extended header.
HeaderResult ReadOldLevels(const InputFile& file, std::uint64_t pos, std::size_t headerSize,
                           LhaHeader& h, LhaExtras& ext) {
    const std::size_t total = headerSize + 2;
    const std::string hdr = ReadBlock(file, pos, total);
    FieldReader f(hdr);
    f.Seek(kFixedSize - 1);
    const std::size_t nameLength = f.U8();
    const std::size_t levelFields = h.level == 1 ? 3 : 0;  // OS id, first extended size
    if (hdr.size() < total || kFixedSize + nameLength + levelFields > headerSize) {
        return HeaderResult::Bad;
    }
    h.storedName = f.Text(nameLength);
    h.crc = f.U16();
    std::uint16_t firstExtended = 0;
    if (h.level == 1) {
        f.Seek(headerSize);
        firstExtended = f.U16();
    }
    if (f.Short()) return HeaderResult::Bad;
    std::uint64_t extended = 0;
    if (!ReadLevel1Extras(file, pos + total, firstExtended, h.packedSize, ext, extended)) {
        return HeaderResult::Bad;
    }
    h.dataOffset = pos + total + extended;
    h.dataSize = h.packedSize - extended;
    h.next = pos + total + h.packedSize;
    return HeaderResult::Ok;
}

// Levels 2 and 3: a level-2 header gives its whole size in its first two
// bytes; a level-3 header has a word size of 4 there and its size at 24.
HeaderResult ReadNewLevels(const InputFile& file, std::uint64_t pos, LhaHeader& h, LhaExtras& ext) {
    const bool level2 = h.level == 2;
    const std::size_t fixed = level2 ? kLevel2Fixed : kLevel3Fixed;
    const std::string head = ReadBlock(file, pos, fixed);
    FieldReader f(head);
    const std::uint16_t first = f.U16();
    std::uint64_t total = first;
    if (!level2) {
        f.Seek(24);
        total = f.U32();
        if (first != 4) return HeaderResult::Bad;
    }
    // The size is checked against the bytes left before anything is read.
    if (f.Short() || total < fixed || total > kMaxNewHeader || total > file.Size() - pos) {
        return HeaderResult::Bad;
    }
    const std::string hdr = ReadBlock(file, pos, static_cast<std::size_t>(total));
    FieldReader fields(hdr);
    fields.Seek(21);
    h.crc = fields.U16();
    if (hdr.size() < total || fields.Short() || !ReadInnerExtras(hdr, fixed, level2 ? 2 : 4, ext)) {
        return HeaderResult::Bad;
    }
    h.packedSize = ext.packedSize.value_or(h.packedSize);
    h.originalSize = ext.originalSize.value_or(h.originalSize);
    h.dataOffset = pos + total;
    // A 64-bit size must not carry the next header's offset round.
    if (h.packedSize > std::numeric_limits<std::uint64_t>::max() - h.dataOffset) {
        return HeaderResult::Bad;
    }
    h.dataSize = h.packedSize;
    h.next = h.dataOffset + h.packedSize;
    return HeaderResult::Ok;
}

}  // namespace

HeaderResult ReadLhaHeader(const InputFile& file, std::uint64_t pos, LhaHeaderUse use,
                           LhaHeader& h) {
    h = LhaHeader{};
    const bool list = use == LhaHeaderUse::List;
    const std::string fixed = ReadBlock(file, pos, kFixedSize);
    if (fixed.size() < kFixedSize) return HeaderResult::End;
    FieldReader f(fixed);
    const std::uint8_t sizeLow = f.U8();
    const std::uint8_t sizeHigh = f.U8();  // the high byte of a level-2 header's size
    h.method = f.Text(5);
    h.packedSize = f.U32();
    h.originalSize = f.U32();
    h.stamp = f.U32();
    const std::uint8_t attribute = f.U8();
    h.level = f.U8();
    if (sizeLow == 0 && (h.level < 2 || sizeHigh == 0)) return HeaderResult::End;
    if (h.level > 3) return HeaderResult::Bad;

    LhaExtras ext;
    const HeaderResult read =
        h.level < 2 ? ReadOldLevels(file, pos, sizeLow, h, ext) : ReadNewLevels(file, pos, h, ext);
    if (read != HeaderResult::Ok) return read;
    if (!list && h.next > file.Size()) return HeaderResult::Bad;
    h.name = ext.dir + ext.name.value_or(h.storedName);
    h.attribute = ext.attribute.value_or(h.level < 2 ? attribute : 0x20);
    h.unixTime = ext.unixTime;
    return HeaderResult::Ok;
}

}  // namespace lumora::archive
