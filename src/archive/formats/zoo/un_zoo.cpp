#include "archive/formats/zoo/un_zoo.h"

#include <optional>
#include <set>

#include "archive/core/error_codes.h"
#include "archive/core/match_spec.h"
#include "archive/decoders/member_decode.h"
#include "archive/formats/format_table.h"
#include "archive/formats/zoo/zoo_header.h"

#include "archive/core/reader_run.h"

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
class ZooRun final : public ReaderRun<TUnZOO> {
public:
    using ReaderRun::ReaderRun;

    void Execute();

private:
    std::uint32_t OpenArchive();
    void ExtractMember(const ZooEntry& e);
    // Writes the member; nullopt when an error (reported) ended it.
    std::optional<bool> WriteMember(const ZooEntry& e);
};

void ZooRun::Execute() {
    reader_.MakeOutputName("");
    std::uint64_t pos = OpenArchive();
    reader_.FireNotify(reader_.OnActivate);
    // The chain is followed by positions stored in the file: an entry met
    // twice would make it endless. An entry outside the file, with a wrong
    // tag or with data past the end of the file ends the walk.
    std::set<std::uint64_t> visited;
    for (;;) {
        if (!visited.insert(pos).second)
            reader_.ReportError(reader_.ArchiveFile(), ecode::BadFileHeader);
        ZooEntry e;
        const HeaderResult r = ReadZooEntry(file_, pos, e);
        if (r == HeaderResult::Bad)
            reader_.ReportError(reader_.ArchiveFile(), ecode::BadFileHeader);
        if (r == HeaderResult::End) break;
        ExtractMember(e);
        pos = e.next;
    }
}

// Gives the position of the first entry.
std::uint32_t ZooRun::OpenArchive() {
    OpenFor(ReaderKind::Zoo);
    const std::string& archive = reader_.ArchiveFile();
    ZooArchiveHeader h;
    if (ReadZooArchiveHeader(file_, h) != HeaderResult::Ok)
        reader_.ReportError(archive, h.cut ? ecode::ReadError : ecode::BadFileHeader);
    return h.firstEntry;
}

void ZooRun::ExtractMember(const ZooEntry& e) {
    reader_.MakeOutputName(e.name);
    if (reader_.CurrentTarget().name.empty()) return;
    if (!reader_.MatchesFileSpec(e.name, false)) return;
    if (!reader_.ConfirmMember(reader_.ExtractedCount() + 1, e.dosDateTime)) return;
    const std::optional<bool> crcPass = WriteMember(e);
    if (!crcPass) return;
    if (!*crcPass) reader_.ReportWarning(reader_.FileName(), ecode::CrcError);
    reader_.FireEnd(*crcPass);
}

std::optional<bool> ZooRun::WriteMember(const ZooEntry& e) {
    try {
        std::optional<LzhMember> m = ZooCoding(e.method);
        if (!m) throw E_RAISE(ecode::UnsupportedMethod);
        m->offset = e.dataOffset;
        m->packedSize = e.packedSize;
        m->originalSize = e.originalSize;
        reader_.CreateMemberDirs();
        OutputFile out = reader_.CreateOutput();
        MemberOutput sink(&out, reader_.MaxOutputBytes, CrcKind::Crc16);
        const bool cut = DecodeLzhMember(file_, *m, sink, progress_);
        reader_.CountExtracted();
        reader_.FinishOutput(out, e.dosDateTime, std::nullopt);
        return cut || sink.Crc16Value() == e.crc;
    } catch (const E_RAISE& err) {
        // The member ends here; the walk goes on with the next entry.
        reader_.ReportWarning(reader_.FileName(), err.Code());
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
