#include "archive/formats/zoo/un_zoo.h"

#include <algorithm>
#include <array>
#include <new>
#include <optional>
#include <set>
#include "archive/formats/format_table.h"

#include "archive/core/error_codes.h"
#include "archive/core/le_bytes.h"
#include "archive/core/match_spec.h"
#include "archive/decoders/member_decode.h"

namespace lumora::archive {

namespace {

constexpr std::size_t kArchiveHeaderSize = 34;
constexpr std::size_t kEntrySize = 51;
constexpr std::uint32_t kEntryTag = 0xFDC4A7DC;
constexpr std::size_t kNameOffset = 38;
constexpr std::size_t kNameSize = 13;

struct ZooEntry {
    std::uint8_t method = 0;
    std::uint32_t next = 0;
    std::uint32_t dataOffset = 0;
    std::uint32_t dosDateTime = 0;
    std::uint16_t crc = 0;
    std::uint32_t originalSize = 0;
    std::uint32_t packedSize = 0;
    std::string name;  // the 8.3 name, up to its zero byte
};

ZooEntry ParseEntry(const std::uint8_t* b) {
    ZooEntry e;
    e.method = b[5];
    e.next = Le32(b + 6);
    e.dataOffset = Le32(b + 10);
    e.dosDateTime = std::uint32_t{Le16(b + 14)} << 16 | Le16(b + 16);
    e.crc = Le16(b + 18);
    e.originalSize = Le32(b + 20);
    e.packedSize = Le32(b + 24);
    const auto* name = b + kNameOffset;
    e.name.assign(name, std::find(name, name + kNameSize, 0));
    return e;
}

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
    ZooEntry ReadEntry(std::uint64_t pos);
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
    // twice would make it endless.
    std::set<std::uint64_t> visited;
    for (;;) {
        if (!visited.insert(pos).second) z_.ReportError(z_.ArchiveFile(), ecode::BadFileHeader);
        const ZooEntry e = ReadEntry(pos);
        if (e.next == 0) break;  // the entry that ends the chain
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
    std::array<std::uint8_t, kArchiveHeaderSize> h;
    if (file_.ReadAt(0, h.data(), h.size()) != h.size()) z_.ReportError(archive, ecode::ReadError);
    const std::uint32_t first = Le32(h.data() + 24);
    if (static_cast<std::uint32_t>(first + Le32(h.data() + 28)) != 0)
        z_.ReportError(archive, ecode::BadFileHeader);
    return first;
}

// An entry outside the file, with a wrong tag or with data past the end of
// the file ends the walk.
ZooEntry ZooRun::ReadEntry(std::uint64_t pos) {
    std::array<std::uint8_t, kEntrySize> b;
    if (pos + b.size() > file_.Size() || file_.ReadAt(pos, b.data(), b.size()) != b.size() ||
        Le32(b.data()) != kEntryTag) {
        z_.ReportError(z_.ArchiveFile(), ecode::BadFileHeader);
    }
    const ZooEntry e = ParseEntry(b.data());
    if (e.next != 0 && std::uint64_t{e.dataOffset} + e.packedSize > file_.Size())
        z_.ReportError(z_.ArchiveFile(), ecode::BadFileHeader);
    return e;
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
