#include "archive/formats/arc/un_arc.h"

#include <algorithm>
#include <optional>
#include <system_error>
#include "archive/formats/format_table.h"

#include "archive/core/error_codes.h"
#include "archive/core/input_file.h"
#include "archive/core/match_spec.h"
#include "archive/core/member_output.h"
#include "archive/core/progress.h"
#include "archive/core/reader_run.h"
#include "archive/formats/arc/arc_decode.h"
#include "archive/formats/arc/arc_header.h"
#include "platform/text.h"

namespace lumora::archive {

namespace {

// A member's compressed data; every byte taken drives the progress test.
class MemberSource final : public ByteSource {
public:
    MemberSource(const InputFile& in, std::uint64_t start, std::uint64_t count,
                 ProgressMeter& progress)
        : in_(in), start_(start), count_(count), progress_(progress) {}
    std::size_t Read(std::uint8_t* dst, std::size_t n) override {
        n = static_cast<std::size_t>(std::min<std::uint64_t>(n, count_ - done_));
        const std::size_t got = n == 0 ? 0 : in_.ReadAt(start_ + done_, dst, n);
        done_ += got;
        progress_.Test(count_, done_, false);
        return got;
    }

private:
    const InputFile& in_;
    std::uint64_t start_;
    std::uint64_t count_;
    std::uint64_t done_ = 0;
    ProgressMeter& progress_;
};

enum class Result { kPassed, kCut, kCrcError, kFailed };

}  // namespace

// One extraction run over an ARC archive.
class ArcRun final : public ReaderRun<TUnARC> {
public:
    using ReaderRun::ReaderRun;

    void Execute();

private:
    void Member(const ArcHeader& h);
    Result Decode(const ArcHeader& h, OutputFile& out);
    void Skip(const std::string& name) { reader_.ReportWarning(name, ecode::FileSkipped); }

    int count_ = 0;
};

// Each member is followed by the next header at its data start plus its
// compressed size, whatever its decoding did.
void ArcRun::Execute() {
    OpenFor(ReaderKind::Arc);
    const std::string& archive = reader_.ArchiveFile();
    reader_.FireNotify(reader_.OnActivate);
    std::uint64_t pos = reader_.FirstHeaderOffset();
    for (;;) {
        ArcHeader h;
        const HeaderResult s = ReadArcHeader(file_, pos, h);
        if (s == HeaderResult::Bad) reader_.ReportWarning(archive, ecode::BadArchive);
        if (s != HeaderResult::Ok) break;
        try {
            Member(h);
        } catch (const E_RAISE&) {
            Skip(AnsiToUtf8(h.name));
        }
        pos = h.dataStart + h.packed;
    }
}

void ArcRun::Member(const ArcHeader& h) {
    const std::string label = AnsiToUtf8(h.name);
    if (!reader_.MatchesFileSpec(h.name, true)) return Skip(label);
    if (h.method > kArcLastMethod) {
        reader_.ReportWarning(label, ecode::UnsupportedMethod);
        return Skip(label);
    }
    reader_.MakeOutputName(h.name);
    if (reader_.CurrentTarget().name.empty()) return Skip(label);
    if (!reader_.ConfirmMember(count_, h.DosDateTime())) return Skip(label);
    OutputFile out;
    try {
        reader_.CreateMemberDirs();
        out = reader_.CreateOutput();
    } catch (const E_RAISE&) {
        reader_.ReportWarning(reader_.FileName(), ecode::OpenError);
        return Skip(label);
    }
    const Result r = Decode(h, out);
    if (r == Result::kPassed || r == Result::kCut) {
        ++count_;
        reader_.CountExtracted();
        reader_.FireEnd(true);
        return;
    }
    if (r == Result::kCrcError) reader_.ReportWarning(reader_.FileName(), ecode::CrcError);
    Skip(label);
    reader_.FireEnd(false);
}

// Decodes into the open output, then writes what is left, dates and closes
// it on every path. A member cut at the output limit is not checked.
Result ArcRun::Decode(const ArcHeader& h, OutputFile& out) {
    MemberOutput sink(&out, reader_.MaxOutputBytes, CrcKind::Crc16);
    MemberSource src(file_, h.dataStart, h.packed, progress_);
    Result r = Result::kPassed;
    try {
        DecodeArcMember(h.method, src, sink);
    } catch (const OutputLimitReached&) {
        r = Result::kCut;
    } catch (const DecodeError&) {
        r = Result::kFailed;
    } catch (const std::system_error&) {
        r = Result::kFailed;  // a write error ends the member
    }
    try {
        sink.Flush();
    } catch (const std::system_error&) {
        r = Result::kFailed;
    }
    reader_.FinishOutput(out, h.DosDateTime(), std::nullopt);
    if (r == Result::kPassed && sink.Crc16Value() != h.crc) r = Result::kCrcError;
    return r;
}

void TUnARC::ExtractMembers() {
    ArcRun run(*this);
    ExecuteQuietlyThenDeactivate(run);
}

}  // namespace lumora::archive
