// ARJ: the main header (found by its signature and header CRC, also behind a
// self-extractor stub), then one header block per member, each followed by
// its extended headers and the member's data. The blocks are read by the
// parser the reader uses.
#include "archive/formats/arj/arj_walker.h"

#include "archive/core/dos_date.h"
#include "archive/core/error_codes.h"
#include "archive/formats/arj/arj_header.h"
#include "archive/lister/lister_methods.h"
#include "archive/lister/lister_run.h"

namespace lumora::archive {

namespace {

constexpr std::size_t kWindow = 34;

class ArjWalker final : public HeaderWalker {
public:
    void Prepare(ListerRun& run) override;
    bool ReadsWindow() const override { return false; }
    void Step(ListerRun& run, std::uint64_t at, const std::uint8_t*) override;
};

void ArjWalker::Prepare(ListerRun& run) {
    const TZipTV& tv = run.Lister();
    std::uint64_t at = 0;
    int error = 0;
    if (FindArjHeader(run.File(), tv.FirstHeaderOffset(), tv.ArcType() == atArjExe, at, error) !=
        HeaderResult::Ok) {
        run.Fail(error);
    }
    ArjHeader main;
    switch (ReadArjHeader(run.File(), at, true, main, error)) {
        case HeaderResult::Ok:
            break;
        case HeaderResult::End:
            run.Fail(ecode::BadArchive);
        case HeaderResult::Bad:
            run.Fail(error);
    }
    run.SetArchiveComment(main.comment);
    run.SetWindow(kWindow);
    run.SetPosition(main.Next(true));
}

void ArjWalker::Step(ListerRun& run, std::uint64_t at, const std::uint8_t*) {
    ArjHeader h;
    int error = 0;
    switch (ReadArjHeader(run.File(), at, false, h, error)) {
        case HeaderResult::Ok:
            break;
        case HeaderResult::End:
            run.EndWalk();
            return;
        case HeaderResult::Bad:
            run.Fail(error);
    }
    TListerMember& m = run.NewMember();
    m.VersionMadeBy = h.version;
    m.VersionNeeded = h.minVersion;
    m.Encrypted = (h.flags & kArjGarbled) != 0;
    m.MethodCode = h.method;
    m.MethodName = MethodName(MethodFamily::ARJ, h.method);
    m.FileDate = DosDateToDateTime(h.dosDateTime);
    m.PackedSize = h.packedSize;
    m.UnpackedSize = h.originalSize;
    m.Crc = h.crc;
    m.ExternalAttr = h.fileMode;
    m.InternalAttr = 32;
    if (h.fileType == 0 || h.fileType == 1) {
        run.Report(h.name, at, EntryKind::Member);
    } else if (h.fileType == kArjDirectory) {
        run.Report(h.name, at, EntryKind::Directory);
    }
    // Lists the member before a next position past the end ends the walk.
    run.MoveTo(SaturatingAdd(h.dataOffset, m.PackedSize), at);
}

}  // namespace

std::unique_ptr<HeaderWalker> MakeArjWalker() {
    return std::make_unique<ArjWalker>();
}

}  // namespace lumora::archive
