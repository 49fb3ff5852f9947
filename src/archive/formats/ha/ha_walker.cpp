// HA: entries after a 4-byte archive header; each window starts one byte
// before the entry's type byte.
#include "archive/formats/ha/ha_walker.h"

#include "archive/core/dos_date.h"
#include "archive/core/error_codes.h"
#include "archive/formats/ha/ha_header.h"
#include "archive/lister/lister_methods.h"
#include "archive/lister/lister_run.h"

namespace lumora::archive {

namespace {

constexpr std::size_t kHaTextMax = 4096;

class HaWalker final : public HeaderWalker {
public:
    void Prepare(ListerRun& run) override {
        run.SetWindow(kHaEntryWindow);
        run.SetPosition(3);
    }
    void Step(ListerRun& run, std::uint64_t at, const std::uint8_t* w) override {
        FieldReader r(w, run.Window());
        HaHeader e;
        if (ParseHaEntry(r, e) != HeaderResult::Ok) run.Fail(ecode::BadFileHeader);
        std::uint64_t afterPath = 0, afterName = 0;
        const std::string path =
            run.ReadCString(at + kHaEntryWindow, kHaTextMax, ecode::BadFileHeader, &afterPath);
        const std::string name =
            run.ReadCString(afterPath, kHaTextMax, ecode::BadFileHeader, &afterName);
        const std::string mdi = run.ReadExact(afterName, 1, ecode::BadFileHeader);
        TListerMember& m = run.NewMember();
        m.MethodCode = e.method;
        m.MethodName = MethodName(MethodFamily::HA, e.method);
        m.VersionMadeBy = m.VersionNeeded = e.version;
        m.PackedSize = e.packedSize;
        m.UnpackedSize = e.originalSize;
        m.Crc = e.crc;
        m.FileDate = UnixToDateTime(e.unixTime);
        m.InternalAttr = m.ExternalAttr = 32;
        run.Report(HaStoredName(path, name), at + 1,
                   e.method == kHaDirectoryMethod ? EntryKind::Directory : EntryKind::Member);
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
