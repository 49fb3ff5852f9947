#include "archive/lister/lister_run.h"

#include <algorithm>

#include "archive/core/error_codes.h"
#include "archive/core/field_reader.h"
#include "archive/core/match_spec.h"
#include "archive/core/routines.h"
#include "archive/core/stored_name.h"
#include "archive/formats/format_table.h"

namespace lumora::archive {

void HeaderWalker::Prepare(ListerRun& run) {
    run.SetWindow(window_);
    run.SetPosition(run.Lister().FirstHeaderOffset());
}

void ListerRun::Execute() {
    const TArcType type = tv_.ArcType();
    if (!tv_.OnRead) Fail(ecode::EventNotAssigned);
    if (type == atFileError) Fail(ecode::HeaderIdError);
    const WalkerMaker makeWalker = FormatOf(type).makeWalker;
    std::unique_ptr<HeaderWalker> walker = makeWalker ? makeWalker() : nullptr;
    if (!walker) Fail(ecode::UnknownFileType);
    file_ = tv_.OpenArchiveInput();
    if (!file_.IsOpen()) Fail(ecode::ReadError);
    size_ = file_.Size();
    activated_ = true;
    tv_.FireNotify(tv_.OnActivate);

    tv_.fileCount_ = 0;
    tv_.totalPacked_ = tv_.totalUnpacked_ = 0;
    tv_.totalRatio_ = 0;
    tv_.archiveComment_.clear();
    NewMember();
    walker->Prepare(*this);
    do {
        Walk(*walker);
    } while (walker->NextVolume(*this));
    walker->Finish(*this);

    if (tv_.OnTotals) {
        tv_.totalRatio_ = CompressionRatio(tv_.totalPacked_, tv_.totalUnpacked_);
        tv_.OnTotals(tv_, tv_.fileCount_);
    }
}

// Stops when the next window would reach the end of the file; every step
// moves the position forward (MoveTo) or ends the walk.
void ListerRun::Walk(HeaderWalker& walker) {
    const bool window = walker.ReadsWindow();
    // Every step's window is read over in full, so it is never cleared.
    const std::unique_ptr<std::uint8_t[]> w(window ? new std::uint8_t[window_] : nullptr);
    while (!ended_) {
        const std::uint64_t at = pos_;
        if (SaturatingAdd(at, window_) >= size_) break;
        if (window && file_.ReadAt(at, w.get(), window_) != window_) Fail(ecode::ReadError);
        pos_ = at + window_;
        walker.Step(*this, at, w.get());
    }
}

void ListerRun::CleanUp() {
    tv_.archiveComment_.clear();
    tv_.member_.MemberComment.clear();
    window_ = 0;
    pos_ = 0;
    file_.Close();
    if (activated_) {
        activated_ = false;
        tv_.FireNotify(tv_.OnDeactivate);
    }
}

std::string ListerRun::ReadBytes(std::uint64_t at, std::size_t n) const {
    return ReadBlock(file_, at, n);
}

std::string ListerRun::ReadExact(std::uint64_t at, std::size_t n, int code) {
    std::string s = ReadBytes(at, n);
    if (s.size() != n) Fail(code);
    return s;
}

std::string ListerRun::ReadCString(std::uint64_t at, std::size_t max, int code,
                                   std::uint64_t* end) {
    const std::string s = ReadBytes(at, max);
    const auto nul = s.find('\0');
    if (nul == std::string::npos) Fail(code);
    if (end) *end = at + nul + 1;
    return s.substr(0, nul);
}

void ListerRun::MoveTo(std::uint64_t next, std::uint64_t headerStart) {
    if (next <= headerStart || next > size_) Fail(ecode::BadFileHeader);
    pos_ = next;
}

TListerMember& ListerRun::NewMember() {
    tv_.member_ = TListerMember{};
    return tv_.member_;
}

void ListerRun::Report(const std::string& storedName, std::uint64_t offset, EntryKind kind) {
    tv_.SetFileName(ToBackslashes(storedName));
    TListerMember& m = tv_.member_;
    m.Ratio = CompressionRatio(m.PackedSize, m.UnpackedSize);
    if (kind == EntryKind::Directory) {
        if (tv_.ShowBlankDirs) Fire(offset);
        return;
    }
    // The lister passes FileSpec as the name and the stored name as the
    // pattern, the other way round from the readers; that is how it has
    // always matched. The orders differ only for stored names that hold "*"
    // or "?" themselves (a member "*???" matches "*.*" only this way) or are
    // empty, so swapping them back would change which members are listed.
    if (kind == EntryKind::Member &&
        !MatchSpec(tv_.FileSpecMatch(), PreparedMatchText(tv_.FileName()), true))
        return;
    ++tv_.fileCount_;
    tv_.totalPacked_ = SaturatingAdd(tv_.totalPacked_, m.PackedSize);
    tv_.totalUnpacked_ = SaturatingAdd(tv_.totalUnpacked_, m.UnpackedSize);
    Fire(offset);
}

void ListerRun::Fire(std::uint64_t offset) {
    reported_ = true;
    tv_.FireNotify(tv_.OnReadBegin);
    tv_.OnRead(tv_, offset, tv_.fileCount_);
    tv_.FireNotify(tv_.OnReadEnd);
    tv_.member_.MemberComment.clear();
}

void ListerRun::OpenVolume(const std::string& path, const std::string& volumeId) {
    file_.Close();  // read only: nothing is lost when closing fails
    if (!file_.Open(path)) FailOn(path, ecode::OpenError, volumeId);
    size_ = file_.Size();
    pos_ = 0;
    ended_ = false;
}

void ListerRun::Fail(int code) {
    tv_.ReportError(tv_.ArchiveFile(), code);
}

void ListerRun::FailOn(const std::string& path, int code, const std::string& volumeId) {
    tv_.ReportError(path, code, volumeId);
}

void ListerRun::Warn(int code) {
    tv_.ReportWarning(tv_.ArchiveFile(), code);
}

}  // namespace lumora::archive
