// BH: 37-byte member headers with the name after them.
#include "archive/formats/bh/bh_walker.h"

#include "archive/core/dos_date.h"
#include "archive/core/error_codes.h"
#include "archive/core/le_bytes.h"
#include "archive/lister/lister_methods.h"
#include "archive/lister/lister_run.h"

namespace lumora::archive {

namespace {

class BhWalker final : public HeaderWalker {
public:
    void Prepare(ListerRun& run) override {
        run.SetWindow(37);
        run.SetPosition(run.Lister().FirstHeaderOffset());
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

}  // namespace

std::unique_ptr<HeaderWalker> MakeBhWalker() {
    return std::make_unique<BhWalker>();
}

}  // namespace lumora::archive
