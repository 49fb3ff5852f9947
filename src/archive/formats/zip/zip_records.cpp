#include "archive/formats/zip/zip_records.h"

#include <algorithm>
#include <initializer_list>
#include <string_view>

#include "archive/core/crc.h"
#include "platform/text.h"

namespace lumora::archive {

namespace {

constexpr std::uint32_t kZip64LocatorSig = 0x07064B50u;
constexpr std::uint32_t kZip64EndSig = 0x06064B50u;
constexpr std::uint16_t kZip64ExtraId = 0x0001;
constexpr std::uint16_t kUnicodePathId = 0x7075;
constexpr std::size_t kZip64LocatorSize = 20;
constexpr std::size_t kZip64EndSize = 56;
constexpr std::size_t kEndSearch = 32768;

// Fills the 64-bit directory size and offset from a Zip64 end record when
// the 32-bit record says they did not fit.
void ApplyZip64End(const InputFile& file, ZipEndRecord& end, bool fieldsFull) {
    if (!fieldsFull || end.position < kZip64LocatorSize) return;
    const std::string loc = ReadBlock(file, end.position - kZip64LocatorSize, kZip64LocatorSize);
    FieldReader l(loc);
    if (l.U32() != kZip64LocatorSig) return;
    l.Skip(4);  // disk of the Zip64 end record
    const std::uint64_t at = l.U64();
    if (l.Short()) return;
    const std::string rec = ReadBlock(file, at, kZip64EndSize);
    FieldReader z(rec);
    if (z.U32() != kZip64EndSig) return;
    z.Seek(40);
    const std::uint64_t dirSize = z.U64();
    const std::uint64_t dirOffset = z.U64();
    if (z.Short()) return;
    end.dirSize = dirSize;
    end.dirOffset = dirOffset;
    end.dirEndsAt = dirSize <= at ? at - dirSize : 0;
}

// The 22-byte end record at `position` held in `r`.
ZipEndRecord ParseZipEnd(const InputFile& file, std::uint64_t position, FieldReader r) {
    ZipEndRecord end;
    end.position = position;
    r.Skip(12);  // signature, disk numbers, entry counts
    const std::uint32_t size32 = r.U32();
    const std::uint32_t offset32 = r.U32();
    end.commentLength = r.U16();
    end.dirSize = size32;
    end.dirOffset = offset32;
    end.dirEndsAt = end.dirSize <= position ? position - end.dirSize : 0;
    ApplyZip64End(file, end, size32 == 0xFFFFFFFFu || offset32 == 0xFFFFFFFFu);
    return end;
}

// True when a central record signature starts at `at`.
bool CentralAt(const InputFile& file, std::uint64_t at) {
    const std::string sig = ReadBlock(file, at, 4);
    FieldReader r(sig);
    return r.U32() == kZipCentralSig && !r.Short();
}

// The data of the first extra field with `id`, cut to the bytes present.
std::optional<std::string> ExtraField(const std::string& extra, std::uint16_t id) {
    FieldReader f(extra);
    while (f.Remaining() >= 4) {
        const std::uint16_t fieldId = f.U16();
        const std::size_t len = std::min<std::size_t>(f.U16(), f.Remaining());
        if (fieldId == id) return extra.substr(f.Pos(), len);
        f.Skip(len);
    }
    return std::nullopt;
}

std::uint64_t SaturatingSum(std::uint64_t a, std::uint64_t b) {
    return a + b < a ? ~std::uint64_t{0} : a + b;
}

}  // namespace

namespace {

// The end record searched for from the end of `tail`, read at `base`: the
// parsed record when a signature is found (nullopt inside when it does not
// parse), nullopt when there is none.
std::optional<std::optional<ZipEndRecord>> SearchZipEnd(const InputFile& file, std::uint64_t base,
                                                        const std::string& tail) {
    for (std::size_t i = tail.size() >= kZipEndSize ? tail.size() - kZipEndSize + 1 : 0; i-- > 0;) {
        FieldReader r(BytesOf(tail) + i, tail.size() - i);
        if (r.U32() != kZipEndSig) continue;
        return ParseZipEnd(file, base + i, FieldReader(BytesOf(tail) + i, tail.size() - i));
    }
    return std::nullopt;
}

}  // namespace

// The window leaves out the file's first byte (an end record there is not
// searched for). Its last block is searched first: most archives end with
// their end record or a short comment, and both searches meet the
// positions nearest the end first, so they find the same record.
std::optional<ZipEndRecord> FindZipEndRecord(const InputFile& file) {
    const std::uint64_t size = file.Size();
    if (size == 0) return std::nullopt;
    const std::size_t window =
        size > kEndSearch - 1 ? kEndSearch : static_cast<std::size_t>(size - 1);
    if (window > InputFile::kBlockSize) {
        const std::uint64_t base = size - InputFile::kBlockSize;
        if (auto found = SearchZipEnd(file, base, ReadBlock(file, base, InputFile::kBlockSize)))
            return *found;
    }
    const std::uint64_t base = size - window;
    return SearchZipEnd(file, base, ReadBlock(file, base, window)).value_or(std::nullopt);
}

std::uint64_t ZipSfxBase(std::int64_t sfxOffset, std::int64_t archiveStart) {
    return sfxOffset > 0 && archiveStart == sfxOffset + 1 ? static_cast<std::uint64_t>(sfxOffset)
                                                          : 0;
}

HeaderResult LocateZipDirectory(const InputFile& file, std::uint64_t sfxBase, ZipDirectory& dir) {
    dir = {};
    dir.end = FindZipEndRecord(file);
    if (!dir.end) return HeaderResult::Bad;
    const ZipEndRecord& end = *dir.end;
    dir.base = sfxBase;
    dir.start = SaturatingSum(end.dirOffset, sfxBase);
    if (CentralAt(file, dir.start)) return HeaderResult::Ok;
    if (end.dirEndsAt < end.dirOffset || end.dirEndsAt == dir.start ||
        !CentralAt(file, end.dirEndsAt)) {
        return HeaderResult::Bad;
    }
    dir.base = end.dirEndsAt - end.dirOffset;
    dir.start = end.dirEndsAt;
    return HeaderResult::Ok;
}

HeaderResult ParseZipCentral(FieldReader& r, ZipCentralRecord& c) {
    if (r.U32() != kZipCentralSig || r.Short()) return HeaderResult::End;
    c.versionMadeBy = r.U16();
    c.versionNeeded = r.U16();
    c.flags = r.U16();
    c.method = r.U16();
    c.time = r.U16();
    c.date = r.U16();
    c.crc = r.U32();
    c.packedSize = r.U32();
    c.unpackedSize = r.U32();
    c.nameLength = r.U16();
    c.extraLength = r.U16();
    c.commentLength = r.U16();
    r.Skip(2);  // disk number
    c.internalAttrs = r.U16();
    c.externalAttrs = r.U32();
    c.localOffset = r.U32();
    return r.Short() ? HeaderResult::Bad : HeaderResult::Ok;
}

void ApplyZip64Extra(ZipCentralRecord& r, const std::string& extra) {
    const std::optional<std::string> zip64 = ExtraField(extra, kZip64ExtraId);
    if (!zip64) return;
    // The record's values that did not fit, in this order.
    FieldReader z(*zip64);
    for (std::uint64_t* field : {&r.unpackedSize, &r.packedSize, &r.localOffset}) {
        if (*field != 0xFFFFFFFFu) continue;
        const std::uint64_t value = z.U64();
        if (z.Short()) return;
        *field = value;
    }
}

std::string ZipMemberName(const std::string& stored, std::uint16_t flags,
                          const std::string& extra) {
    if (flags & kZipNameIsUtf8) return Utf8ToAnsi(stored);
    const std::optional<std::string> path = ExtraField(extra, kUnicodePathId);
    if (!path) return stored;
    FieldReader f(*path);
    const std::uint8_t version = f.U8();
    const std::uint32_t nameCrc = f.U32();
    if (f.Short() || version != 1) return stored;
    Crc32 crc;
    crc.Update(BytesOf(stored), stored.size());
    // A field whose CRC does not match was left behind by a tool that
    // renamed the member without knowing the field.
    if (crc.Value() != nameCrc || f.Remaining() == 0) return stored;
    return Utf8ToAnsi(std::string_view(*path).substr(f.Pos()));
}

std::string ZipMemberComment(const std::string& stored, std::uint16_t flags) {
    return (flags & kZipNameIsUtf8) ? Utf8ToAnsi(stored) : stored;
}

HeaderResult ReadZipLocal(const InputFile& file, std::uint64_t at, ZipLocalHeader& h) {
    const std::string bytes = ReadBlock(file, at, kZipLocalSize);
    FieldReader r(bytes);
    const std::uint32_t sig = r.U32();
    if (sig != kZipLocalSig && sig != kZipLocalSig250) return HeaderResult::Bad;
    r.Skip(2);  // version needed
    h.flags = r.U16();
    r.Skip(2);  // method
    h.dosDateTime = r.U32();
    h.crc = r.U32();
    r.Skip(8);  // sizes
    h.nameLength = r.U16();
    h.extraLength = r.U16();
    return r.Short() ? HeaderResult::Bad : HeaderResult::Ok;
}

}  // namespace lumora::archive
