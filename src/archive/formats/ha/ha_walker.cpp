// HA: entries after a 4-byte archive header; each window starts one byte
// before the entry's type byte.
#include "archive/formats/ha/ha_walker.h"

#include "archive/core/dos_date.h"
#include "archive/core/error_codes.h"
#include "archive/core/le_bytes.h"
#include "archive/lister/lister_methods.h"
#include "archive/lister/lister_run.h"

namespace lumora::archive {

namespace {

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

std::unique_ptr<HeaderWalker> MakeHaWalker() {
    return std::make_unique<HaWalker>();
}

}  // namespace lumora::archive
