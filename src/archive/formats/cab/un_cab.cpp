#include "archive/formats/cab/un_cab.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <system_error>
#include "archive/formats/format_table.h"

#include "archive/core/error_codes.h"
#include "archive/core/input_file.h"
#include "archive/core/match_spec.h"
#include "archive/core/progress.h"
#include "archive/core/scratch_bytes.h"
#include "archive/core/stored_name.h"
#include "archive/formats/cab/cab_files.h"
#include "archive/formats/cab/cab_folder.h"
#include "archive/formats/cab/cab_header.h"
#include "archive/formats/cab/cab_set.h"
#include "platform/text.h"

namespace lumora::archive {

namespace {

// A folder being served; it outlives its cabinet when it goes on in the next.
struct FolderRun {
    FolderRun(std::uint16_t type, CabFileTarget& target) : decoder(type), cutter(target) {}
    CabFolderDecoder decoder;
    CabFileCutter cutter;
};

bool Decodable(std::uint16_t type) {
    return type == kCabStored || type == kCabMsZip;
}

}  // namespace

// One extraction run over a cabinet and the cabinets that follow it.
class CabRun final : public CabFileTarget {
public:
    explicit CabRun(TUnCAB& c) : c_(c), progress_(c, c.ProgressNotify) {}

    void Execute();
    // Ends a file left open (incomplete) and closes the cabinet; never throws.
    void Close() noexcept;

    bool Begin(const CabFileEntry& f) override;
    void Write(const CabFileEntry& f, std::uint64_t done, const std::uint8_t* data,
               std::size_t n) override;
    void Finish(const CabFileEntry& f, bool complete) override;
    void Misplaced(const CabFileEntry& f) override;

private:
    bool ReadRecords();
    void ServeCabinet();
    void ServeFolder(int k, bool continued, bool goesOn);
    void FeedBlocks(const CabFolderEntry& folder, bool goesOn);
    bool MoveToNext();
    bool LocateNext(std::string& path);
    bool Wanted(const CabFileEntry& f) const;
    const std::string& ReportName() const { return out_.IsOpen() ? c_.FileName() : path_; }

