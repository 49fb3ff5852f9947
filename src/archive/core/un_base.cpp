#include "archive/core/un_base.h"

#include "archive/core/dos_date.h"
#include "archive/core/error_codes.h"

namespace lumora::archive {

TUnBase::TUnBase() {
    SetFileSpec("*.*");
}

void TUnBase::Extract() {
    extractedCount_ = 0;
    ExtractMembers();
}

bool TUnBase::ConfirmMember(int recNum, std::uint32_t storedDate) {
    bool extract = true;
    if (OnFileExists && !memorySink_ && OutputExists(CurrentTarget())) {
        OnFileExists(*this, FileName(), DosDateToDateTime(storedDate), extract);
    }
    if (extract && OnBegin) OnBegin(*this, FileName(), recNum, extract);
    return extract;
}

void TUnBase::CreateMemberDirs() {
    if (memorySink_) return;
    if (!CreateOutputDirs(CurrentTarget())) throw E_RAISE(ecode::OpenError);
}

OutputFile TUnBase::CreateOutput() {
    OutputFile file;
    if (memorySink_) {
        // A name no file could take fails here as it would on disk.
        if (CurrentTarget().name.empty()) throw E_RAISE(ecode::OpenError);
        if (CurrentTarget().FullPath() == memoryKeepPath_) {
            memorySink_->clear();
            memoryKept_ = true;
            file = OutputFile::InMemory(*memorySink_, memoryLimit_);
        } else {
            file = OutputFile::InMemory(memoryDropped_, 0);
        }
    } else if (!file.Create(CurrentTarget())) {
        throw E_RAISE(ecode::OpenError);
    }
    ++outputsCreated_;
    lastOutputPath_ = CurrentTarget().FullPath();
    return file;
}

void TUnBase::FinishOutput(OutputFile& file, std::uint32_t dosDate,
                           std::optional<std::uint32_t> attrs) {
    if (SetDateTo == TSetDate::OrigDate && !file.InMemory()) {
        if (const auto t = localTime_.ToUnix(dosDate)) file.SetDate(*t);
    }
    // Only the MS-DOS read-only bit is honoured; permission bits stored by
    // other systems (execute, setuid) never reach the host.
    if (attrs && (*attrs & TztvFileAttr::kReadOnly)) file.SetReadOnly();
    file.Close();
}

void TUnBase::FireEnd(bool crcPass) {
    if (OnEnd) OnEnd(*this, FileName(), crcPass);
}

}  // namespace lumora::archive
