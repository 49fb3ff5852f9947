#include "archive/formats/gzip/gzip_header.h"

#include <algorithm>

#include "archive/core/crc.h"
#include "archive/core/le_bytes.h"

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
// and, when asked, the text itself (cut to kMaxName bytes).
std::uint64_t SkipText(const InputFile& file, std::uint64_t at, std::string* text) {
    std::string buf(kMaxText, '\0');
    buf.resize(file.ReadAt(at, buf.data(), buf.size()));
    const auto nul = buf.find('\0');
    const std::size_t length = nul == std::string::npos ? buf.size() : nul;
    if (text != nullptr) *text = buf.substr(0, std::min(length, kMaxName));
    return at + (nul == std::string::npos ? buf.size() : nul + 1);
}

// True when the two bytes at `end` are the low half of the CRC-32 of the
// header bytes before them.
bool HeaderCrcMatches(const InputFile& file, std::uint64_t end) {
    if (end + 2 > file.Size()) return false;
    std::string head(static_cast<std::size_t>(end), '\0');
    std::uint8_t stored[2];
    if (file.ReadAt(0, head.data(), head.size()) != head.size() ||
        file.ReadAt(end, stored, 2) != 2) {
        return false;
    }
    Crc32 crc;
    crc.Update(reinterpret_cast<const std::uint8_t*>(head.data()), head.size());
    return (crc.Value() & 0xFFFF) == Le16(stored);
}

void ReadGzipFields(const InputFile& file, const std::uint8_t* h, GzipMember& m) {
    m.method = h[2];
    m.flags = h[3];
    m.unixTime = Le32(h + 4);
    m.encrypted = (m.flags & kFlagEncrypted) != 0;
    std::uint64_t p = kGzipHeaderSize;
    if (m.flags & kFlagExtra) {
        std::uint8_t len[2] = {0, 0};
        file.ReadAt(p, len, 2);
        p += 2 + Le16(len);
    }
    if (m.flags & kFlagName) p = SkipText(file, p, &m.storedName);
    if (m.flags & kFlagComment) p = SkipText(file, p, nullptr);
    if (m.flags & kFlagHeaderCrc) {
        if (HeaderCrcMatches(file, p)) {
            p += 2;
        } else {
            m.multipart = true;
        }
    }
    m.dataStart = p;
    const std::uint64_t size = file.Size();
    m.packedSize = size >= p + 8 ? size - p - 8 : 0;
    std::uint8_t trailer[8];
    if (size >= 8 && file.ReadAt(size - 8, trailer, 8) == 8) {
        m.crc = Le32(trailer);
        m.unpackedSize = Le32(trailer + 4);
    }
}

}  // namespace

std::optional<GzipMember> ReadGzipMember(const InputFile& file, const std::uint8_t* h) {
    if (h[0] != 0x1F) return std::nullopt;
    GzipMember m;
    switch (h[1]) {
        case 0x8B:
        case 0x9E:
            m.gzip = true;
            ReadGzipFields(file, h, m);
            return m;
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
            return std::nullopt;
    }
    // compress, pack and SCO compress: only recognised, never decoded.
    m.dataStart = 3;
    m.packedSize = file.Size() > 2 ? file.Size() - 2 : 0;
    return m;
}

}  // namespace lumora::archive
