#include "archive/formats/lha/un_lha.h"

#include <new>
#include <optional>

#include "archive/core/dos_date.h"
#include "archive/core/error_codes.h"
#include "archive/core/match_spec.h"
#include "archive/decoders/member_decode.h"
#include "archive/formats/format_table.h"
#include "archive/formats/lha/lha_header.h"

#include "archive/core/reader_run.h"

namespace lumora::archive {

namespace {

// The coding of a method identifier, judged by its framing dashes and its
// fourth character (LArc's "-lz" methods by their own table); nullopt for
// every method this reader does not decode.
std::optional<LzhMember> LhaCoding(const std::string& method) {
    if (method.size() != 5 || method[0] != '-' || method[4] != '-') return std::nullopt;
    LzhMember m;
    if (method.compare(1, 2, "lz") == 0) {
        if (method[3] == '4') return m;  // stored
        if (method[3] != '5') return std::nullopt;
        m.coding = LzhCoding::Lz5;
        return m;
    }
    static constexpr StaticHuffmanParams kStatic[] = {kLh4Params, kLh5Params, kLh6Params,
                                                      kLh7Params};
    switch (method[3]) {
        case '0':
            m.coding = LzhCoding::Stored;
            return m;
        case '1':
            m.coding = LzhCoding::Lh1;
            return m;
        case '4':
        case '5':
        case '6':
        case '7':
            m.coding = LzhCoding::StaticHuffman;
            m.params = kStatic[method[3] - '4'];
            return m;
        default:
            return std::nullopt;
    }
}

// A folder entry: listed, never written as a file.
bool IsFolder(const LhaHeader& h) {
    return h.method == "-lhd-";
}

// The name a member is matched and written under: the name field at levels
// 0 and 1, the directory and file name of the extended headers at levels 2
// and 3, which have no name field.
const std::string& OutputName(const LhaHeader& h) {
    return h.level < 2 ? h.storedName : h.name;
}

// The DOS stamp of levels 0 and 1; levels 2 and 3 have Unix times.
std::uint32_t DosStamp(const LhaHeader& h) {
    if (h.level < 2) return h.stamp;
    return UnixToDosDate(static_cast<std::time_t>(h.unixTime.value_or(h.stamp)));
}

}  // namespace

// One extraction run over an LHA archive; owns everything the run opens.
class LhaRun final : public ReaderRun<TUnLHA> {
public:
    using ReaderRun::ReaderRun;

    void Execute();

private:
    void OpenArchive();
    void ExtractMember(const LhaHeader& h);
    // Writes the member; false when it ended before its CRC could be checked.
    bool WriteMember(const LhaHeader& h, LzhMember m, bool& crcPass);
};

void LhaRun::Execute() {
    reader_.MakeOutputName("");
    OpenArchive();
    std::uint64_t pos = reader_.FirstHeaderOffset();
    reader_.FireNotify(reader_.OnActivate);
    for (;;) {
        LhaHeader h;
        const HeaderResult read = ReadLhaHeader(file_, pos, LhaHeaderUse::Extract, h);
        if (read == HeaderResult::End) break;
        if (read == HeaderResult::Bad) {
            reader_.ReportWarning(reader_.ArchiveFile(), ecode::BadFileHeader);
            break;
        }
        ExtractMember(h);
        pos = h.next;  // beyond the header and within the file, so the walk ends
    }
}

void LhaRun::OpenArchive() {
    OpenFor(ReaderKind::Lha);
}

void LhaRun::ExtractMember(const LhaHeader& h) {
    const std::string& name = OutputName(h);
    reader_.MakeOutputName(name);
    // Folder entries and names without a file part have nothing to write.
    if (IsFolder(h) || reader_.CurrentTarget().name.empty()) return;
    if (!reader_.MatchesFileSpec(name, false)) return;
    if (!reader_.ConfirmMember(reader_.ExtractedCount() + 1, DosStamp(h))) return;
    bool crcPass = false;
    if (const auto coding = LhaCoding(h.method)) {
        if (!WriteMember(h, *coding, crcPass)) return;
    } else {
        // Nothing is written, so the CRC of no bytes (0) is compared.
        reader_.ReportWarning(reader_.FileName(), ecode::UnsupportedMethod);
        crcPass = h.crc == 0;
    }
    if (!crcPass) reader_.ReportWarning(reader_.FileName(), ecode::CrcError);
    reader_.FireEnd(crcPass);
}

bool LhaRun::WriteMember(const LhaHeader& h, LzhMember m, bool& crcPass) {
    OutputFile out;
    try {
        reader_.CreateMemberDirs();
        out = reader_.CreateOutput();
    } catch (const E_RAISE& e) {
        reader_.ReportWarning(reader_.FileName(), e.Code());
        return false;
    }
    m.offset = h.dataOffset;
    m.packedSize = h.dataSize;
    m.originalSize = h.originalSize;
    MemberOutput sink(&out, reader_.MaxOutputBytes, CrcKind::Crc16);
    bool cut = false;
    try {
        cut = DecodeLzhMember(file_, m, sink, progress_);
        reader_.CountExtracted();
    } catch (const E_RAISE& e) {
        reader_.ReportWarning(reader_.FileName(), e.Code());
    }
    out.Close();
    crcPass = cut || sink.Crc16Value() == h.crc;
    return true;
}

void TUnLHA::ExtractMembers() {
    LhaRun run(*this);
    // Errors of the set-up (already reported) and of the handlers leave the
    // run after the clean-up.
    ExecuteThenDeactivate(run);
}

}  // namespace lumora::archive
