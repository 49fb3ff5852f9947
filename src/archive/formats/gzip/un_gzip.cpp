#include "archive/formats/gzip/un_gzip.h"

#include <string>

#include "archive/formats/format_table.h"

#include "archive/core/dos_date.h"
#include "archive/core/error_codes.h"
#include "archive/core/field_reader.h"
#include "archive/core/member_output.h"
#include "archive/core/member_source.h"
#include "archive/core/progress.h"
#include "archive/formats/gzip/gzip_header.h"
#include "archive/formats/zip/zip_decompress.h"

namespace lumora::archive {

// One extraction run over a gzip file; owns everything the run opens.
class GzipRun {
public:
    explicit GzipRun(TUnGZIP& g) : g_(g), progress_(g, g.ProgressNotify) {}

    void Execute();
    void Close() { file_.Close(); }

private:
    void ExtractMember(const GzipMember& m);
    bool Decode(const GzipMember& m, std::uint32_t dosDate);
    std::uint32_t StoredDate(const GzipMember& m) const;

    TUnGZIP& g_;
    InputFile file_;
    ProgressMeter progress_;
};

void GzipRun::Execute() {
    g_.MakeOutputName("");
    const std::string& archive = g_.ArchiveFile();
    if (archive.empty()) g_.ReportError(archive, ecode::BadFileName);
    if (FormatOf(g_.ArcType()).reader != ReaderKind::Gzip)
        g_.ReportError(archive, ecode::BadArchive);
    if (!file_.Open(archive)) g_.ReportError(archive, ecode::OpenError);
    const std::string head = ReadBlock(file_, 0, kGzipHeaderSize);
    GzipMember member;
    if (ReadGzipMember(file_, head, member) != HeaderResult::Ok)
        g_.ReportError(archive, ecode::HeaderIdError);
    g_.FireNotify(g_.OnActivate);
    if (head.size() < kGzipHeaderSize) g_.ReportError(archive, ecode::EmptyArchive);
    ExtractMember(member);
}

// The header's Unix time for gzip, the archive file's date for the others.
std::uint32_t GzipRun::StoredDate(const GzipMember& m) const {
    if (!m.gzip) return g_.ArchiveDate();
    return m.unixTime != 0 ? UnixToDosDate(static_cast<std::time_t>(m.unixTime)) : 0;
}

void GzipRun::ExtractMember(const GzipMember& m) {
    g_.MakeOutputName(m.storedName.empty() ? GzipDerivedName(g_.ArchiveFile()) : m.storedName);
    const std::uint32_t dosDate = StoredDate(m);
    bool crcPass = true;  // a member not decoded counts as passing
    if (g_.ConfirmMember(1, dosDate)) {
        try {
            g_.CreateMemberDirs();
            if (m.multipart) g_.ReportError(g_.FileName(), ecode::GzipMultipart);
            if (m.encrypted) {
                g_.ReportWarning(g_.FileName(), ecode::PasswordProtected);
            } else {
                crcPass = Decode(m, dosDate);
            }
        } catch (...) {
            // Reported already, or nothing to report: the member ends here.
        }
    }
    if (!crcPass) g_.ReportWarning(g_.FileName(), ecode::CrcError);
    g_.FireEnd(crcPass);
}

// Stored and Deflate data is decoded; every other method leaves an empty
// file after the message box. True when the CRC passes.
bool GzipRun::Decode(const GzipMember& m, std::uint32_t dosDate) {
    if (g_.CurrentTarget().name.empty()) throw E_RAISE(ecode::OpenError);
    OutputFile out = g_.CreateOutput();
    MemberOutput sink(&out, g_.MaxOutputBytes);
    const bool decodable = m.gzip && (m.method == 0 || m.method == 8);
    bool cut = false;
    if (decodable) {
        MemberByteSource in(file_, m.dataStart, m.packedSize, progress_, m.method == 0);
        cut = DecompressMember({m.method, 0, m.packedSize, m.unpackedSize}, in, std::nullopt, sink,
                               g_.OnMessageBox);
    } else if (g_.OnMessageBox) {
        g_.OnMessageBox(kInfoCaption, std::string(ErrorText(ecode::UnsupportedMethod)));
    }
    g_.CountExtracted();
    g_.FinishOutput(out, dosDate, std::nullopt);
    return !decodable || cut || sink.Crc() == m.crc;
}

// Nothing leaves: errors have been reported through OnError.
void TUnGZIP::ExtractMembers() {
    GzipRun run(*this);
    RunThenDeactivate(run, [&] {
        try {
            run.Execute();
        } catch (...) {
        }
    });
}

}  // namespace lumora::archive
