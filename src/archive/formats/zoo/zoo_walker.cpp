// ZOO: the chain of directory entries from the archive header.
#include "archive/formats/zoo/zoo_walker.h"

#include "archive/core/dos_date.h"
#include "archive/core/error_codes.h"
#include "archive/formats/zoo/zoo_header.h"
#include "archive/lister/lister_methods.h"
#include "archive/lister/lister_run.h"

namespace lumora::archive {

namespace {

// The window covers an entry with the directory fields of the longer entry
// type; the walk ends quietly where fewer bytes are left.
constexpr std::size_t kWindow = 58;

class ZooWalker final : public HeaderWalker {
public:
    void Prepare(ListerRun& run) override {
        ZooArchiveHeader h;
        if (ReadZooArchiveHeader(run.File(), h) != HeaderResult::Ok)
            run.Fail(h.cut ? ecode::ReadError : ecode::BadFileHeader);
        run.SetWindow(kWindow);
        run.SetPosition(h.firstEntry);
    }
    void Step(ListerRun& run, std::uint64_t at, const std::uint8_t* w) override;
};

// The chain must move forward, so a crafted chain cannot run in a circle.
void ZooWalker::Step(ListerRun& run, std::uint64_t at, const std::uint8_t* w) {
    FieldReader r(w, run.Window());
    ZooEntry e;
    const HeaderResult result = ParseZooEntry(r, run.Size(), e);
    if (result == HeaderResult::Bad) run.Fail(ecode::BadFileHeader);
    if (result == HeaderResult::End) {
        run.EndWalk();
        return;
    }
    TListerMember& m = run.NewMember();
    m.MethodCode = e.method;
    m.MethodName = MethodName(MethodFamily::ZOO, e.method);
    m.FileDate = DosDateToDateTime(e.dosDateTime);
    m.Crc = e.crc;
    m.UnpackedSize = e.originalSize;
    m.PackedSize = e.packedSize;
    m.InternalAttr = 32;
    m.ExternalAttr = 32;
    run.Report(e.name, at, EntryKind::Member);
    run.MoveTo(e.next, at);
}

}  // namespace

std::unique_ptr<HeaderWalker> MakeZooWalker() {
    return std::make_unique<ZooWalker>();
}

}  // namespace lumora::archive
