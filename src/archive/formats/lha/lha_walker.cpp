// LHA/LZH: member headers of levels 0 and 1 (22 fixed bytes, the name, the
// CRC, level-1 extended headers counted in the packed size) and of levels 2
// and 3 (the whole header, extended headers included, sized up front).
#include "archive/formats/lha/lha_walker.h"

#include <optional>

#include "archive/core/dos_date.h"
#include "archive/core/error_codes.h"
#include "archive/core/le_bytes.h"
#include "archive/lister/lister_methods.h"
#include "archive/lister/lister_run.h"

namespace lumora::archive {

namespace {

constexpr std::size_t kWindow = 22;
constexpr std::uint32_t kMaxLevel3Header = 1 << 20;
constexpr int kMaxExtHeaders = 1024;

const std::uint8_t* Bytes(const std::string& s) {
    return reinterpret_cast<const std::uint8_t*>(s.data());
}

// What the extended headers say about the member.
struct LhaExtras {
    std::optional<std::string> name;
    std::string dir;
    std::optional<std::uint16_t> dosAttr;
    std::optional<std::uint32_t> unixTime;

    void Apply(std::uint8_t type, std::string_view data) {
        switch (type) {
            case 0x01:
                name = std::string(data);
                break;
            case 0x02:
                dir.clear();
                for (char c : data) dir += c == '\xFF' ? '\\' : c;
                if (!dir.empty() && dir.back() != '\\' && dir.back() != '/') dir += '\\';
                break;
            case 0x40:
                if (data.size() >= 2)
                    dosAttr = Le16(reinterpret_cast<const std::uint8_t*>(data.data()));
                break;
            case 0x54:
                if (data.size() >= 4)
                    unixTime = Le32(reinterpret_cast<const std::uint8_t*>(data.data()));
                break;
            default:
                break;
        }
    }
};

class LhaWalker final : public HeaderWalker {
public:
    void Prepare(ListerRun& run) override {
        const std::int64_t start = run.Lister().ArchiveStart();
        run.SetWindow(kWindow);
        run.SetPosition(start > 0 ? static_cast<std::uint64_t>(start - 1) : 0);
    }
    void Step(ListerRun& run, std::uint64_t at, const std::uint8_t* w) override;

private:
    // Levels 0 and 1; gives the header length.
    static std::uint64_t ReadOldHeader(ListerRun& run, std::uint64_t at, const std::uint8_t* w,
                                       std::string& name, std::uint16_t& crc, LhaExtras& ext);
    // Levels 2 and 3; gives the header length.
    static std::uint64_t ReadNewHeader(ListerRun& run, std::uint64_t at, const std::uint8_t* w,
                                       std::uint16_t& crc, LhaExtras& ext);
};

// Level-1 extended headers follow the base header in the file; their sizes
// count in the packed size, which bounds them.
void ReadLevel1Extras(ListerRun& run, std::uint64_t at, std::uint16_t size, std::uint64_t packed,
                      LhaExtras& ext) {
    std::uint64_t used = 0;
    for (int n = 0; size != 0; ++n) {
        used += size;
        if (n == kMaxExtHeaders || size < 3 || used > packed) run.Fail(ecode::BadFileHeader);
        const std::string h = run.ReadExact(at, size, ecode::BadFileHeader);
        ext.Apply(Bytes(h)[0], std::string_view(h).substr(1, size - 3));
        size = Le16(Bytes(h) + size - 2);
        at += h.size();
    }
}

// Level-2 and level-3 extended headers lie inside the header, from `from`;
// `width` is the width of their size fields (2 or 4), the first of which
// stands right before `from`.
void ReadInnerExtras(ListerRun& run, const std::string& hdr, std::size_t from, std::size_t width,
                     LhaExtras& ext) {
    auto sizeAt = [&](std::size_t p) -> std::uint64_t {
        return width == 2 ? Le16(Bytes(hdr) + p) : Le32(Bytes(hdr) + p);
    };
    std::uint64_t size = sizeAt(from - width);
    std::size_t p = from;
    for (int n = 0; size != 0; ++n) {
        if (n == kMaxExtHeaders || size < width + 1 || size > hdr.size() - p) {
            run.Fail(ecode::BadFileHeader);
        }
        const auto s = static_cast<std::size_t>(size);
        ext.Apply(Bytes(hdr)[p], std::string_view(hdr).substr(p + 1, s - width - 1));
        size = sizeAt(p + s - width);
        p += s;
    }
}

std::uint64_t LhaWalker::ReadOldHeader(ListerRun& run, std::uint64_t at, const std::uint8_t* w,
                                       std::string& name, std::uint16_t& crc, LhaExtras& ext) {
    const std::size_t total = std::size_t{w[0]} + 2;
    const std::size_t nameLength = w[21];
    const bool level1 = w[20] == 1;
    if (total < kWindow + nameLength + (level1 ? 5 : 2)) run.Fail(ecode::BadFileHeader);
    const std::string hdr = run.ReadExact(at, total, ecode::BadFileHeader);
    name = hdr.substr(kWindow, nameLength);
    crc = Le16(Bytes(hdr) + kWindow + nameLength);
    if (level1) {
        ReadLevel1Extras(run, at + total, Le16(Bytes(hdr) + kWindow + nameLength + 3), Le32(w + 7),
                         ext);
    }
    return total;
}

std::uint64_t LhaWalker::ReadNewHeader(ListerRun& run, std::uint64_t at, const std::uint8_t* w,
                                       std::uint16_t& crc, LhaExtras& ext) {
    std::uint64_t total = 0;
    std::size_t width = 2;
    if (w[20] == 2) {
        total = Le16(w);
        if (total < 26) run.Fail(ecode::BadFileHeader);
    } else {
        width = 4;
        const std::string head = run.ReadExact(at, 32, ecode::BadFileHeader);
        total = Le32(Bytes(head) + 24);
        if (Le16(w) != 4 || total < 32 || total > kMaxLevel3Header) run.Fail(ecode::BadFileHeader);
    }
    const std::string hdr =
        run.ReadExact(at, static_cast<std::size_t>(total), ecode::BadFileHeader);
    crc = Le16(Bytes(hdr) + 21);
    ReadInnerExtras(run, hdr, width == 2 ? 26 : 32, width, ext);
    return total;
}

void LhaWalker::Step(ListerRun& run, std::uint64_t at, const std::uint8_t* w) {
    const std::uint8_t level = w[20];
    if (w[0] == 0 && (level < 2 || w[1] == 0)) {  // a zero header size ends the archive
        run.EndWalk();
        return;
    }
    if (level > 3) run.Fail(ecode::BadFileHeader);
    std::string name;
    std::uint16_t crc = 0;
    LhaExtras ext;
    const std::uint64_t packed = Le32(w + 7);
    const std::uint64_t headerLength =
        level < 2 ? ReadOldHeader(run, at, w, name, crc, ext) : ReadNewHeader(run, at, w, crc, ext);
    TListerMember& m = run.NewMember();
    m.PackedSize = packed;
    m.UnpackedSize = Le32(w + 11);
    m.Crc = crc;
    if (ext.unixTime) {
        m.FileDate = UnixToDateTime(*ext.unixTime);
    } else {
        m.FileDate = level < 2 ? DosDateToDateTime(Le32(w + 15)) : UnixToDateTime(Le32(w + 15));
    }
    m.ExternalAttr = ext.dosAttr ? *ext.dosAttr : level < 2 ? w[19] : 0x20;
    m.InternalAttr = 32;
    const bool framed = w[2] == '-' && w[6] == '-';
    m.MethodCode = w[5];
    m.MethodName = framed ? MethodName(MethodFamily::LHA, w[5]) : "Unknown";
    const bool folder = framed && w[3] == 'l' && w[4] == 'h' && w[5] == 'd';
    const std::string full = ext.dir + (ext.name ? *ext.name : name);
    run.Report(full, at, folder ? EntryKind::Directory : EntryKind::Member);
    run.MoveTo(SaturatingAdd(at + headerLength, packed), at);
}

}  // namespace

std::unique_ptr<HeaderWalker> MakeLhaWalker() {
    return std::make_unique<LhaWalker>();
}

}  // namespace lumora::archive
