// CAB: the file entries named by the cabinet header, as many as it counts.
#include "archive/formats/cab/cab_walker.h"

#include "archive/core/dos_date.h"
#include "archive/core/error_codes.h"
#include "archive/formats/cab/cab_header.h"
#include "archive/lister/lister_methods.h"
#include "archive/lister/lister_run.h"

namespace lumora::archive {

namespace {

class CabWalker final : public HeaderWalker {
public:
    void Prepare(ListerRun& run) override;
    bool ReadsWindow() const override { return false; }
    void Step(ListerRun& run, std::uint64_t at, const std::uint8_t*) override;

private:
    // Header problems end the listing with a warning, not an error.
    void Stop(ListerRun& run, int code) {
        run.Warn(code);
        run.EndWalk();
    }
    std::uint16_t FolderType(const CabFileEntry& f) const;

    Cabinet cab_;
    unsigned remaining_ = 0;
};

void CabWalker::Prepare(ListerRun& run) {
    run.SetWindow(16);
    switch (ReadCabHeader(run.File(), cab_)) {
        case HeaderResult::Ok:
            break;
        case HeaderResult::End:
            return Stop(run, ecode::ReadError);
        case HeaderResult::Bad:
            return Stop(run, ecode::BadFileHeader);
    }
    remaining_ = cab_.fileCount;
    run.SetPosition(cab_.filesOffset);
    if (remaining_ == 0) run.EndWalk();
}

// The folders' compression types give the members' method names.
std::uint16_t CabWalker::FolderType(const CabFileEntry& f) const {
    const int k = cab_.FolderOf(f);
    return k < 0 ? 0 : cab_.folders[static_cast<std::size_t>(k)].type;
}

// The window only tells the walk that the entry's fixed fields are there;
// the entry is read by the header parser.
void CabWalker::Step(ListerRun& run, std::uint64_t at, const std::uint8_t*) {
    CabFileEntry f;
    std::uint64_t next = 0;
    switch (ReadCabFileEntry(run.File(), at, f, next)) {
        case HeaderResult::Ok:
            break;
        case HeaderResult::End:
            return run.EndWalk();
        case HeaderResult::Bad:
            return Stop(run, ecode::BadFileHeader);
    }
    TListerMember& m = run.NewMember();
    m.UnpackedSize = f.size;
    m.FileDate = DosDateToDateTime(f.DosDateTime());
    m.MethodCode = FolderType(f);
    m.MethodName = MethodName(MethodFamily::CAB, m.MethodCode);
    if (m.MethodName == "Unknown" && (m.MethodCode & 0x0F) == 3) m.MethodName = "LZX";
    if (m.MethodName == "Unknown" && (m.MethodCode & 0x0F) == 2) m.MethodName = "Quantum";
    m.ExternalAttr = f.attrs;
    m.InternalAttr = 32;
    run.Report(f.name, at, EntryKind::Member);
    if (--remaining_ == 0) {
        run.EndWalk();
        return;
    }
    run.MoveTo(next, at);
}

}  // namespace

std::unique_ptr<HeaderWalker> MakeCabWalker() {
    return std::make_unique<CabWalker>();
}

}  // namespace lumora::archive
