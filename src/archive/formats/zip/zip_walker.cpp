// ZIP: the central directory, from the first central record named by the end
// record to the first record without the central signature.
#include "archive/formats/zip/zip_walker.h"

#include <optional>

#include "archive/core/dos_date.h"
#include "archive/core/error_codes.h"
#include "archive/core/le_bytes.h"
#include "archive/formats/zip/zip_records.h"
#include "archive/lister/lister_methods.h"
#include "archive/lister/lister_run.h"

namespace lumora::archive {

namespace {

class ZipWalker final : public HeaderWalker {
public:
    void Prepare(ListerRun& run) override;
    void Step(ListerRun& run, std::uint64_t at, const std::uint8_t* w) override;
    void Finish(ListerRun& run) override {
        if (run.FileCount() == 0 && !run.AnythingReported()) run.Fail(ecode::BadFileHeader);
    }

private:
    static bool CentralAt(const ListerRun& run, std::uint64_t at) {
        const std::string sig = run.ReadBytes(at, 4);
        return sig.size() == 4 &&
               Le32(reinterpret_cast<const std::uint8_t*>(sig.data())) == kZipCentralSig;
    }
};

// The directory offset counts from the string-table offset of a
// self-extractor; a directory found right before the end record instead
// makes the stored offsets relative to where it really is.
void ZipWalker::Prepare(ListerRun& run) {
    const TZipTV& tv = run.Lister();
    const std::optional<ZipEndRecord> end = FindZipEndRecord(run.File());
    if (!end) run.Fail(ecode::HeaderIdError);
    const std::string rec = run.ReadBytes(end->position, 22);
    if (rec.size() == 22) {
        const auto commentLength = Le16(reinterpret_cast<const std::uint8_t*>(rec.data()) + 20);
        if (commentLength > 0)
            run.SetArchiveComment(run.ReadBytes(end->position + 22, commentLength));
    }
    std::uint64_t base = 0;
    if (tv.SfxOffset() > 0 && tv.ArchiveStart() == tv.SfxOffset() + 1) {
        base = static_cast<std::uint64_t>(tv.SfxOffset());
    }
    std::uint64_t dir = SaturatingAdd(end->dirOffset, base);
    if (!CentralAt(run, dir)) {
        if (end->dirEndsAt < end->dirOffset || !CentralAt(run, end->dirEndsAt)) {
            run.Fail(ecode::HeaderIdError);
        }
        dir = end->dirEndsAt;
    }
    run.SetWindow(kZipCentralSize);
    run.SetPosition(dir);
}

void ZipWalker::Step(ListerRun& run, std::uint64_t at, const std::uint8_t* w) {
    ZipCentralRecord c = ParseZipCentral(w);
    if (c.signature != kZipCentralSig) {
        run.EndWalk();
        return;
    }
    std::uint64_t p = at + kZipCentralSize;
    const std::string name = run.ReadExact(p, c.nameLength, ecode::BadFileHeader);
    p += c.nameLength;
    ApplyZip64Extra(c, run.ReadExact(p, c.extraLength, ecode::BadFileHeader));
    p += c.extraLength;
    TListerMember& m = run.NewMember();
    m.MemberComment = run.ReadExact(p, c.commentLength, ecode::BadFileHeader);
    p += c.commentLength;

    m.FileDate = DosDateToDateTime(c.DosDateTime());
    m.VersionMadeBy = Le16(w + 4);
    m.VersionNeeded = Le16(w + 6);
    m.PackedSize = c.packedSize;
    m.UnpackedSize = c.unpackedSize;
    m.Crc = c.crc;
    m.Encrypted = (c.flags & 1) != 0;
    m.MethodCode = c.method;
    m.MethodName = MethodName(MethodFamily::ZIP, c.method, c.flags);
    m.MethodOption = static_cast<std::uint8_t>(c.flags & 6);
    m.InternalAttr = Le16(w + 36);
    m.ExternalAttr = c.externalAttrs;
    const bool folder = (c.externalAttrs & TztvFileAttr::kDirectory) != 0;
    run.Report(name, c.localOffset, folder ? EntryKind::Directory : EntryKind::Member);
    run.MoveTo(p, at);
}

}  // namespace

std::unique_ptr<HeaderWalker> MakeZipWalker() {
    return std::make_unique<ZipWalker>();
}

}  // namespace lumora::archive
