#include "archive/formats/arc/un_arc.h"

#include <algorithm>
#include <optional>
#include <system_error>
#include "archive/formats/format_table.h"

#include "archive/core/crc.h"
#include "archive/core/error_codes.h"
#include "archive/core/input_file.h"
#include "archive/core/match_spec.h"
#include "archive/core/member_output.h"
#include "archive/core/progress.h"
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

class Crc16Sink final : public OutputSink {
public:
    explicit Crc16Sink(OutputSink& out) : out_(out) {}
    void Write(const std::uint8_t* data, std::size_t n) override {
        crc_.Update(data, n);
        out_.Write(data, n);
    }
    std::uint16_t Value() const { return crc_.Value(); }

private:
    OutputSink& out_;
    Crc16 crc_{0};
};

enum class Result { kPassed, kCut, kCrcError, kFailed };

}  // namespace

// One extraction run over an ARC archive.
class ArcRun {
public:
    explicit ArcRun(TUnARC& a) : a_(a), progress_(a, a.ProgressNotify) {}

    void Execute();
    void Close() { file_.Close(); }

private:
    void Member(const ArcHeader& h);
    Result Decode(const ArcHeader& h, OutputFile& out);
    void Skip(const std::string& name) { a_.ReportWarning(name, ecode::FileSkipped); }

    TUnARC& a_;
    InputFile file_;
    ProgressMeter progress_;
    int count_ = 0;
};

// Each member is followed by the next header at its data start plus its
// compressed size, whatever its decoding did.
void ArcRun::Execute() {
    const std::string& archive = a_.ArchiveFile();
    if (archive.empty()) a_.ReportError(archive, ecode::BadFileName);
    if (FormatOf(a_.ArcType()).reader != ReaderKind::Arc)
        a_.ReportError(archive, ecode::BadArchive);
    if (!file_.Open(archive)) a_.ReportError(archive, ecode::OpenError);
    a_.FireNotify(a_.OnActivate);
    std::uint64_t pos =
        a_.ArchiveStart() > 0 ? static_cast<std::uint64_t>(a_.ArchiveStart() - 1) : 0;
    for (;;) {
        ArcHeader h;
        const HeaderResult s = ReadArcHeader(file_, pos, h);
        if (s == HeaderResult::Bad) a_.ReportWarning(archive, ecode::BadArchive);
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
    if (!MatchSpec(h.name, a_.FileSpec(), true)) return Skip(label);
    if (h.method > kArcLastMethod) {
        a_.ReportWarning(label, ecode::UnsupportedMethod);
        return Skip(label);
    }
    a_.MakeOutputName(h.name);
    if (a_.CurrentTarget().name.empty()) return Skip(label);
    if (!a_.ConfirmMember(count_, h.DosDateTime())) return Skip(label);
    OutputFile out;
    try {
        a_.CreateMemberDirs();
        out = a_.CreateOutput();
    } catch (const E_RAISE&) {
        a_.ReportWarning(a_.FileName(), ecode::OpenError);
        return Skip(label);
    }
    const Result r = Decode(h, out);
    if (r == Result::kPassed || r == Result::kCut) {
        ++count_;
        a_.CountExtracted();
        a_.FireEnd(true);
        return;
    }
    if (r == Result::kCrcError) a_.ReportWarning(a_.FileName(), ecode::CrcError);
    Skip(label);
    a_.FireEnd(false);
}

// Decodes into the open output, then writes what is left, dates and closes
// it on every path. A member cut at the output limit is not checked.
Result ArcRun::Decode(const ArcHeader& h, OutputFile& out) {
    MemberOutput sink(&out, a_.MaxOutputBytes);
    Crc16Sink crc(sink);
    MemberSource src(file_, h.dataStart, h.packed, progress_);
    Result r = Result::kPassed;
    try {
        DecodeArcMember(h.method, src, crc);
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
    a_.FinishOutput(out, h.DosDateTime(), std::nullopt);
    if (r == Result::kPassed && crc.Value() != h.crc) r = Result::kCrcError;
    return r;
}

void TUnARC::ExtractMembers() {
    ArcRun run(*this);
    RunThenDeactivate(run, [&] {
        try {
            run.Execute();
        } catch (...) {
            // Errors were reported through OnError; nothing leaves the run.
        }
    });
}

}  // namespace lumora::archive
