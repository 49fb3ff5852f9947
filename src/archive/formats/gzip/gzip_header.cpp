#include "archive/formats/gzip/gzip_header.h"

#include <algorithm>

#include "archive/core/awk_main.h"
#include "archive/core/crc.h"
#include "platform/text.h"

namespace lumora::archive {

namespace {

constexpr std::uint8_t kFlagHeaderCrc = 0x02;
constexpr std::uint8_t kFlagExtra = 0x04;
constexpr std::uint8_t kFlagName = 0x08;
constexpr std::uint8_t kFlagComment = 0x10;
constexpr std::uint8_t kFlagEncrypted = 0x20;
constexpr std::size_t kMaxName = 255;
constexpr std::size_t kMaxText = 65536;  // bytes searched for the end of a name or comment

// Skips the zero-ended text at `at`; gives the position after its zero byte
// (or after the bytes searched) and, when asked, the text itself (cut to
// kMaxName bytes).
std::uint64_t SkipText(const InputFile& file, std::uint64_t at, std::string* text) {
    const std::string buf = ReadBlock(file, at, kMaxText);
    const auto nul = buf.find('\0');
    const std::size_t length = nul == std::string::npos ? buf.size() : nul;
    if (text != nullptr) *text = buf.substr(0, std::min(length, kMaxName));
    return at + (nul == std::string::npos ? buf.size() : nul + 1);
}

// True when the two bytes at `end` are the low half of the CRC-32 of the
// header bytes before them.
bool HeaderCrcMatches(const InputFile& file, std::uint64_t end) {
    if (end + 2 > file.Size()) return false;
    const std::string head = ReadBlock(file, 0, static_cast<std::size_t>(end));
    const std::string stored = ReadBlock(file, end, 2);
    FieldReader r(stored);
    const std::uint16_t value = r.U16();
    if (head.size() != end || r.Short()) return false;
    Crc32 crc;
    crc.Update(BytesOf(head), head.size());
    return (crc.Value() & 0xFFFF) == value;
}

// The gzip fields after the signature in `h`, and the optional fields and
// the trailer from the file. The 2 bytes flagged by FLG bit 1 (a header CRC,
// or the part number of early multi-part files) are passed over either way.
void ReadGzipFields(const InputFile& file, FieldReader& h, GzipMember& m) {
    m.method = h.U8();
    m.flags = h.U8();
    m.unixTime = h.U32();
    m.encrypted = (m.flags & kFlagEncrypted) != 0;
    std::uint64_t p = kGzipHeaderSize;
    if (m.flags & kFlagExtra) {
        const std::string len = ReadBlock(file, p, 2);
        FieldReader r(len);
        p += 2 + r.U16();
        m.extraCut = r.Short();
    }
    if (m.flags & kFlagName) p = SkipText(file, p, &m.storedName);
    if (m.flags & kFlagComment) p = SkipText(file, p, nullptr);
    if (m.flags & kFlagHeaderCrc) {
        m.multipart = !HeaderCrcMatches(file, p);
        p += 2;
    }
    m.dataStart = p;
    const std::uint64_t size = file.Size();
    m.packedSize = size >= p + 8 ? size - p - 8 : 0;
    if (size >= 8) {
        const std::string trailer = ReadBlock(file, size - 8, 8);
        FieldReader t(trailer);
        const std::uint32_t crc = t.U32();
        const std::uint32_t unpacked = t.U32();
        if (!t.Short()) {
            m.crc = crc;
            m.unpackedSize = unpacked;
        }
    }
}

}  // namespace

HeaderResult ReadGzipMember(const InputFile& file, std::string_view head, GzipMember& m) {
    m = {};
    if (head.size() < 2) return HeaderResult::Bad;
    FieldReader h(head);
    if (h.U8() != 0x1F) return HeaderResult::Bad;
    switch (h.U8()) {
        case 0x8B:
        case 0x9E:
            m.gzip = true;
            ReadGzipFields(file, h, m);
            return HeaderResult::Ok;
        case 0x9D:
            m.method = 1;
            break;
        case 0x1E:
            m.method = 2;
            break;
        case 0xA0:
            m.method = 3;
            break;
        default:
            return HeaderResult::Bad;
    }
    // compress, pack and SCO compress: only recognised, never decoded.
    m.dataStart = 3;
    m.packedSize = file.Size() > 2 ? file.Size() - 2 : 0;
    return HeaderResult::Ok;
}

std::string GzipDerivedName(const std::string& archivePath) {
    std::string name = HostFileNamePart(archivePath);
    const auto dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    return Utf8ToAnsi(name);
}

}  // namespace lumora::archive
