#include "archive/formats/rar/un_rar.h"

#include <optional>
#include <string>
#include <system_error>

#include "archive/core/error_codes.h"
#include "archive/core/match_spec.h"
#include "archive/core/member_output.h"
#include "archive/core/reader_run.h"
#include "archive/core/stored_name.h"
#include "archive/formats/rar/rar_extract.h"
#include "archive/formats/rar/rar_reader.h"
#include "platform/text.h"

namespace lumora::archive {

// One extraction run over a RAR archive; owns everything the run opens.
class RarRun final : public ReaderRun<TUnRAR> {
public:
    using ReaderRun::ReaderRun;

    void Execute();

private:
    void ExtractMember(const RarMember& m);
    void CreateFolder(const std::string& name);
    // Writes the current member; 0 or the library's result code.
    int WriteMember(const RarMember& m);

    RarReader rar_;
};

void RarRun::Execute() {
    reader_.MakeOutputName("");
    OpenFor(ReaderKind::Rar);
    const std::string& archive = reader_.ArchiveFile();
    if (const int r = rar_.Open(archive); r != 0)
        reader_.ReportError(archive, r == unrar::ERAR_EOPEN ? ecode::OpenError : ecode::BadArchive);
    reader_.FireNotify(reader_.OnActivate);
    for (;;) {
        RarMember m;
        const int r = rar_.Next(m);
        if (r == unrar::ERAR_END_ARCHIVE) break;
        if (r != 0) {
            reader_.ReportWarning(archive, unrar::RarResultCode(r));
            break;
        }
        ExtractMember(m);
    }
}

void RarRun::ExtractMember(const RarMember& m) {
    const std::string name = ToBackslashes(m.ansiName);
    reader_.MakeOutputName(name);
    if (m.directory) {
        CreateFolder(name);
        return;
    }
    // Links and devices are never written.
    if (m.special || !reader_.MatchesFileSpec(name, false)) {
        rar_.Skip();
        return;
    }
    // A name without a file part has nowhere to go: reported, not passed over.
    if (reader_.CurrentTarget().name.empty()) {
        rar_.Skip();
        reader_.ReportWarning(AnsiToUtf8(name), ecode::BadFileName);
        return;
    }
    // A member passed over by the handlers ends as well as it began.
    if (!reader_.ConfirmMember(reader_.ExtractedCount() + 1, m.dosTime)) {
        rar_.Skip();
        reader_.FireEnd(true);
        return;
    }
    const int r = WriteMember(m);
    if (r != 0) reader_.ReportWarning(reader_.FileName(), unrar::RarResultCode(r));
    reader_.FireEnd(r == 0);
}

// Folders are made only where stored folders are wanted, and only below the
// extraction folder; a failure shows when a member is written there.
void RarRun::CreateFolder(const std::string& name) {
    if (!reader_.UseStoredDirs) return;
    reader_.MakeOutputName(name + '\\');
    try {
        reader_.CreateMemberDirs();
    } catch (const E_RAISE&) {
    }
}

int RarRun::WriteMember(const RarMember& m) {
    if (m.encrypted) return rar_.Decode(nullptr, 0);
    OutputFile out;
    try {
        reader_.CreateMemberDirs();
        out = reader_.CreateOutput();
    } catch (const E_RAISE&) {
        rar_.Skip();
        return unrar::ERAR_ECREATE;
    }
    MemberOutput sink(&out, 0, CrcKind::None);
    int r = 0;
    try {
        r = rar_.Decode(&sink, reader_.MaxOutputBytes);
        sink.Flush();
    } catch (const std::system_error&) {
        r = unrar::ERAR_EWRITE;
    }
    reader_.CountExtracted();
    const bool dosAttributes = m.hostOs <= 2;
    reader_.FinishOutput(out, m.dosTime,
                         dosAttributes ? std::optional<std::uint32_t>(m.attributes) : std::nullopt);
    return r;
}

// Reported errors leave after the clean-up; running out of memory ends the
// run with a warning.
void TUnRAR::ExtractMembers() {
    RarRun run(*this);
    ExecuteThenDeactivate(run);
}

}  // namespace lumora::archive
