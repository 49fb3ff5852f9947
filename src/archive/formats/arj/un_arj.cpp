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

#include "archive/core/reader_run.h"

namespace lumora::archive {

// One extraction run over an ARJ archive and its further volumes; owns
// everything the run opens. Every error ends the run; reports carry the
// volume counter as their VolumeID.
class ArjRun final : public ReaderRun<TUnARJ> {
public:
    using ReaderRun::ReaderRun;

    // The whole run; no exception leaves it.
    void Run();

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
        reader_.ReportError(file, code, counter_);
    }
    void Warn(int code, const std::string& file) { reader_.ReportWarning(file, code, counter_); }

    ArjHeader header_;
    std::uint64_t pos_ = 0;
    std::string counter_ = "0";  // volumes opened after the first
    std::string volume_;         // the volume open now
};

void ArjRun::Run() {
    try {
        Execute();
    } catch (const std::bad_alloc&) {
        Warn(ecode::OutOfMemory, reader_.ArchiveFile());
    } catch (...) {
        // Reported through OnError before the exception was raised.
    }
}

void ArjRun::Execute() {
    reader_.MakeOutputName("");
    OpenArchive();
    reader_.FireNotify(reader_.OnActivate);
    const std::uint64_t start = reader_.FirstHeaderOffset();
    int error = 0;
    if (FindArjHeader(file_, start, reader_.ArcType() == atArjExe, pos_, error) != HeaderResult::Ok)
        Fail(error, volume_);
    ReadHeader(true);
    Walk();
}

void ArjRun::OpenArchive() {
    volume_ = reader_.ArchiveFile();
    if (volume_.empty()) Fail(ecode::BadFileName, volume_);
    if (FormatOf(reader_.ArcType()).reader != ReaderKind::Arj) Fail(ecode::BadArchive, volume_);
    file_ = reader_.OpenArchiveInput();
    if (!file_.IsOpen()) Fail(ecode::OpenError, volume_);
}

void ArjRun::Walk() {
    while (ReadHeader(false)) {
        if (header_.fileType == kArjDirectory) continue;  // no events for folders
        if (ExtractMember()) {
            reader_.CountExtracted();
            // A plain name has been found: nothing else can match it.
            const std::string& spec = reader_.FileSpec();
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
    reader_.MakeOutputName(header_.name);
    if (reader_.CurrentTarget().name.empty()) return false;  // no file part to write
    if (!reader_.MatchesFileSpec(header_.name, false)) {
        Warn(ecode::FileSkipped, reader_.FileName());
        return false;
    }
    CheckMember();
    if (!Confirm()) {
        Warn(ecode::FileSkipped, reader_.FileName());
        return false;
    }
    OutputFile out;
    try {
        reader_.CreateMemberDirs();
        out = reader_.CreateOutput();
    } catch (const E_RAISE& e) {
        Warn(e.Code(), reader_.FileName());
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
    if (h.minVersion > 3) Fail(ecode::VersionError, reader_.FileName());
    if (h.flags & kArjGarbled) Fail(ecode::PasswordProtected, reader_.FileName());
    if (h.method > 4 || (h.method == 4 && h.version == 1))
        Fail(ecode::UnsupportedMethod, reader_.FileName());
    if (h.fileType > 1) Fail(ecode::UnknownFileType, reader_.FileName());
}

// OnBegin, then (when the output exists) OnFileExists.
bool ArjRun::Confirm() {
    bool accept = true;
    if (reader_.OnBegin)
        reader_.OnBegin(reader_, reader_.FileName(), reader_.ExtractedCount() + 1, accept);
    if (accept && reader_.OnFileExists && OutputExists(reader_.CurrentTarget())) {
        reader_.OnFileExists(reader_, reader_.FileName(), DosDateToDateTime(header_.dosDateTime),
                             accept);
    }
    return accept;
}

// Writes the member and its continuations in the following volumes. Each
// part carries the CRC of its own bytes, and every part is checked. Gives
// whether the member counts as extracted: a stored member only when its
// CRCs passed.
bool ArjRun::WriteParts(OutputFile& out, bool& crcPass) {
    const bool stored = header_.method == 0;
    const std::uint64_t limit = reader_.MaxOutputBytes;
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
        Fail(e.Code(), reader_.FileName());
    }
}

void ArjRun::FinishMember(OutputFile& out, bool crcPass) {
    if (out.IsOpen()) reader_.FinishOutput(out, header_.dosDateTime, std::nullopt);
    if (!crcPass) Warn(ecode::CrcError, reader_.FileName());
    reader_.FireEnd(crcPass);
}

void ArjRun::NextVolume(bool withinMember) {
    const std::string next = NextVolumeName(reader_.ArchiveFile(), counter_);
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
