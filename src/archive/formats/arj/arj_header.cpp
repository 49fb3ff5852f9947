#include "archive/formats/arj/arj_header.h"

#include <algorithm>
#include <array>
#include <vector>

#include "archive/core/crc.h"
#include "archive/core/error_codes.h"
#include "archive/core/le_bytes.h"

namespace lumora::archive {

namespace {

constexpr std::uint64_t kSearchLimit = 25000;
constexpr std::size_t kMaxBasicSize = 2600;
constexpr std::size_t kFixedSize = 30;  // fields read at fixed offsets
constexpr int kMaxExtendedHeaders = 1024;

std::uint32_t Crc32Of(const std::uint8_t* p, std::size_t n) {
    Crc32 crc;
    crc.Update(p, n);
    return crc.Value();
}

// The basic header size at `pos` + 2 and, when it is plausible, whether the
// stored CRC matches its bytes.
bool ValidHeaderAt(const InputFile& file, std::uint64_t pos) {
    std::array<std::uint8_t, 2> size;
    if (file.ReadAt(pos + 2, size.data(), size.size()) != size.size())
        throw ArjError{ecode::ReadError};
    const std::size_t n = Le16(size.data());
    if (n < kFixedSize || n > kMaxBasicSize) return false;
    std::vector<std::uint8_t> body(n + 4);
    if (file.ReadAt(pos + 4, body.data(), body.size()) != body.size())
        throw ArjError{ecode::ReadError};
    return Crc32Of(body.data(), n) == Le32(body.data() + n);
}

// Steps over the extended headers that follow the basic header at `pos`.
std::uint64_t SkipExtendedHeaders(const InputFile& file, std::uint64_t pos) {
    for (int count = 0;; ++count) {
        std::array<std::uint8_t, 2> size;
        if (count == kMaxExtendedHeaders ||
            file.ReadAt(pos, size.data(), size.size()) != size.size()) {
            throw ArjError{ecode::BadFileHeader};
        }
        pos += 2;
        const std::uint16_t n = Le16(size.data());
        if (n == 0) return pos;
        pos += std::uint64_t{n} + 4;  // data and its CRC, not checked
        if (pos > file.Size()) throw ArjError{ecode::BadFileHeader};
    }
}

ArjHeader ParseBasicHeader(const std::uint8_t* b, std::size_t n) {
    ArjHeader h;
    h.version = b[1];
    h.minVersion = b[2];
    h.flags = b[4];
    h.method = b[5];
    h.fileType = b[6];
    h.dosDateTime = Le32(b + 8);
    h.packedSize = Le32(b + 12);
    h.originalSize = Le32(b + 16);
    h.crc = Le32(b + 20);
    const std::size_t nameStart = b[0];
    if (nameStart > n) throw ArjError{ecode::BadFileHeader};
    std::size_t nameEnd = nameStart;
    while (nameEnd < n && b[nameEnd] != 0) ++nameEnd;
    h.name.assign(reinterpret_cast<const char*>(b + nameStart), nameEnd - nameStart);
    return h;
}

}  // namespace

std::optional<std::uint64_t> FindArjHeader(const InputFile& file, std::uint64_t start,
                                           bool inExecutable) {
    if (file.Size() < 2) return std::nullopt;
    std::uint64_t last = file.Size() - 2;
    if (last > kSearchLimit)
        last = std::min(last, inExecutable ? start + kSearchLimit : kSearchLimit);
    if (start >= last) return std::nullopt;
    // The bytes of every signature tried: positions start .. last - 1 and
    // the byte after each.
    std::vector<std::uint8_t> window(static_cast<std::size_t>(last - start + 1));
    window.resize(file.ReadAt(start, window.data(), window.size()));
    for (std::size_t i = 0; i + 1 < window.size(); ++i) {
        if (window[i] == 0x60 && window[i + 1] == 0xEA && ValidHeaderAt(file, start + i))
            return start + i;
    }
    return std::nullopt;
}

std::optional<ArjHeader> ReadArjHeader(const InputFile& file, std::uint64_t pos, bool first) {
    std::array<std::uint8_t, 4> id;
    const std::size_t got = file.ReadAt(pos, id.data(), id.size());
    if (got < 2 || Le16(id.data()) != 0xEA60)
        throw ArjError{first ? ecode::BadArchive : ecode::BadFileHeader};
    if (got < 4) throw ArjError{ecode::BadFileHeader};
    const std::size_t n = Le16(id.data() + 2);
    if (n == 0) return std::nullopt;
    if (n < kFixedSize || n > kMaxBasicSize) throw ArjError{ecode::BadFileHeader};
    std::vector<std::uint8_t> body(n + 4);
    if (file.ReadAt(pos + 4, body.data(), body.size()) != body.size())
        throw ArjError{ecode::BadFileHeader};
    if (Crc32Of(body.data(), n) != Le32(body.data() + n)) throw ArjError{ecode::HeaderCrcError};
    ArjHeader h = ParseBasicHeader(body.data(), n);
    h.dataOffset = SkipExtendedHeaders(file, pos + 4 + n + 4);
    if (!first && h.Next(false) > file.Size()) throw ArjError{ecode::BadFileHeader};
    return h;
}

}  // namespace lumora::archive
