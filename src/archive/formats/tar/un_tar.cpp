#include "archive/formats/tar/un_tar.h"

#include <algorithm>
#include <new>
#include <optional>
#include "archive/formats/format_table.h"

#include "archive/core/copy_stored.h"
#include "archive/core/dos_date.h"
#include "archive/core/error_codes.h"
#include "archive/core/match_spec.h"
#include "archive/core/member_output.h"
#include "archive/core/progress.h"
#include "archive/core/reader_run.h"
#include "archive/core/stored_name.h"
#include "archive/formats/tar/tar_header.h"

namespace lumora::archive {

// One extraction run over a TAR archive; owns everything the run opens.
class TarRun final : public ReaderRun<TUnTAR> {
public:
    using ReaderRun::ReaderRun;

    void Execute();

private:
    bool Step(std::uint64_t& pos);
    void ReadLongName(const TarHeader& h, std::uint64_t data);
    void CreateFolder(const std::string& name);
    // False when the member was skipped through OnFileExists or OnBegin.
    bool ExtractMember(const TarHeader& h, std::uint64_t data);
    void CopyData(const TarHeader& h, std::uint64_t data, OutputFile& out);

    int extracted_ = 0;
    std::string longName_;  // from a long-name or pax record, for the next member
};

void TarRun::Execute() {
    reader_.MakeOutputName("");
    OpenFor(ReaderKind::Tar);
    reader_.FireNotify(reader_.OnActivate);
    // ArchiveStart is 513 after a volume-label block.
    std::uint64_t pos = reader_.FirstHeaderOffset();
    while (Step(pos)) {
    }
}

// Handles the header block at `pos` and moves `pos` to the next one; false
// when the walk ends. Every step moves forward and stays within the file.
bool TarRun::Step(std::uint64_t& pos) {
    TarHeader h;
    if (ParseTarHeader(ReadBlock(file_, pos, kTarBlock), h) != HeaderResult::Ok) return false;
    const std::uint64_t data = pos + kTarBlock;
    if (h.IsLongName()) {
        ReadLongName(h, data);
    } else if (!h.KeepsLongName()) {
        const std::string name = ToBackslashes(TarMemberName(h, longName_));
        longName_.clear();
        reader_.MakeOutputName(name);
        if (h.IsDirectory()) {
            CreateFolder(name);
            pos = data;
            return true;
        }
        // A name without a file part ("DIR\", "..") has nothing to write.
        if (h.IsFile() && !reader_.CurrentTarget().name.empty() &&
            MatchSpec(WithoutRoot(name), WithoutRoot(reader_.FileSpec()), false)) {
            if (ExtractMember(h, data) && reader_.FileSpec().find('*') == std::string::npos)
                return false;
        }
    }
    if (!h.HasData()) {
        pos = data;
        return true;
    }
    if (h.size > file_.Size() - std::min(data, file_.Size())) {
        reader_.ReportError(reader_.FileName(), ecode::BadFileHeader);
    }
    pos = data + h.PaddedSize();
    return true;
}

// The record's data (at most kTarMaxLongName bytes) names the next member.
void TarRun::ReadLongName(const TarHeader& h, std::uint64_t data) {
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(h.size, kTarMaxLongName));
    longName_ = TarLongName(h.type, ReadBlock(file_, data, n));
}

// Folders are made only where stored folders are wanted, and only below
// the extraction folder; a failure shows when a member is written there.
void TarRun::CreateFolder(const std::string& name) {
    if (!reader_.UseStoredDirs) return;
    reader_.MakeOutputName(name.back() == '\\' ? name : name + '\\');
    try {
        reader_.CreateMemberDirs();
    } catch (const E_RAISE&) {
    }
}

bool TarRun::ExtractMember(const TarHeader& h, std::uint64_t data) {
    const std::uint32_t dosDate = UnixToDosDate(static_cast<std::time_t>(h.unixTime));
    if (!reader_.ConfirmMember(extracted_ + 1, dosDate)) {
        reader_.FireEnd(true);
        return false;
    }
    OutputFile out;
    try {
        reader_.CreateMemberDirs();
        out = reader_.CreateOutput();
    } catch (const E_RAISE&) {
        reader_.ReportError(reader_.FileName(), ecode::OpenError);
    }
    // The file gets its date, is closed and OnEnd fires also when the copy
    // fails; the failure then leaves.
    try {
        CopyData(h, data, out);
    } catch (...) {
        reader_.FinishOutput(out, dosDate, std::nullopt);
        reader_.FireEnd(true);
        throw;
    }
    ++extracted_;
    reader_.CountExtracted();
    reader_.FinishOutput(out, dosDate, std::nullopt);
    reader_.FireEnd(true);
    return true;
}

// Data cut short reports 25135 after what was there has been written; a
// member cut at MaxOutputBytes counts as extracted.
void TarRun::CopyData(const TarHeader& h, std::uint64_t data, OutputFile& out) {
    MemberOutput sink(&out, reader_.MaxOutputBytes, CrcKind::None);
    try {
        CopyStored(file_, data, h.size, sink, progress_);
    } catch (const OutputLimitReached&) {
    } catch (const E_RAISE& e) {
        sink.Flush();
        reader_.ReportError(reader_.FileName(), e.Code());
    }
    sink.Flush();
}

// Reported errors leave after the clean-up; running out of memory ends the
// run with a warning.
void TUnTAR::ExtractMembers() {
    TarRun run(*this);
    ExecuteThenDeactivate(run);
}

}  // namespace lumora::archive
