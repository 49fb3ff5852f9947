// TAR: 512-byte header blocks, each followed by its data rounded up to
// whole blocks.
#include "archive/formats/tar/tar_walker.h"

#include <sys/stat.h>

#include <algorithm>
#include <string_view>

#include "archive/core/dos_date.h"
#include "archive/core/error_codes.h"
#include "archive/core/le_bytes.h"
#include "archive/core/routines.h"
#include "archive/formats/tar/tar_header.h"
#include "archive/lister/lister_methods.h"
#include "archive/lister/lister_run.h"
#include "platform/text.h"

namespace lumora::archive {

namespace {

class TarWalker final : public HeaderWalker {
public:
    TarWalker() : HeaderWalker(kTarBlock) {}
    void Step(ListerRun& run, std::uint64_t at, const std::uint8_t* w) override;

private:
    void ReportMember(ListerRun& run, std::uint64_t at, const TarHeader& h);

    std::string longName_;  // from a GNU long-name or pax header, for the next member
};

void TarWalker::Step(ListerRun& run, std::uint64_t at, const std::uint8_t* w) {
    TarHeader h;
    if (ParseTarHeader({reinterpret_cast<const char*>(w), run.Window()}, h) != HeaderResult::Ok) {
        run.EndWalk();
        return;
    }
    const std::uint64_t data = at + kTarBlock;
    const std::uint64_t next = h.HasData() ? SaturatingAdd(data, h.PaddedSize()) : data;
    if (h.IsLongName()) {
        const std::string text = run.ReadExact(
            data, static_cast<std::size_t>(std::min<std::uint64_t>(h.size, kTarMaxLongName)),
            ecode::BadFileHeader);
        longName_ = TarLongName(h.type, text);
    } else if (!h.KeepsLongName()) {
        if (h.type == '\0' || h.type == '0' || h.type == '1') ReportMember(run, at, h);
        longName_.clear();
    }
    run.MoveTo(next, at);
}

void TarWalker::ReportMember(ListerRun& run, std::uint64_t at, const TarHeader& h) {
    TListerMember& m = run.NewMember();
    m.FileDate =
        h.hasTime ? UnixToDateTime(static_cast<std::int64_t>(h.unixTime)) : DosDateToDateTime(0);
    m.PackedSize = m.UnpackedSize = h.size;
    m.Crc = h.checksum;
    m.MethodName = MethodName(MethodFamily::TAR, 0);
    run.Report(TarMemberName(h, longName_), at, EntryKind::Member);
}

}  // namespace

std::unique_ptr<HeaderWalker> MakeTarWalker() {
    return std::make_unique<TarWalker>();
}

}  // namespace lumora::archive
