// The lister's walk over LHA/LZH headers: each header, of any level, is read
// by ReadLhaHeader and listed with the directory and file name, the date,
// attributes and CRC it gives.
#include "archive/formats/lha/lha_walker.h"

#include "archive/core/dos_date.h"
#include "archive/core/error_codes.h"
#include "archive/formats/lha/lha_header.h"
#include "archive/lister/lister_methods.h"
#include "archive/lister/lister_run.h"

namespace lumora::archive {

namespace {

// The walk steps while more than its window is left: with a window one byte
// short of a header's 22 fixed bytes it ends where the reader's walk ends.
constexpr std::size_t kWindow = 21;

class LhaWalker final : public HeaderWalker {
public:
    LhaWalker() : HeaderWalker(kWindow) {}
    bool ReadsWindow() const override { return false; }
    void Step(ListerRun& run, std::uint64_t at, const std::uint8_t*) override;
};

void LhaWalker::Step(ListerRun& run, std::uint64_t at, const std::uint8_t*) {
    LhaHeader h;
    const HeaderResult read = ReadLhaHeader(run.File(), at, LhaHeaderUse::List, h);
    if (read == HeaderResult::End) {
        run.EndWalk();
        return;
    }
    if (read == HeaderResult::Bad) run.Fail(ecode::BadFileHeader);
    TListerMember& m = run.NewMember();
    m.PackedSize = h.packedSize;
    m.UnpackedSize = h.originalSize;
    m.Crc = h.crc;
    // Levels 0 and 1 carry a DOS stamp, which is listed even when an
    // extended header adds a Unix time; levels 2 and 3 have only Unix times.
    if (h.level < 2) {
        m.FileDate = DosDateToDateTime(h.stamp);
    } else {
        m.FileDate = UnixToDateTime(h.unixTime.value_or(h.stamp));
    }
    m.ExternalAttr = h.attribute;
    m.InternalAttr = 32;
    const std::string& id = h.method;  // "-lh5-": the fourth character names the method
    const bool framed = id[0] == '-' && id[4] == '-';
    m.MethodCode = static_cast<std::uint8_t>(id[3]);
    m.MethodName = framed ? MethodName(MethodFamily::LHA, m.MethodCode) : "Unknown";
    const bool folder = framed && id.compare(1, 3, "lhd") == 0;
    run.Report(h.name, at, folder ? EntryKind::Directory : EntryKind::Member);
    run.MoveTo(h.next, at);
}

}  // namespace

std::unique_ptr<HeaderWalker> MakeLhaWalker() {
    return std::make_unique<LhaWalker>();
}

}  // namespace lumora::archive
