// ZIP: the central directory, from the first central record named by the end
// record to the first record without the central signature.
#include "archive/formats/zip/zip_walker.h"

#include "archive/core/dos_date.h"
#include "archive/core/error_codes.h"
#include "archive/core/field_reader.h"
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
};

void ZipWalker::Prepare(ListerRun& run) {
    const TZipTV& tv = run.Lister();
    ZipDirectory dir;
    if (LocateZipDirectory(run.File(), ZipSfxBase(tv.SfxOffset(), tv.ArchiveStart()), dir) !=
        HeaderResult::Ok) {
        run.Fail(ecode::HeaderIdError);
    }
    if (dir.end->commentLength > 0)
        run.SetArchiveComment(
            run.ReadBytes(dir.end->position + kZipEndSize, dir.end->commentLength));
    run.SetWindow(kZipCentralSize);
    run.SetPosition(dir.start);
}

// The offset reported is the local header offset as stored.
void ZipWalker::Step(ListerRun& run, std::uint64_t at, const std::uint8_t* w) {
    FieldReader r(w, run.Window());
    ZipCentralRecord c;
    if (ParseZipCentral(r, c) != HeaderResult::Ok) {
        run.EndWalk();
        return;
    }
    std::uint64_t p = at + kZipCentralSize;
    const std::string stored = run.ReadExact(p, c.nameLength, ecode::BadFileHeader);
    p += c.nameLength;
    const std::string extra = run.ReadExact(p, c.extraLength, ecode::BadFileHeader);
    ApplyZip64Extra(c, extra);
    p += c.extraLength;
    TListerMember& m = run.NewMember();
    m.MemberComment =
        ZipMemberComment(run.ReadExact(p, c.commentLength, ecode::BadFileHeader), c.flags);
    p += c.commentLength;

    m.FileDate = DosDateToDateTime(c.DosDateTime());
    m.VersionMadeBy = c.versionMadeBy;
    m.VersionNeeded = c.versionNeeded;
    m.PackedSize = c.packedSize;
    m.UnpackedSize = c.unpackedSize;
    m.Crc = c.crc;
    m.Encrypted = (c.flags & 1) != 0;
    m.MethodCode = c.method;
    m.MethodName = MethodName(MethodFamily::ZIP, c.method, c.flags);
    m.MethodOption = static_cast<std::uint8_t>(c.flags & 6);
    m.InternalAttr = c.internalAttrs;
    m.ExternalAttr = c.externalAttrs;
    const bool folder = (c.externalAttrs & TztvFileAttr::kDirectory) != 0;
    run.Report(ZipMemberName(stored, c.flags, extra), c.localOffset,
               folder ? EntryKind::Directory : EntryKind::Member);
    run.MoveTo(p, at);
}

}  // namespace

std::unique_ptr<HeaderWalker> MakeZipWalker() {
    return std::make_unique<ZipWalker>();
}

}  // namespace lumora::archive
