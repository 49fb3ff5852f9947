// ARC and PAK: 29-byte member headers (25 for method 1), each followed by
// its packed data.
#include "archive/formats/arc/arc_walker.h"

#include "archive/core/dos_date.h"
#include "archive/core/error_codes.h"
#include "archive/core/le_bytes.h"
#include "archive/lister/lister_methods.h"
#include "archive/lister/lister_run.h"

namespace lumora::archive {

namespace {

class ArcWalker final : public HeaderWalker {
public:
    explicit ArcWalker(bool pak) : family_(pak ? MethodFamily::PAK : MethodFamily::ARC) {}
    void Prepare(ListerRun& run) override {
        run.SetWindow(29);
        run.SetPosition(FirstHeaderOffset(run.Lister()));
    }
    void Step(ListerRun& run, std::uint64_t at, const std::uint8_t* w) override {
        const std::uint8_t method = w[1];
        if (w[0] != 0x1A || method == 0) {
            run.EndWalk();
            return;
        }
        // Method 1 headers lack the original size and are 4 bytes shorter.
        const std::uint64_t headerLength = method == 1 ? 25 : 29;
        const std::string_view field(reinterpret_cast<const char*>(w + 2), 13);
        TListerMember& m = run.NewMember();
        m.MethodCode = method;
        m.MethodName = MethodName(family_, method);
        m.PackedSize = Le32(w + 15);
        m.FileDate = DosDateToDateTime((std::uint32_t{Le16(w + 19)} << 16) | Le16(w + 21));
        m.Crc = Le16(w + 23);
        m.UnpackedSize = method == 1 ? m.PackedSize : Le32(w + 25);
        m.InternalAttr = 32;
        m.ExternalAttr = 32;
        run.Report(std::string(field.substr(0, field.find('\0'))), at, EntryKind::Member);
        run.MoveTo(SaturatingAdd(at + headerLength, m.PackedSize), at);
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
