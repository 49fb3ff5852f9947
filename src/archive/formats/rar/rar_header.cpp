#include "archive/formats/rar/rar_header.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/text.h"

namespace lumora::archive {

namespace {

constexpr std::uint8_t kEndBlock = 0x7B;
constexpr std::uint16_t kEncryptedHeaders = 0x0080;  // main header flag
constexpr std::size_t kRar5MaxHeader = 2 * 1024 * 1024;
constexpr std::uint64_t kRar5FileHeader = 2;

// The extra area closes a RAR 5 header: an encryption record (type 1) marks
// encrypted data, a hash record (type 2) may hold the data's BLAKE2sp digest
// (other hash types are passed over), a time record (type 3) may hold the
// modification time.
bool ParseRar5Extra(std::string_view area, Rar5File& f) {
    Rar5Fields e(area);
    while (!e.Bad() && e.Offset() < e.Size()) {
        const std::uint64_t size = e.Vint();
        const std::size_t start = e.Offset();
        const std::uint64_t type = e.Vint();
        if (type == 1) f.encrypted = true;
        if (type == 2 && e.Vint() == 0) {  // a hash record of type BLAKE2sp
            const std::string digest = e.Text(std::tuple_size_v<Blake2Digest>);
            if (!e.Bad()) {
                f.blake2sp.emplace();
                std::copy(digest.begin(), digest.end(), f.blake2sp->begin());
            }
        }
        if (type == 5) f.link = true;
        if (type == 3) {
            const std::uint64_t flags = e.Vint();
            if (flags & 2) {
                if (flags & 1) {
                    f.modified = e.U32();
                } else {  // 100 ns steps since 1601-01-01
                    const std::uint64_t low = e.U32();
                    const std::uint64_t ticks = (std::uint64_t{e.U32()} << 32) | low;
                    constexpr std::int64_t kEpochDiff = 11644473600;
                    f.modified = static_cast<std::int64_t>(ticks / 10000000) - kEpochDiff;
                }
            }
        }
        e.Skip(size - (e.Offset() - start));  // a size too small fails here
    }
    return !e.Bad();
}

HeaderResult ParseRar5File(Rar5Fields& f, std::string_view body, std::uint64_t extraSize,
                           Rar5File& file) {
    if (extraSize > body.size()) return HeaderResult::Bad;
    file.flags = f.Vint();
    file.unpacked = f.Vint();
    file.attributes = f.Vint();
    if (file.flags & 2) file.unixTime = f.U32();
    if (file.flags & 4) file.crc = f.U32();
    file.compression = f.Vint();
    file.hostOs = f.Vint();
    file.name = f.Text(f.Vint());
    if (f.Bad() || f.Offset() > body.size() - extraSize) return HeaderResult::Bad;
    if (!ParseRar5Extra(body.substr(body.size() - extraSize), file)) return HeaderResult::Bad;
    return HeaderResult::Ok;
}

void AppendUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::string Utf16ToUtf8(const std::vector<std::uint16_t>& units) {
    std::string out;
    for (std::size_t i = 0; i < units.size(); ++i) {
        std::uint32_t c = units[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
        }
        AppendUtf8(out, c);
    }
    return out;
}

}  // namespace

std::string Rar4UnicodeName(std::string_view field) {
    const std::size_t zero = std::min(field.find('\0'), field.size());
    const std::string_view plain = field.substr(0, zero);
    FieldReader enc(field.substr(std::min(zero + 1, field.size())));
    const std::uint16_t high = static_cast<std::uint16_t>(enc.U8() << 8);
    std::vector<std::uint16_t> out;
    unsigned flags = 0;
    int flagBits = 0;
    // Every step takes at least one byte, and runs stop at the plain name's
    // end, so the name stays within both parts.
    while (enc.Remaining() > 0 && out.size() < plain.size() * 2 + enc.Size()) {
        if (flagBits == 0) {
            flags = enc.U8();
            flagBits = 8;
            if (enc.Remaining() == 0) break;
        }
        switch (flags >> 6) {
            case 0:
                out.push_back(enc.U8());
                break;
            case 1:
                out.push_back(static_cast<std::uint16_t>(high | enc.U8()));
                break;
            case 2:
                out.push_back(enc.U16());
                break;
            default: {
                const unsigned run = enc.U8();
                const unsigned fix = (run & 0x80) ? enc.U8() : 0;
                for (unsigned n = (run & 0x7F) + 2; n > 0 && out.size() < plain.size(); --n) {
                    const auto b = static_cast<std::uint8_t>(plain[out.size()]);
                    out.push_back((run & 0x80) ? static_cast<std::uint16_t>(
                                                     high | static_cast<std::uint8_t>(b + fix))
                                               : b);
                }
            }
        }
        if (enc.Short()) break;
        flags = (flags << 2) & 0xFF;
        flagBits -= 2;
    }
    if (enc.Short() && !out.empty()) out.pop_back();
    return Utf16ToUtf8(out);
}

HeaderResult ParseRar4MainHeader(FieldReader& r, Rar4MainHeader& h) {
    r.Skip(3);  // header CRC, type
    h.flags = r.U16();
    h.size = r.U16();
    h.encryptedHeaders = (h.flags & kEncryptedHeaders) != 0;
    if (r.Short() || h.size < kRar4MainHeaderSize) return HeaderResult::Bad;
    return HeaderResult::Ok;
}

HeaderResult ParseRar4Block(FieldReader& r, Rar4Block& b) {
    r.Skip(2);  // header CRC
    b.type = r.U8();
    b.flags = r.U16();
    b.headSize = r.U16();
    b.dataSize = r.U32();
    b.unpacked = r.U32();
    b.hostOs = r.U8();
    b.crc = r.U32();
    b.dosTime = r.U32();
    b.version = r.U8();
    b.method = r.U8();
    b.nameSize = r.U16();
    b.attributes = r.U32();
    if (r.Short()) return HeaderResult::Bad;
    if (b.type == kEndBlock || b.headSize < 7 || (b.IsFile() && b.headSize < kRar4BlockSize))
        return HeaderResult::End;
    return HeaderResult::Ok;
}

std::size_t Rar4TailSize(const Rar4Block& b) {
    if (b.Listed()) return b.headSize - kRar4BlockSize;
    return b.IsFile() && b.HasPackedHigh() ? 4 : 0;
}

HeaderResult ParseRar4Tail(FieldReader& r, const Rar4Block& b, Rar4FileTail& t) {
    if (b.HasPackedHigh()) t.packedHigh = r.U32();
    if (r.Short()) return HeaderResult::Bad;
    if (!b.Listed()) return HeaderResult::Ok;
    const bool large = (b.flags & kRar4LargeSizes) != 0;
    const std::size_t nameAt = large ? 40 : 32;
    if (nameAt + b.nameSize > b.headSize) return HeaderResult::Bad;
    if (large) {
        r.Seek(4);
        t.unpackedHigh = r.U32();
    }
    r.Seek(nameAt - kRar4BlockSize);
    const std::string field = r.Text(b.nameSize);
    if (r.Short()) return HeaderResult::Bad;
    // Unicode names hold the plain name, a zero byte, then the encoded form;
    // without the zero byte the whole field is UTF-8.
    t.name = field.substr(0, std::strlen(field.c_str()));
    if (b.flags & kRar4UnicodeName)
        t.unicode = t.name.size() < field.size() ? Rar4UnicodeName(field) : field;
    return HeaderResult::Ok;
}

std::string Rar4FileTail::AnsiName() const {
    return unicode.empty() ? name : RarAnsiName(unicode, name);
}

std::string RarAnsiName(std::string_view unicode, std::string_view plain) {
    std::string ansi = Utf8ToAnsi(unicode);
    if (AnsiToUtf8(ansi) == unicode) return ansi;
    return std::string(plain);
}

std::uint64_t Rar5Fields::Vint() {
    std::uint64_t v = 0;
    for (int shift = 0; shift < 64; shift += 7) {
        const std::uint8_t byte = r_.U8();
        if (r_.Short()) return 0;
        v |= std::uint64_t{byte & 0x7Fu} << shift;
        if (!(byte & 0x80)) return v;
    }
    bad_ = true;
    return 0;
}

std::uint32_t Rar5Fields::U32() {
    return r_.U32();
}

std::string Rar5Fields::Text(std::uint64_t n) {
    return Need(n) ? r_.Text(static_cast<std::size_t>(n)) : std::string();
}

void Rar5Fields::Skip(std::uint64_t n) {
    if (Need(n)) r_.Skip(static_cast<std::size_t>(n));
}

bool Rar5Fields::Need(std::uint64_t n) {
    if (n > r_.Remaining()) bad_ = true;
    return !bad_;
}

HeaderResult ParseRar5Size(std::string_view window, std::uint64_t& bodySize,
                           std::size_t& bodyOffset) {
    Rar5Fields f(window);
    f.Skip(4);  // header CRC
    bodySize = f.Vint();
    bodyOffset = f.Offset();
    if (f.Bad() || bodySize == 0 || bodySize > kRar5MaxHeader) return HeaderResult::Bad;
    return HeaderResult::Ok;
}

HeaderResult ParseRar5Header(std::string_view body, Rar5Header& h) {
    Rar5Fields f(body);
    h.type = f.Vint();
    h.flags = f.Vint();
    const std::uint64_t extraSize = (h.flags & 1) ? f.Vint() : 0;
    h.dataSize = (h.flags & 2) ? f.Vint() : 0;
    // The archive flags of the main header, the end header's flags (read
    // where the header holds them).
    if ((h.type == 1 || h.type == 5) && f.Offset() < f.Size()) h.typeFlags = f.Vint();
    if (f.Bad()) return HeaderResult::Bad;
    if (h.type == 4 || h.type == 5) return HeaderResult::End;  // encrypted headers / end
    if (h.type == kRar5FileHeader) return ParseRar5File(f, body, extraSize, h.file);
    return HeaderResult::Ok;
}

}  // namespace lumora::archive
