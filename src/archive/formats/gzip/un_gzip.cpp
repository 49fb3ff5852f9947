#include "archive/formats/gzip/un_gzip.h"

#include <string>

#include "archive/formats/format_table.h"

#include "archive/core/dos_date.h"
#include "archive/core/error_codes.h"
#include "archive/core/field_reader.h"
#include "archive/core/member_output.h"
#include "archive/core/member_source.h"
#include "archive/core/progress.h"
#include "archive/core/reader_run.h"
#include "archive/formats/gzip/gzip_header.h"
#include "archive/formats/zip/zip_decompress.h"

namespace lumora::archive {

// One extraction run over a gzip file; owns everything the run opens.
class GzipRun final : public ReaderRun<TUnGZIP> {
public:
    using ReaderRun::ReaderRun;

    void Execute();

private:
    void ExtractMember(const GzipMember& m);
    bool Decode(const GzipMember& m, std::uint32_t dosDate);
    std::uint32_t StoredDate(const GzipMember& m) const;
};

void GzipRun::Execute() {
    reader_.MakeOutputName("");
    OpenFor(ReaderKind::Gzip);
    const std::string& archive = reader_.ArchiveFile();
    const std::string head = ReadBlock(file_, 0, kGzipHeaderSize);
    GzipMember member;
    if (ReadGzipMember(file_, head, member) != HeaderResult::Ok)
        reader_.ReportError(archive, ecode::HeaderIdError);
    reader_.FireNotify(reader_.OnActivate);
    if (head.size() < kGzipHeaderSize) reader_.ReportError(archive, ecode::EmptyArchive);
    ExtractMember(member);
}

// The header's Unix time for gzip, the archive file's date for the others.
std::uint32_t GzipRun::StoredDate(const GzipMember& m) const {
    if (!m.gzip) return reader_.ArchiveDate();
    return m.unixTime != 0 ? UnixToDosDate(static_cast<std::time_t>(m.unixTime)) : 0;
}

void GzipRun::ExtractMember(const GzipMember& m) {
    reader_.MakeOutputName(m.storedName.empty() ? GzipDerivedName(reader_.ArchiveFile())
                                                : m.storedName);
    const std::uint32_t dosDate = StoredDate(m);
    bool crcPass = true;  // a member not decoded counts as passing
    if (reader_.ConfirmMember(1, dosDate)) {
        try {
            reader_.CreateMemberDirs();
            if (m.multipart) reader_.ReportError(reader_.FileName(), ecode::GzipMultipart);
            if (m.encrypted) {
                reader_.ReportWarning(reader_.FileName(), ecode::PasswordProtected);
            } else {
                crcPass = Decode(m, dosDate);
            }
        } catch (...) {
            // Reported already, or nothing to report: the member ends here.
        }
    }
    if (!crcPass) reader_.ReportWarning(reader_.FileName(), ecode::CrcError);
    reader_.FireEnd(crcPass);
}

// Stored and Deflate data is decoded; every other method leaves an empty
// file after the message box. True when the CRC passes.
bool GzipRun::Decode(const GzipMember& m, std::uint32_t dosDate) {
    if (reader_.CurrentTarget().name.empty()) throw E_RAISE(ecode::OpenError);
    OutputFile out = reader_.CreateOutput();
    MemberOutput sink(&out, reader_.MaxOutputBytes);
    const bool decodable = m.gzip && (m.method == 0 || m.method == 8);
    bool cut = false;
    if (decodable) {
        MemberByteSource in(file_, m.dataStart, m.packedSize, progress_, m.method == 0);
        cut = DecompressMember({m.method, 0, m.packedSize, m.unpackedSize}, in, std::nullopt, sink,
                               reader_.OnMessageBox);
    } else if (reader_.OnMessageBox) {
        reader_.OnMessageBox(kInfoCaption, std::string(ErrorText(ecode::UnsupportedMethod)));
    }
    reader_.CountExtracted();
    reader_.FinishOutput(out, dosDate, std::nullopt);
    return !decodable || cut || sink.Crc() == m.crc;
}

// Nothing leaves: errors have been reported through OnError.
void TUnGZIP::ExtractMembers() {
    GzipRun run(*this);
    ExecuteQuietlyThenDeactivate(run);
}

}  // namespace lumora::archive
