#include "archive/formats/arj/arj_header.h"

#include <algorithm>
#include <optional>

#include "archive/core/crc.h"
#include "archive/core/dos_date.h"
#include "archive/core/error_codes.h"

namespace lumora::archive {

namespace {

constexpr std::uint16_t kSignature = 0xEA60;
constexpr std::uint64_t kSearchLimit = 25000;
constexpr std::size_t kMaxBasicSize = 2600;
constexpr std::size_t kFixedSize = 30;  // fields read at fixed offsets
constexpr std::size_t kMaxBlock = 4 + kMaxBasicSize + 4;
constexpr int kMaxExtendedHeaders = 1024;

bool PlausibleSize(std::size_t n) {
    return n >= kFixedSize && n <= kMaxBasicSize;
}

std::uint32_t Crc32Of(const std::uint8_t* bytes, std::size_t n) {
    Crc32 crc;
    crc.Update(bytes, n);
    return crc.Value();
}

// Whether a header block with a plausible size and a matching CRC starts at
// `at` in `bytes`; nullopt when its bytes are cut short.
std::optional<bool> ValidHeaderAt(const std::string& bytes, std::size_t at) {
    FieldReader r(bytes);
    r.Seek(at);
    if (r.U16() != kSignature || r.Short()) return false;
    const std::size_t n = r.U16();
    if (r.Short()) return std::nullopt;
    if (!PlausibleSize(n)) return false;
    r.Skip(n);
    const std::uint32_t stored = r.U32();
    if (r.Short()) return std::nullopt;
    return Crc32Of(BytesOf(bytes) + at + 4, n) == stored;
}

// The first valid header among the candidates [from, to) of `bytes`, read
// at `start`: Ok with `found`, Bad with `error` on cut bytes, nullopt when
// none of them is one.
std::optional<HeaderResult> ScanForArjHeader(const std::string& bytes, std::size_t from,
                                             std::size_t to, std::uint64_t start,
                                             std::uint64_t& found, int& error) {
    for (std::size_t i = from; i < to; ++i) {
        const std::optional<bool> valid = ValidHeaderAt(bytes, i);
        if (!valid) {
            error = ecode::ReadError;
            return HeaderResult::Bad;
        }
        if (*valid) {
            found = start + i;
            return HeaderResult::Ok;
        }
    }
    return std::nullopt;
}

// A text up to its zero byte (skipped), or up to the end when it has none.
std::string HeaderText(FieldReader& r) {
    const std::uint8_t* from = r.Data() + r.Pos();
    const std::size_t room = r.Remaining();
    const auto length = static_cast<std::size_t>(std::find(from, from + room, 0) - from);
    std::string text = r.Text(length);
    if (length < room) r.Skip(1);
    return text;
}

// The fields of the basic header `r` (its size checked to be at least the
// fixed part); false when the name position lies beyond it.
bool ParseBasicHeader(FieldReader r, ArjHeader& h) {
    const std::uint8_t fixedSize = r.U8();
    h.version = r.U8();
    h.minVersion = r.U8();
    const std::uint8_t host = r.U8();
    h.flags = r.U8();
    h.method = r.U8();
    h.fileType = r.U8();
    r.Skip(1);
    const std::uint32_t stamp = r.U32();
    // Archivers on Unix store a Unix time where the others store a DOS date.
    h.dosDateTime = host == kArjHostUnix ? UnixToDosDate(static_cast<std::time_t>(stamp)) : stamp;
    h.packedSize = r.U32();
    h.originalSize = r.U32();
    h.crc = r.U32();
    r.Skip(2);  // file spec position
    h.fileMode = r.U16();
    r.Seek(fixedSize);
    h.name = HeaderText(r);
    h.comment = HeaderText(r);
    return !r.Short();
}

// The position after the extended headers from `pos`: each a size, its data
// and a CRC that is not checked, up to a size of 0. Nullopt when one is cut
// short, reaches past the end of the file, or there are too many.
std::optional<std::uint64_t> SkipExtendedHeaders(const InputFile& file, std::uint64_t pos) {
    for (int count = 0; count < kMaxExtendedHeaders; ++count) {
        const std::string bytes = ReadBlock(file, pos, 2);
        FieldReader r(bytes);
        const std::uint16_t n = r.U16();
        if (r.Short()) return std::nullopt;
        pos += 2;
        if (n == 0) return pos;
        pos += std::uint64_t{n} + 4;
        if (pos > file.Size()) return std::nullopt;
    }
    return std::nullopt;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

bool IsLaterArjVolume(const std::string& path) {
    const auto dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return false;
    const std::string ext = path.substr(dot + 1);
    if (ext.size() != 3 || !IsDigit(ext[1]) || !IsDigit(ext[2])) return false;
    if (ext[0] == 'A' || ext[0] == 'a') return ext != "A00" && ext != "a00";
    return IsDigit(ext[0]) && ext[0] != '0';
}

HeaderResult FindArjHeader(const InputFile& file, std::uint64_t start, bool inExecutable,
                           std::uint64_t& found, int& error) {
    error = ecode::BadArchive;
    if (file.Size() < 2) return HeaderResult::Bad;
    std::uint64_t last = file.Size() - 2;
    if (last > kSearchLimit)
        last = std::min(last, inExecutable ? start + kSearchLimit : kSearchLimit);
    if (start >= last) return HeaderResult::Bad;
    // Every candidate's whole block: what is missing lies past the end. The
    // header mostly comes first, so the candidates of one block are tried
    // before the whole span is read.
    const auto span = static_cast<std::size_t>(last - start);
    const std::size_t firstSpan = std::min(span, InputFile::kBlockSize - kMaxBlock);
    const std::string head = ReadBlock(file, start, firstSpan + kMaxBlock);
    if (const auto r = ScanForArjHeader(head, 0, firstSpan, start, found, error)) return *r;
    if (firstSpan == span) return HeaderResult::Bad;
    const std::string bytes = ReadBlock(file, start, span + kMaxBlock);
    return ScanForArjHeader(bytes, firstSpan, span, start, found, error)
        .value_or(HeaderResult::Bad);
}

HeaderResult ReadArjHeader(const InputFile& file, std::uint64_t pos, bool first, ArjHeader& header,
                           int& error) {
    const auto bad = [&error](int code) {
        error = code;
        return HeaderResult::Bad;
    };
    const std::string id = ReadBlock(file, pos, 4);
    FieldReader r(id);
    if (r.U16() != kSignature || r.Short())
        return bad(first ? ecode::BadArchive : ecode::BadFileHeader);
    const std::size_t n = r.U16();
    if (r.Short()) return bad(ecode::BadFileHeader);
    if (n == 0) return HeaderResult::End;
    if (!PlausibleSize(n)) return bad(ecode::BadFileHeader);
    const std::string block = ReadBlock(file, pos + 4, n + 4);
    FieldReader b(block);
    b.Skip(n);
    const std::uint32_t stored = b.U32();
    if (b.Short()) return bad(ecode::BadFileHeader);
    if (Crc32Of(BytesOf(block), n) != stored) return bad(ecode::HeaderCrcError);
    ArjHeader h;
    if (!ParseBasicHeader(FieldReader(BytesOf(block), n), h)) return bad(ecode::BadFileHeader);
    const std::optional<std::uint64_t> data = SkipExtendedHeaders(file, pos + 4 + n + 4);
    if (!data) return bad(ecode::BadFileHeader);
    h.dataOffset = *data;
    header = std::move(h);
    return HeaderResult::Ok;
}

}  // namespace lumora::archive
