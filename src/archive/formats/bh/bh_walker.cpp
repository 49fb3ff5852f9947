// BH: member headers one after the other, each with its name and data.
#include "archive/formats/bh/bh_walker.h"

#include "archive/core/dos_date.h"
#include "archive/core/error_codes.h"
#include "archive/formats/bh/bh_header.h"
#include "archive/lister/lister_methods.h"
#include "archive/lister/lister_run.h"

namespace lumora::archive {

namespace {

class BhWalker final : public HeaderWalker {
public:
    BhWalker() : HeaderWalker(kBhHeaderSize) {}
    void Step(ListerRun& run, std::uint64_t at, const std::uint8_t* w) override {
        FieldReader r(w, run.Window());
        BhHeader h;
        const HeaderResult result = ParseBhHeader(r, h);
        if (result == HeaderResult::Bad) run.Fail(ecode::BadFileHeader);
        if (result == HeaderResult::End) {
            run.EndWalk();
            return;
        }
        const std::string name =
            run.ReadExact(at + kBhHeaderSize, h.nameLength, ecode::BadFileHeader);
        TListerMember& m = run.NewMember();
        m.VersionMadeBy = h.versionMadeBy;
        m.VersionNeeded = h.versionNeeded;
        m.Encrypted = h.encrypted;
        m.MethodCode = h.method;
        m.MethodName = MethodName(MethodFamily::BH, h.method);
        m.FileDate = DosDateToDateTime(h.dosDateTime);
        m.PackedSize = h.packedSize;
        m.UnpackedSize = h.originalSize;
        m.Crc = h.crc;
        m.InternalAttr = h.attributes;
        m.ExternalAttr = m.InternalAttr;
        const bool folder = (m.ExternalAttr & TztvFileAttr::kDirectory) != 0;
        run.Report(name, at, folder ? EntryKind::Directory : EntryKind::Member);
        run.MoveTo(SaturatingAdd(at + kBhHeaderSize + h.nameLength, m.PackedSize), at);
    }
};

}  // namespace

std::unique_ptr<HeaderWalker> MakeBhWalker() {
    return std::make_unique<BhWalker>();
}

}  // namespace lumora::archive
