// ARC and PAK (29-byte member headers, 25 for method 1), BH (37-byte headers
// with the name after them) and HA (entries after a 4-byte archive header;
// each window starts one byte before the entry's type byte).
#include "archive/dos_date.h"
#include "archive/error_codes.h"
#include "archive/le_bytes.h"
#include "archive/lister_methods.h"
#include "archive/lister_steps.h"

namespace lumora::archive {

namespace {

std::uint64_t StartOffset(const TZipTV& tv) {
    return tv.ArchiveStart() > 0 ? static_cast<std::uint64_t>(tv.ArchiveStart() - 1) : 0;
}

// --- ARC / PAK ----------------------------------------------------------

class ArcWalker final : public HeaderWalker {
public:
    explicit ArcWalker(bool pak) : family_(pak ? MethodFamily::PAK : MethodFamily::ARC) {}
    void Prepare(ListerRun& run) override {
        run.SetWindow(29);
        run.SetPosition(StartOffset(run.Lister()));
    }
    void Step(ListerRun& run, std::uint64_t at, const std::uint8_t* w) override {
        const std::uint8_t method = w[1];
        if (w[0] != 0x1A || method == 0) {
            run.EndWalk();
            return;
        }
        // Method 1 headers lack the original size and are 4 bytes shorter.
        const std::uint64_t headerLength = method == 1 ? 25 : 29;
        const std::string_view field(reinterpret_cast<const char*>(w + 2), 13);
        TListerMember& m = run.NewMember();
        m.MethodCode = method;
        m.MethodName = MethodName(family_, method);
        m.PackedSize = Le32(w + 15);
        m.FileDate = DosDateToDateTime((std::uint32_t{Le16(w + 19)} << 16) | Le16(w + 21));
        m.Crc = Le16(w + 23);
        m.UnpackedSize = method == 1 ? m.PackedSize : Le32(w + 25);
        m.InternalAttr = 32;
        m.ExternalAttr = 32;
        run.Report(std::string(field.substr(0, field.find('\0'))), at, EntryKind::Member);
        run.MoveTo(SaturatingAdd(at + headerLength, m.PackedSize), at);
    }

private:
    MethodFamily family_;
};

// --- BH -----------------------------------------------------------------

class BhWalker final : public HeaderWalker {
public:
    void Prepare(ListerRun& run) override {
        run.SetWindow(37);
        run.SetPosition(StartOffset(run.Lister()));
    }
    void Step(ListerRun& run, std::uint64_t at, const std::uint8_t* w) override {
        if (Le32(w) != 0x07054842u || Le16(w + 4) == 0) {
            run.EndWalk();
            return;
        }
        const std::uint16_t nameLength = Le16(w + 33);
        const std::string name = run.ReadExact(at + 37, nameLength, ecode::BadFileHeader);
        TListerMember& m = run.NewMember();
        m.VersionMadeBy = w[7];
        m.VersionNeeded = w[8];
        m.Encrypted = (w[9] & 1) != 0;
        m.MethodCode = w[10];
        m.MethodName = MethodName(MethodFamily::BH, w[10]);
        m.FileDate = DosDateToDateTime(Le32(w + 11));
        m.PackedSize = Le32(w + 15);
        m.UnpackedSize = Le32(w + 19);
        m.Crc = Le32(w + 23);
        m.InternalAttr = Le16(w + 27);
        m.ExternalAttr = m.InternalAttr;
        const bool folder = (m.ExternalAttr & TztvFileAttr::kDirectory) != 0;
        run.Report(name, at, folder ? EntryKind::Directory : EntryKind::Member);
        run.MoveTo(SaturatingAdd(at + 37 + nameLength, m.PackedSize), at);
    }
};

// --- HA -----------------------------------------------------------------

constexpr std::size_t kHaTextMax = 4096;

class HaWalker final : public HeaderWalker {
public:
    void Prepare(ListerRun& run) override {
        run.SetWindow(18);
        run.SetPosition(3);
    }
    // w[1] is the entry's type byte (version and method); the path and the
    // name follow the window, then a length byte and the machine data, then
    // the packed data.
    void Step(ListerRun& run, std::uint64_t at, const std::uint8_t* w) override {
        std::uint64_t afterPath = 0, afterName = 0;
        std::string path = run.ReadCString(at + 18, kHaTextMax, ecode::BadFileHeader, &afterPath);
        const std::string name =
            run.ReadCString(afterPath, kHaTextMax, ecode::BadFileHeader, &afterName);
        const std::string mdi = run.ReadExact(afterName, 1, ecode::BadFileHeader);
        for (char& c : path) {
            if (c == '\xFF' || c == '/') c = '\\';
        }
        if (!path.empty() && path.back() != '\\') path += '\\';
        const std::uint8_t method = w[1] & 0x0F;
        TListerMember& m = run.NewMember();
        m.MethodCode = method;
        m.MethodName = MethodName(MethodFamily::HA, method);
        m.VersionMadeBy = m.VersionNeeded = w[1] >> 4;
        m.PackedSize = Le32(w + 2);
        m.UnpackedSize = Le32(w + 6);
        m.Crc = Le32(w + 10);
        m.FileDate = UnixToDateTime(Le32(w + 14));
        m.InternalAttr = m.ExternalAttr = 32;
        run.Report(path + name, at + 1, method == 14 ? EntryKind::Directory : EntryKind::Member);
        const std::uint64_t next =
            SaturatingAdd(afterName + 1 + static_cast<std::uint8_t>(mdi[0]), m.PackedSize);
        run.MoveTo(next - 1, at);
    }
};

}  // namespace

std::unique_ptr<HeaderWalker> MakeArcWalker(bool pak) {
    return std::make_unique<ArcWalker>(pak);
}

std::unique_ptr<HeaderWalker> MakeBhWalker() {
    return std::make_unique<BhWalker>();
}

std::unique_ptr<HeaderWalker> MakeHaWalker() {
    return std::make_unique<HaWalker>();
}

}  // namespace lumora::archive
