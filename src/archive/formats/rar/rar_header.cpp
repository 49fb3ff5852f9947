#include "archive/formats/rar/rar_header.h"

#include <cstring>

namespace lumora::archive {

namespace {

constexpr std::uint8_t kEndBlock = 0x7B;
constexpr std::uint16_t kEncryptedHeaders = 0x0080;  // main header flag
constexpr std::size_t kRar5MaxHeader = 2 * 1024 * 1024;
constexpr std::uint64_t kRar5FileHeader = 2;

// The extra area closes a RAR 5 header: an encryption record (type 1) marks
// encrypted data, a time record (type 3) may hold the modification time.
bool ParseRar5Extra(std::string_view area, Rar5File& f) {
    Rar5Fields e(area);
    while (!e.Bad() && e.Offset() < e.Size()) {
        const std::uint64_t size = e.Vint();
        const std::size_t start = e.Offset();
        const std::uint64_t type = e.Vint();
        if (type == 1) f.encrypted = true;
        if (type == 2) f.hashed = true;
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

}  // namespace

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
    t.name = r.Text(b.nameSize);
    if (r.Short()) return HeaderResult::Bad;
    // Unicode names hold the plain name, a zero byte, then the encoded form.
    t.name.resize(std::strlen(t.name.c_str()));
    return HeaderResult::Ok;
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
