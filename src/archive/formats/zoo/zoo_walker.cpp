// ZOO: the chain of directory entries from the archive header.
#include "archive/formats/zoo/zoo_walker.h"

#include <vector>

#include "archive/core/dos_date.h"
#include "archive/core/error_codes.h"
#include "archive/core/le_bytes.h"
#include "archive/lister/lister_methods.h"
#include "archive/lister/lister_run.h"
#include "platform/text.h"

namespace lumora::archive {

namespace {

const std::uint8_t* Bytes(const std::string& s) {
    return reinterpret_cast<const std::uint8_t*>(s.data());
}

constexpr std::uint32_t kZooTag = 0xFDC4A7DCu;

class ZooWalker final : public HeaderWalker {
public:
    void Prepare(ListerRun& run) override {
        const std::string h = run.ReadExact(0, 34, ecode::ReadError);
        const std::uint32_t first = Le32(Bytes(h) + 24);
        if (static_cast<std::uint32_t>(first + Le32(Bytes(h) + 28)) != 0) {
            run.Fail(ecode::BadFileHeader);
        }
        run.SetWindow(58);
        run.SetPosition(first);
    }
    void Step(ListerRun& run, std::uint64_t at, const std::uint8_t* w) override;
};

// The chain must move forward, so a crafted chain cannot run in a circle.
void ZooWalker::Step(ListerRun& run, std::uint64_t at, const std::uint8_t* w) {
    if (Le32(w) != kZooTag) run.Fail(ecode::BadFileHeader);
    const std::uint32_t next = Le32(w + 6);
    if (next == 0) {
        run.EndWalk();
        return;
    }
    const std::string_view field(reinterpret_cast<const char*>(w + 38), 13);
    TListerMember& m = run.NewMember();
    m.MethodCode = w[5];
    m.MethodName = MethodName(MethodFamily::ZOO, w[5]);
    m.FileDate = DosDateToDateTime((std::uint32_t{Le16(w + 14)} << 16) | Le16(w + 16));
    m.Crc = Le16(w + 18);
    m.UnpackedSize = Le32(w + 20);
    m.PackedSize = Le32(w + 24);
    m.InternalAttr = 32;
    m.ExternalAttr = 32;
    run.Report(std::string(field.substr(0, field.find('\0'))), at, EntryKind::Member);
    run.MoveTo(next, at);
}

}  // namespace

std::unique_ptr<HeaderWalker> MakeZooWalker() {
    return std::make_unique<ZooWalker>();
}

}  // namespace lumora::archive
