#include "archive/formats/zoo/un_zoo.h"

#include <optional>
#include <set>

#include "archive/core/error_codes.h"
#include "archive/core/match_spec.h"
#include "archive/decoders/member_decode.h"
#include "archive/formats/format_table.h"
#include "archive/formats/zoo/zoo_header.h"

namespace lumora::archive {

namespace {

std::optional<LzhMember> ZooCoding(std::uint8_t method) {
    LzhMember m;
    switch (method) {
        case 0:
            m.coding = LzhCoding::Stored;
            return m;
        case 1:
            m.coding = LzhCoding::ZooLzw;
            return m;
        case 2:
            m.coding = LzhCoding::StaticHuffman;
            m.params = kZooLzhParams;
            return m;
        default:
            return std::nullopt;
    }
}

}  // namespace

// One extraction run over a ZOO archive; owns everything the run opens.
class ZooRun {
public:
    explicit ZooRun(TUnZOO& z) : z_(z), progress_(z, z.ProgressNotify) {}

    void Execute();
    void Close() { file_.Close(); }

private:
    std::uint32_t OpenArchive();
    void ExtractMember(const ZooEntry& e);
    // Writes the member; nullopt when an error (reported) ended it.
    std::optional<bool> WriteMember(const ZooEntry& e);

    TUnZOO& z_;
    InputFile file_;
    ProgressMeter progress_;
};

void ZooRun::Execute() {
    z_.MakeOutputName("");
    std::uint64_t pos = OpenArchive();
    z_.FireNotify(z_.OnActivate);
    // The chain is followed by positions stored in the file: an entry met
    // twice would make it endless. An entry outside the file, with a wrong
    // tag or with data past the end of the file ends the walk.
    std::set<std::uint64_t> visited;
    for (;;) {
        if (!visited.insert(pos).second) z_.ReportError(z_.ArchiveFile(), ecode::BadFileHeader);
        ZooEntry e;
        const HeaderResult r = ReadZooEntry(file_, pos, e);
        if (r == HeaderResult::Bad) z_.ReportError(z_.ArchiveFile(), ecode::BadFileHeader);
        if (r == HeaderResult::End) break;
        ExtractMember(e);
        pos = e.next;
    }
}

// Gives the position of the first entry.
std::uint32_t ZooRun::OpenArchive() {
    const std::string& archive = z_.ArchiveFile();
    if (archive.empty()) z_.ReportError(archive, ecode::BadFileName);
    if (FormatOf(z_.ArcType()).reader != ReaderKind::Zoo)
        z_.ReportError(archive, ecode::BadArchive);
    if (!file_.Open(archive)) z_.ReportError(archive, ecode::OpenError);
    ZooArchiveHeader h;
    if (ReadZooArchiveHeader(file_, h) != HeaderResult::Ok)
        z_.ReportError(archive, h.cut ? ecode::ReadError : ecode::BadFileHeader);
    return h.firstEntry;
}

void ZooRun::ExtractMember(const ZooEntry& e) {
    z_.MakeOutputName(e.name);
    if (z_.CurrentTarget().name.empty()) return;
    if (!MatchSpec(e.name, z_.FileSpec(), false)) return;
    if (!z_.ConfirmMember(z_.ExtractedCount() + 1, e.dosDateTime)) return;
    const std::optional<bool> crcPass = WriteMember(e);
    if (!crcPass) return;
    if (!*crcPass) z_.ReportWarning(z_.FileName(), ecode::CrcError);
    z_.FireEnd(*crcPass);
}

std::optional<bool> ZooRun::WriteMember(const ZooEntry& e) {
    try {
        std::optional<LzhMember> m = ZooCoding(e.method);
        if (!m) throw E_RAISE(ecode::UnsupportedMethod);
        m->offset = e.dataOffset;
        m->packedSize = e.packedSize;
        m->originalSize = e.originalSize;
        z_.CreateMemberDirs();
        OutputFile out = z_.CreateOutput();
        MemberOutput sink(&out, z_.MaxOutputBytes, CrcKind::Crc16);
        const bool cut = DecodeLzhMember(file_, *m, sink, progress_);
        z_.CountExtracted();
        z_.FinishOutput(out, e.dosDateTime, std::nullopt);
        return cut || sink.Crc16Value() == e.crc;
    } catch (const E_RAISE& err) {
        // The member ends here; the walk goes on with the next entry.
        z_.ReportWarning(z_.FileName(), err.Code());
        return std::nullopt;
    }
}

void TUnZOO::ExtractMembers() {
    ZooRun run(*this);
    // Errors of the archive header and the entry chain (already reported)
    // leave the run after the clean-up.
    ExecuteThenDeactivate(run);
}

}  // namespace lumora::archive
