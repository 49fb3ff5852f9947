#include "archive/formats/arj/un_arj.h"

#include <new>
#include <string>

#include "archive/core/case_lookup.h"
#include "archive/core/dos_date.h"
#include "archive/core/error_codes.h"
#include "archive/core/match_spec.h"
#include "archive/core/routines.h"
#include "archive/decoders/member_decode.h"
#include "archive/formats/arj/arj_header.h"
#include "archive/formats/format_table.h"

namespace lumora::archive {

// One extraction run over an ARJ archive and its further volumes; owns
// everything the run opens. Every error ends the run; reports carry the
// volume counter as their VolumeID.
class ArjRun {
public:
    explicit ArjRun(TUnARJ& a) : a_(a), progress_(a, a.ProgressNotify) {}

    // The whole run; no exception leaves it.
    void Run();
    void Close() { file_.Close(); }

private:
    void Execute();
    void OpenArchive();
    void Walk();
    // Reads the header at the current position and moves past the member's
    // data; false at the end-of-archive header.
    bool ReadHeader(bool first);
    // True when the member counts as extracted.
    bool ExtractMember();
    void CheckMember();
    bool Confirm();
    bool WriteParts(OutputFile& out, bool& crcPass);
    bool DecodePart(MemberOutput& sink);
    void FinishMember(OutputFile& out, bool crcPass);
    void NextVolume(bool withinMember);

    [[noreturn]] void Fail(int code, const std::string& file) {
        a_.ReportError(file, code, counter_);
    }
    void Warn(int code, const std::string& file) { a_.ReportWarning(file, code, counter_); }

