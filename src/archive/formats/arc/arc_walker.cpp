// ARC and PAK: 29-byte member headers (25 for method 1), each followed by
// its packed data.
#include "archive/formats/arc/arc_walker.h"

#include "archive/core/dos_date.h"
#include "archive/core/error_codes.h"
#include "archive/formats/arc/arc_header.h"
#include "archive/lister/lister_methods.h"
#include "archive/lister/lister_run.h"

namespace lumora::archive {

namespace {

// The walk ends quietly where no full header is left; the header itself is
// read from the file, as junk bytes may come before its marker.
constexpr std::size_t kWindow = 29;

class ArcWalker final : public HeaderWalker {
public:
    explicit ArcWalker(bool pak)
        : HeaderWalker(kWindow), family_(pak ? MethodFamily::PAK : MethodFamily::ARC) {}
    bool ReadsWindow() const override { return false; }
    void Step(ListerRun& run, std::uint64_t at, const std::uint8_t*) override {
        ArcHeader h;
        const HeaderResult result = ReadArcHeader(run.File(), at, h);
        if (result != HeaderResult::Ok) {
            if (result == HeaderResult::Bad) run.Warn(ecode::BadArchive);
            run.EndWalk();
            return;
        }
        TListerMember& m = run.NewMember();
        m.MethodCode = h.method;
        m.MethodName = MethodName(family_, h.method);
        m.PackedSize = h.packed;
        m.FileDate = DosDateToDateTime(h.DosDateTime());
        m.Crc = h.crc;
        m.UnpackedSize = h.original;
        m.InternalAttr = 32;
        m.ExternalAttr = 32;
        run.Report(h.name, h.start, EntryKind::Member);
        // The next header follows the packed data, whatever it holds.
        run.MoveTo(SaturatingAdd(h.dataStart, h.packed), h.start);
    }

private:
    MethodFamily family_;
};

}  // namespace

std::unique_ptr<HeaderWalker> MakeArcWalker() {
    return std::make_unique<ArcWalker>(false);
}

std::unique_ptr<HeaderWalker> MakePakWalker() {
    return std::make_unique<ArcWalker>(true);
}

}  // namespace lumora::archive
