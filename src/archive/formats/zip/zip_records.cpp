#include "archive/formats/zip/zip_records.h"

#include <algorithm>
#include <initializer_list>
#include <vector>

#include "archive/core/le_bytes.h"

namespace lumora::archive {

namespace {

constexpr std::uint32_t kZip64LocatorSig = 0x07064B50u;
constexpr std::uint32_t kZip64EndSig = 0x06064B50u;
constexpr std::uint16_t kZip64ExtraId = 0x0001;

// Fills the 64-bit directory size and offset from a Zip64 end record when
// the 32-bit record says they did not fit.
void ApplyZip64End(const InputFile& file, ZipEndRecord& end, const std::uint8_t* rec) {
    if (Le32(rec + 16) != 0xFFFFFFFFu && Le32(rec + 12) != 0xFFFFFFFFu) return;
    std::uint8_t loc[20], z64[56];
    if (end.position < 20 || file.ReadAt(end.position - 20, loc, 20) != 20 ||
        Le32(loc) != kZip64LocatorSig) {
        return;
    }
    const std::uint64_t at = Le64(loc + 8);
    if (file.ReadAt(at, z64, 56) != 56 || Le32(z64) != kZip64EndSig) return;
    end.dirSize = Le64(z64 + 40);
    end.dirOffset = Le64(z64 + 48);
    end.dirEndsAt = end.dirSize <= at ? at - end.dirSize : 0;
}

}  // namespace

std::optional<ZipEndRecord> FindZipEndRecord(const InputFile& file) {
    const std::uint64_t size = file.Size();
    if (size == 0) return std::nullopt;
    const std::size_t window = size > 32767 ? 32768 : static_cast<std::size_t>(size - 1);
    std::vector<std::uint8_t> buf(window);
    const std::uint64_t base = size - window;
    const std::size_t got = file.ReadAt(base, buf.data(), window);
    for (std::size_t i = got >= 22 ? got - 22 + 1 : 0; i-- > 0;) {
        if (Le32(&buf[i]) != kZipEndSig) continue;
        ZipEndRecord end;
        end.position = base + i;
        const std::uint8_t* rec = &buf[i];
        end.dirSize = Le32(rec + 12);
        end.dirOffset = Le32(rec + 16);
        end.dirEndsAt = end.dirSize <= end.position ? end.position - end.dirSize : 0;
        ApplyZip64End(file, end, rec);
        return end;
    }
    return std::nullopt;
}

ZipCentralRecord ParseZipCentral(const std::uint8_t* b) {
    ZipCentralRecord r;
    r.signature = Le32(b);
    r.flags = Le16(b + 8);
    r.method = Le16(b + 10);
    r.time = Le16(b + 12);
    r.date = Le16(b + 14);
    r.crc = Le32(b + 16);
    r.packedSize = Le32(b + 20);
    r.unpackedSize = Le32(b + 24);
    r.nameLength = Le16(b + 28);
    r.extraLength = Le16(b + 30);
    r.commentLength = Le16(b + 32);
    r.externalAttrs = Le32(b + 38);
    r.localOffset = Le32(b + 42);
    return r;
}

void ApplyZip64Extra(ZipCentralRecord& r, const std::string& extra) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(extra.data());
    std::size_t pos = 0;
    while (pos + 4 <= extra.size()) {
        const std::uint16_t id = Le16(p + pos);
        const std::size_t len = Le16(p + pos + 2);
        const std::size_t end = std::min(pos + 4 + len, extra.size());
        if (id == kZip64ExtraId) {
            std::size_t at = pos + 4;
            for (std::uint64_t* field : {&r.unpackedSize, &r.packedSize, &r.localOffset}) {
                if (*field != 0xFFFFFFFFu) continue;
                if (at + 8 > end) return;
                *field = Le64(p + at);
                at += 8;
            }
            return;
        }
        pos += 4 + len;
    }
}

ZipLocalHeader ParseZipLocal(const std::uint8_t* b) {
    ZipLocalHeader h;
    h.signature = Le32(b);
    h.flags = Le16(b + 6);
    h.dosDateTime = Le32(b + 10);
    h.crc = Le32(b + 14);
    h.nameLength = Le16(b + 26);
    h.extraLength = Le16(b + 28);
    return h;
}

}  // namespace lumora::archive