    TUnARJ& a_;
    InputFile file_;
    ProgressMeter progress_;
    ArjHeader header_;
    std::uint64_t pos_ = 0;
    std::string counter_ = "0";  // volumes opened after the first
    std::string volume_;         // the volume open now
};

void ArjRun::Run() {
    try {
        Execute();
    } catch (const std::bad_alloc&) {
        Warn(ecode::OutOfMemory, a_.ArchiveFile());
    } catch (...) {
        // Reported through OnError before the exception was raised.
    }
}

void ArjRun::Execute() {
    a_.MakeOutputName("");
    OpenArchive();
    a_.FireNotify(a_.OnActivate);
    const std::uint64_t start =
        a_.ArchiveStart() > 0 ? static_cast<std::uint64_t>(a_.ArchiveStart()) - 1 : 0;
    int error = 0;
    if (FindArjHeader(file_, start, a_.ArcType() == atArjExe, pos_, error) != HeaderResult::Ok)
        Fail(error, volume_);
    ReadHeader(true);
    Walk();
}

void ArjRun::OpenArchive() {
    volume_ = a_.ArchiveFile();
    if (volume_.empty()) Fail(ecode::BadFileName, volume_);
    if (FormatOf(a_.ArcType()).reader != ReaderKind::Arj) Fail(ecode::BadArchive, volume_);
    if (!file_.Open(volume_)) Fail(ecode::OpenError, volume_);
}

void ArjRun::Walk() {
    while (ReadHeader(false)) {
        if (header_.fileType == kArjDirectory) continue;  // no events for folders
        if (ExtractMember()) {
            a_.CountExtracted();
            // A plain name has been found: nothing else can match it.
            const std::string& spec = a_.FileSpec();
            if (spec.find_first_of("*?") == std::string::npos) break;
        } else if (header_.flags & kArjContinues) {
            // The rest of the member is met in the next volume as a member
            // of its own, and matched like this one.
            NextVolume(false);
            if (!ReadHeader(true)) Fail(ecode::BadFileHeader, volume_);
        }
    }
}

bool ArjRun::ReadHeader(bool first) {
    int error = 0;
    switch (ReadArjHeader(file_, pos_, first, header_, error)) {
        case HeaderResult::Ok:
            break;
        case HeaderResult::End:
            return false;
        case HeaderResult::Bad:
            Fail(error, volume_);
    }
    // A member whose data reaches past the end is refused before any event.
    if (!first && header_.Next(false) > file_.Size()) Fail(ecode::BadFileHeader, volume_);
    pos_ = header_.Next(first);  // always forward, within the file
    return true;
}

bool ArjRun::ExtractMember() {
    a_.MakeOutputName(header_.name);
    if (a_.CurrentTarget().name.empty()) return false;  // no file part to write
    if (!MatchSpec(header_.name, a_.FileSpec(), false)) {
        Warn(ecode::FileSkipped, a_.FileName());
        return false;
    }
    CheckMember();
    if (!Confirm()) {
        Warn(ecode::FileSkipped, a_.FileName());
        return false;
    }
    OutputFile out;
    try {
        a_.CreateMemberDirs();
        out = a_.CreateOutput();
    } catch (const E_RAISE& e) {
        Warn(e.Code(), a_.FileName());
        FinishMember(out, header_.crc == 0);  // the CRC of no bytes
        return false;
    }
    bool crcPass = false;
    bool extracted = false;
    try {
        extracted = WriteParts(out, crcPass);
    } catch (...) {
        FinishMember(out, false);
        throw;
    }
    FinishMember(out, crcPass);
    return extracted;
}

void ArjRun::CheckMember() {
    const ArjHeader& h = header_;
    if (h.minVersion > 3) Fail(ecode::VersionError, a_.FileName());
    if (h.flags & kArjGarbled) Fail(ecode::PasswordProtected, a_.FileName());
    if (h.method > 4 || (h.method == 4 && h.version == 1))
        Fail(ecode::UnsupportedMethod, a_.FileName());
    if (h.fileType > 1) Fail(ecode::UnknownFileType, a_.FileName());
}

// OnBegin, then (when the output exists) OnFileExists.
bool ArjRun::Confirm() {
    bool accept = true;
    if (a_.OnBegin) a_.OnBegin(a_, a_.FileName(), a_.ExtractedCount() + 1, accept);
    if (accept && a_.OnFileExists && OutputExists(a_.CurrentTarget())) {
        a_.OnFileExists(a_, a_.FileName(), DosDateToDateTime(header_.dosDateTime), accept);
    }
    return accept;
}

// Writes the member and its continuations in the following volumes. Each
// part carries the CRC of its own bytes, and every part is checked. Gives
// whether the member counts as extracted: a stored member only when its
// CRCs passed.
bool ArjRun::WriteParts(OutputFile& out, bool& crcPass) {
    const bool stored = header_.method == 0;
    const std::uint64_t limit = a_.MaxOutputBytes;
    std::uint64_t written = 0;
    bool cut = false;
    crcPass = true;
    for (;;) {
        if (!cut && limit != 0 && written >= limit) cut = true;
        if (!cut) {
            MemberOutput sink(&out, limit == 0 ? 0 : limit - written, CrcKind::Crc32);
            cut = DecodePart(sink);
            written += sink.Total();
            crcPass = crcPass && (cut || sink.Crc() == header_.crc);
        }
        if (!(header_.flags & kArjContinues)) break;
        NextVolume(true);
        if (!ReadHeader(true) || !ReadHeader(false)) Fail(ecode::BadFileHeader, volume_);
        CheckMember();
    }
    return cut || !stored || crcPass;
}

bool ArjRun::DecodePart(MemberOutput& sink) {
    LzhMember m;
    if (header_.method == 0) {
        m.coding = LzhCoding::Stored;
    } else if (header_.method == 4) {
        m.coding = LzhCoding::ArjMethod4;
    } else {
        m.coding = LzhCoding::StaticHuffman;
        m.params = kArjParams;
    }
    m.offset = header_.dataOffset;
    m.packedSize = header_.packedSize;
    m.originalSize = header_.originalSize;
    try {
        return DecodeLzhMember(file_, m, sink, progress_);
    } catch (const E_RAISE& e) {
        Fail(e.Code(), a_.FileName());
    }
}

void ArjRun::FinishMember(OutputFile& out, bool crcPass) {
    if (out.IsOpen()) a_.FinishOutput(out, header_.dosDateTime, std::nullopt);
    if (!crcPass) Warn(ecode::CrcError, a_.FileName());
    a_.FireEnd(crcPass);
}

void ArjRun::NextVolume(bool withinMember) {
    const std::string next = NextVolumeName(a_.ArchiveFile(), counter_);
    if (next.empty()) Fail(ecode::TooManyVolumes, volume_);
    if (!file_.Close()) Fail(ecode::CloseError, volume_);
    auto found = FindFileIgnoringCase(next);
    if (!found) {
        // The handler may now put the next disk in place.
        Warn(ecode::NextDisk, next);
        found = FindFileIgnoringCase(next);
    }
    if (!found) Fail(ecode::FileNotFound, next);
    if (!file_.Open(*found)) Fail(withinMember ? ecode::OpenError : ecode::ReadError, *found);
    volume_ = *found;
    pos_ = 0;
}

void TUnARJ::ExtractMembers() {
    ArjRun run(*this);
    RunThenDeactivate(run, [&] { run.Run(); });
}

}  // namespace lumora::archive