    TUnCAB& c_;
    ProgressMeter progress_;
    InputFile file_;
    std::string path_;
    Cabinet cab_;
    std::uint16_t firstSetId_ = 0;
    CabinetVisits visits_;
    int matched_ = 0;
    std::unique_ptr<FolderRun> folder_;  // the folder being served or carried over
    ScratchBytes block_{0xFFFF};         // one data block as stored, at most 65535 bytes
    std::uint64_t budget_ = 0;           // block bytes this cabinet can still hold
    OutputFile out_;
    std::uint64_t written_ = 0;
};

void CabRun::Execute() {
    c_.MakeOutputName("");
    path_ = c_.ArchiveFile();
    if (path_.empty()) c_.ReportError(path_, ecode::BadFileName);
    if (FormatOf(c_.ArcType()).reader != ReaderKind::Cab) c_.ReportError(path_, ecode::BadArchive);
    if (!file_.Open(path_)) c_.ReportError(path_, ecode::OpenError);
    visits_.Add(path_);
    c_.FireNotify(c_.OnActivate);
    if (!ReadRecords()) return;
    firstSetId_ = cab_.setId;
    for (;;) {
        ServeCabinet();
        if (!cab_.HasNext()) break;
        const std::uint16_t leftSet = cab_.setId;
        const std::string leftPath = path_;
        if (!MoveToNext()) break;
        // The set is checked on leaving a cabinet, after its files.
        if (leftSet != firstSetId_) c_.ReportError(leftPath, ecode::CabinetNotInSet);
    }
}

// False when the cabinet ends inside its header or before its first folder
// entry; a wrong signature or a damaged cabinet name is reported.
bool CabRun::ReadRecords() {
    budget_ = file_.Size();
    switch (ReadCabinet(file_, cab_)) {
        case HeaderResult::Ok:
            return !cab_.folders.empty();
        case HeaderResult::End:
            return false;
        case HeaderResult::Bad:
            break;
    }
    c_.ReportError(path_, ecode::BadFileHeader);
}

void CabRun::ServeCabinet() {
    const int count = static_cast<int>(cab_.folders.size());
    for (int k = 0; k < count; ++k) {
        ServeFolder(k, k == 0 && cab_.ContinuesPrevious(),
                    k == count - 1 && cab_.ContinuesToNext());
    }
}

// A folder that continues one of the previous cabinet goes on with the
// carried decoder and files; without them (the run began inside a set) it is
// passed over. Files of undecoded folders are passed over with their folder.
void CabRun::ServeFolder(int k, bool continued, bool goesOn) {
    const CabFolderEntry& entry = cab_.folders[static_cast<std::size_t>(k)];
    if (!continued) {
        if (folder_) folder_->cutter.Abort();
        folder_ = std::make_unique<FolderRun>(entry.type, *this);
    }
    if (!folder_) return;
    if (Decodable(entry.type)) {
        for (const CabFileEntry& f : cab_.files) {
            const bool spanning = f.folder == kCabFromPrev || f.folder == kCabPrevAndNext;
            if (cab_.FolderOf(f) == k && !(continued && spanning) && Wanted(f)) {
                folder_->cutter.Add(f);
            }
        }
        folder_->cutter.Start();
        FeedBlocks(entry, goesOn);
    }
    if (goesOn) return;
    if (Decodable(entry.type)) folder_->cutter.End();
    folder_.reset();
}

bool CabRun::Wanted(const CabFileEntry& f) const {
    return !f.name.empty() && c_.MatchesFileSpec(f.name, false);
}

// Feeds the folder's data blocks in this cabinet. A folder that goes on in
// the next cabinet is fed whole (files listed there may still need it);
// otherwise feeding stops once no file waits. Blocks of all folders together
// cannot hold more bytes than the cabinet: folders whose blocks overlap are
// damage, not a reason to decode the same bytes again and again.
void CabRun::FeedBlocks(const CabFolderEntry& folder, bool goesOn) {
    const std::size_t headerSize = CabBlockHeaderSize(cab_);
    std::uint64_t pos = folder.dataOffset;
    for (std::uint32_t b = 0; b < folder.blockCount; ++b) {
        if (!goesOn && !folder_->cutter.NeedsData()) return;
        CabBlockHeader header;
        if (ReadCabBlockHeader(file_, pos, cab_, header) != HeaderResult::Ok)
            c_.ReportError(ReportName(), ecode::ReadError);
        const std::uint16_t packed = header.packed;
        if (file_.ReadAt(pos + headerSize, block_.data(), packed) != packed)
            c_.ReportError(ReportName(), ecode::ReadError);
        if (headerSize + packed > budget_) c_.ReportError(path_, ecode::InconsistentHeader);
        budget_ -= headerSize + packed;
        pos += headerSize + packed;
        const bool split = goesOn && b + 1 == folder.blockCount && header.unpacked == 0;
        try {
            folder_->decoder.Block({block_.data(), packed}, split, folder_->cutter);
        } catch (const DecodeError& e) {
            c_.ReportError(ReportName(), e.code);
        }
    }
}

bool CabRun::Begin(const CabFileEntry& f) {
    c_.MakeOutputName(f.name);
    if (c_.CurrentTarget().name.empty()) return false;
    ++matched_;
    if (!c_.ConfirmMember(matched_, f.DosDateTime())) return false;
    try {
        c_.CreateMemberDirs();
        out_ = c_.CreateOutput();
    } catch (const E_RAISE&) {
        c_.ReportWarning(c_.FileName(), ecode::OpenError);
        return false;
    }
    written_ = 0;
    return true;
}

void CabRun::Write(const CabFileEntry& f, std::uint64_t done, const std::uint8_t* data,
                   std::size_t n) {
    std::size_t take = n;
    if (c_.MaxOutputBytes != 0) {
        take = static_cast<std::size_t>(
            std::min<std::uint64_t>(n, c_.MaxOutputBytes - std::min(c_.MaxOutputBytes, written_)));
    }
    try {
        if (take > 0) out_.Write(data, take);
    } catch (const std::system_error&) {
        throw E_RAISE(ecode::WriteError);  // ends the run without a report
    }
    written_ += take;
    progress_.Test(f.size, done + n, false);
}

void CabRun::Finish(const CabFileEntry& f, bool complete) {
    c_.FireEnd(complete);
    c_.CountExtracted();
    c_.FinishOutput(out_, f.DosDateTime(), f.attrs);
}

void CabRun::Misplaced(const CabFileEntry& f) {
    c_.ReportWarning(AnsiToUtf8(StoredFileNamePart(ToBackslashes(f.name))),
                     ecode::InconsistentHeader);
}

// Finds the next cabinet (asking OnNextCabinet when it is missing), refuses
// one already visited, and opens it in place of the current one.
bool CabRun::MoveToNext() {
    std::string next;
    if (!LocateNext(next)) return false;
    const std::string disk = AnsiToUtf8(cab_.nextDisk);
    if (!visits_.Add(next)) {
        c_.ReportWarning(next, ecode::ReadError, disk);
        return false;
    }
    if (!file_.Close()) {
        c_.ReportWarning(path_, ecode::CloseError, disk);
        return false;
    }
    if (!file_.Open(next)) {
        c_.ReportWarning(next, ecode::ReadError, disk);
        return false;
    }
    const Cabinet left = std::move(cab_);
    path_ = next;
    if (!ReadRecords()) {
        c_.ReportWarning(next, ecode::ReadError, disk);
        return false;
    }
    // The carried folder goes on only in a cabinet of the same set that
    // continues it with the same compression.
    if (folder_ && !(cab_.ContinuesPrevious() && cab_.setId == left.setId &&
                     cab_.folders.front().type == folder_->decoder.Type())) {
        folder_->cutter.Abort();
        folder_.reset();
    }
    return true;
}

bool CabRun::LocateNext(std::string& path) {
    const std::string folder = path_.substr(0, path_.rfind('/') + 1);
    path = FindCabinetFile(folder, cab_.nextName);
    if (!path.empty()) return true;
    const std::string name = AnsiToUtf8(cab_.nextName);
    const std::string disk = AnsiToUtf8(cab_.nextDisk);
    if (c_.OnNextCabinet) {
        bool cancel = false;
        c_.OnNextCabinet(c_, name, disk, cancel);
        if (cancel) return false;
        path = FindCabinetFile(folder, cab_.nextName);
        if (!path.empty()) return true;
    }
    c_.ReportWarning(AnsiToUtf8(StoredFileNamePart(ToBackslashes(cab_.nextName))),
                     ecode::FileNotFound, disk);
    return false;
}

void CabRun::Close() noexcept {
    try {
        if (folder_) folder_->cutter.Abort();
    } catch (...) {
        // A handler failed while the run was ending anyway.
    }
    folder_.reset();
    out_.Close();
    file_.Close();
}

void TUnCAB::ExtractMembers() {
    CabRun run(*this);
    ExecuteQuietlyThenDeactivate(run);
}

}  // namespace lumora::archive
