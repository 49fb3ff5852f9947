// ARJ: the main header (found by its signature and header CRC, also behind a
// self-extractor stub), then one header block per member, each followed by
// its extended headers and the member's data. The blocks are read by the
// parser the reader uses. When the first volume's main header says the set
// goes on, the walk follows into .A01, .A02 and on, named and found as the
// reader finds them; a member split over volumes is listed once, with the
// first part's header.
#include "archive/formats/arj/arj_walker.h"

#include "archive/core/case_lookup.h"
#include "archive/core/dos_date.h"
#include "archive/core/error_codes.h"
#include "archive/core/routines.h"
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
    bool NextVolume(ListerRun& run) override;

private:
    // The main header at `at`; any other result ends the listing, reported
    // for `volume`.
    ArjHeader ReadMain(ListerRun& run, std::uint64_t at, const std::string& volume) const;

    std::string counter_ = "0";  // volumes opened after the first
    bool setGoesOn_ = false;     // the volume walked now is not the set's last
};

ArjHeader ArjWalker::ReadMain(ListerRun& run, std::uint64_t at, const std::string& volume) const {
    ArjHeader main;
    int error = 0;
    switch (ReadArjHeader(run.File(), at, true, main, error)) {
        case HeaderResult::Ok:
            break;
        case HeaderResult::End:
            run.FailOn(volume, ecode::BadArchive, counter_);
        case HeaderResult::Bad:
            run.FailOn(volume, error, counter_);
    }
    return main;
}

void ArjWalker::Prepare(ListerRun& run) {
    const TZipTV& tv = run.Lister();
    std::uint64_t at = 0;
    int error = 0;
    if (FindArjHeader(run.File(), tv.FirstHeaderOffset(), tv.ArcType() == atArjExe, at, error) !=
        HeaderResult::Ok) {
        run.Fail(error);
    }
    const ArjHeader main = ReadMain(run, at, tv.ArchiveFile());
    // A later volume listed by itself is listed alone, as its own name
    // cannot give the names of the volumes after it.
    setGoesOn_ = (main.flags & kArjVolumeFollows) != 0 && !IsLaterArjVolume(tv.ArchiveFile());
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
    // The rest of a member listed in an earlier volume is not listed again.
    const bool continuation = counter_ != "0" && (h.flags & kArjContinued) != 0;
    if (!continuation && (h.fileType == 0 || h.fileType == 1)) {
        run.Report(h.name, at, EntryKind::Member);
    } else if (!continuation && h.fileType == kArjDirectory) {
        run.Report(h.name, at, EntryKind::Directory);
    }
    // Lists the member before a next position past the end ends the walk.
    run.MoveTo(SaturatingAdd(h.dataOffset, m.PackedSize), at);
}

// Opens the next volume, named from the first volume's name and found
// whatever the case of its name; a missing volume ends the listing with the
// members listed so far. The numbering ends at .999, so the walk ends too.
bool ArjWalker::NextVolume(ListerRun& run) {
    if (!setGoesOn_) return false;
    const std::string name = NextVolumeName(run.Lister().ArchiveFile(), counter_);
    if (name.empty()) run.Fail(ecode::TooManyVolumes);
    const std::optional<std::string> found = FindFileIgnoringCase(name);
    if (!found) run.FailOn(name, ecode::FileNotFound, counter_);
    run.OpenVolume(*found, counter_);
    const ArjHeader main = ReadMain(run, 0, *found);
    setGoesOn_ = (main.flags & kArjVolumeFollows) != 0;
    run.SetPosition(main.Next(true));
    return true;
}

}  // namespace

std::unique_ptr<HeaderWalker> MakeArjWalker() {
    return std::make_unique<ArjWalker>();
}

}  // namespace lumora::archive
