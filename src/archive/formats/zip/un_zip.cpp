#include "archive/formats/zip/un_zip.h"

#include <optional>
#include <string>
#include "archive/formats/format_table.h"

#include "archive/core/error_codes.h"
#include "archive/core/field_reader.h"
#include "archive/core/match_spec.h"
#include "archive/core/member_output.h"
#include "archive/core/progress.h"
#include "archive/core/reader_run.h"
#include "archive/formats/zip/zip_crypto.h"
#include "archive/formats/zip/zip_decompress.h"
#include "archive/formats/zip/zip_records.h"

namespace lumora::archive {

// One extraction run over a ZIP archive; owns everything the run opens.
class ZipRun final : public ReaderRun<TUnZIP> {
public:
    using ReaderRun::ReaderRun;

    void Execute();

private:
    void OpenArchive();
    std::uint64_t LocateDirectory();
    // The central record at `pos` into `c`; false at the directory's end.
    bool ReadCentral(std::uint64_t pos, ZipCentralRecord& c);
    void Walk(std::uint64_t pos);
    std::string ReadField(std::uint64_t pos, std::size_t n);
    void ExtractMember(const ZipCentralRecord& c);
    bool ExtractPlain(const ZipCentralRecord& c, std::uint64_t data);
    bool ExtractEncrypted(const ZipCentralRecord& c, const ZipLocalHeader& l, std::uint64_t data);
    ZipCryptoKeys FindPassword(const std::uint8_t* header, bool haveHeader,
                               const ZipCentralRecord& c, const ZipLocalHeader& l);
    bool Decode(const ZipCentralRecord& c, std::uint64_t data, std::uint64_t count,
                std::optional<ZipCryptoKeys> keys);

    std::uint64_t base_ = 0;  // added to every offset the archive stores
    int recNum_ = 0;
    std::string password_;  // the password that passed last in this run
    bool nothingExtracted_ = true;
};

void ZipRun::Execute() {
    reader_.MakeOutputName("");
    OpenArchive();
    const std::uint64_t pos = LocateDirectory();
    reader_.FireNotify(reader_.OnActivate);
    Walk(pos);
    if (nothingExtracted_) reader_.ReportError(reader_.ArchiveFile(), ecode::EmptyArchive);
}

void ZipRun::OpenArchive() {
    OpenFor(ReaderKind::Zip);
}

// Gives the position of the first central record and sets the base of the
// stored offsets (see LocateZipDirectory).
std::uint64_t ZipRun::LocateDirectory() {
    const std::string& archive = reader_.ArchiveFile();
    ZipDirectory dir;
    const HeaderResult found =
        LocateZipDirectory(file_, ZipSfxBase(reader_.SfxOffset(), reader_.ArchiveStart()), dir);
    if (!dir.end) reader_.ReportError(archive, ecode::UnknownFileType);
    if (found != HeaderResult::Ok) reader_.ReportError(archive, ecode::HeaderIdError);
    base_ = dir.base;
    return dir.start;
}

bool ZipRun::ReadCentral(std::uint64_t pos, ZipCentralRecord& c) {
    const std::string bytes = ReadBlock(file_, pos, kZipCentralSize);
    FieldReader r(bytes);
    const HeaderResult result = ParseZipCentral(r, c);
    if (result == HeaderResult::Bad) reader_.ReportError(reader_.ArchiveFile(), ecode::ReadError);
    return result == HeaderResult::Ok;
}

std::string ZipRun::ReadField(std::uint64_t pos, std::size_t n) {
    std::string s = ReadBlock(file_, pos, n);
    if (s.size() != n) reader_.ReportError(reader_.ArchiveFile(), ecode::ReadError);
    return s;
}

// Every step moves forward by at least one record, so the walk ends within
// the file whatever the records claim.
void ZipRun::Walk(std::uint64_t pos) {
    ZipCentralRecord c;
    if (!ReadCentral(pos, c)) return;
    for (pos += kZipCentralSize; pos < file_.Size(); pos += kZipCentralSize) {
        const std::string stored = ReadField(pos, c.nameLength);
        pos += c.nameLength;
        const std::string extra = ReadField(pos, c.extraLength);
        ApplyZip64Extra(c, extra);
        const std::string name = ZipMemberName(stored, c.flags, extra);
        reader_.MakeOutputName(name);
        const bool folderOrLabel =
            (c.externalAttrs & (TztvFileAttr::kDirectory | TztvFileAttr::kVolumeID)) != 0;
        if (!folderOrLabel) {
            if (reader_.FileName().empty()) break;
            // A name without a file part ("DIR/", "..") has nothing to write.
            if (!reader_.CurrentTarget().name.empty() && reader_.MatchesFileSpec(name, false)) {
                ExtractMember(c);
            }
        }
        pos += std::uint64_t{c.extraLength} + c.commentLength;
        c = {};
        if (!ReadCentral(pos, c)) break;
    }
}

void ZipRun::ExtractMember(const ZipCentralRecord& c) {
    const std::uint64_t at = c.localOffset + base_;
    ZipLocalHeader local;
    if (ReadZipLocal(file_, at, local) != HeaderResult::Ok)
        reader_.ReportError(reader_.FileName(), ecode::InconsistentHeader);
    ++recNum_;
    bool crcPass = true;  // a skipped member counts as passing
    if (reader_.ConfirmMember(recNum_, local.dosDateTime)) {
        reader_.CreateMemberDirs();
        const std::uint64_t data = local.DataAt(at);
        crcPass = (local.flags & 1) ? ExtractEncrypted(c, local, data) : ExtractPlain(c, data);
    }
    if (!crcPass) reader_.ReportWarning(reader_.FileName(), ecode::CrcError);
    reader_.FireEnd(crcPass);
}

bool ZipRun::Decode(const ZipCentralRecord& c, std::uint64_t data, std::uint64_t count,
                    std::optional<ZipCryptoKeys> keys) {
    OutputFile out = reader_.CreateOutput();
    MemberOutput sink(&out, reader_.MaxOutputBytes);
    MemberByteSource in(file_, data, count, progress_, c.method == 0);
    const ZipMemberData member{c.method, c.flags, count, c.unpackedSize};
    const bool cut = DecompressMember(member, in, keys, sink, reader_.OnMessageBox);
    nothingExtracted_ = false;
    reader_.CountExtracted();
    reader_.FinishOutput(out, c.DosDateTime(), c.externalAttrs);
    return cut || sink.Crc() == c.crc;
}

bool ZipRun::ExtractPlain(const ZipCentralRecord& c, std::uint64_t data) {
    return Decode(c, data, c.packedSize, std::nullopt);
}

bool ZipRun::ExtractEncrypted(const ZipCentralRecord& c, const ZipLocalHeader& l,
                              std::uint64_t data) {
    const std::string header = ReadBlock(file_, data, kZipCryptHeaderSize);
    const bool haveHeader = header.size() == kZipCryptHeaderSize;
    const ZipCryptoKeys keys = FindPassword(BytesOf(header), haveHeader, c, l);
    const std::uint64_t count =
        c.packedSize >= kZipCryptHeaderSize ? c.packedSize - kZipCryptHeaderSize : 0;
    return Decode(c, data + kZipCryptHeaderSize, count, keys);
}

// The run's last good password first (with the central values), then each
// line of Passwords, then up to three rounds of OnGetPassword.
ZipCryptoKeys ZipRun::FindPassword(const std::uint8_t* header, bool haveHeader,
                                   const ZipCentralRecord& c, const ZipLocalHeader& l) {
    ZipCryptoKeys keys;
    auto passes = [&](const std::string& pw, std::uint16_t flags, std::uint16_t time,
                      std::uint32_t crc) {
        return haveHeader && CheckPassword(header, flags, pw, time, crc, keys);
    };
    if (!password_.empty() && passes(password_, c.flags, c.time, c.crc)) return keys;
    for (const std::string& line : reader_.Passwords) {
        password_ = line;
        if (passes(line, l.flags, l.Time(), l.crc)) return keys;
    }
    if (!reader_.OnGetPassword) reader_.ReportError(reader_.FileName(), ecode::EventNotAssigned);
    for (int round = 0; round < 3; ++round) {
        std::string pw = password_;
        bool tryAgain = true;
        reader_.OnGetPassword(reader_, reader_.FileName(), pw, tryAgain);
        if (!tryAgain) break;
        if (passes(pw, l.flags, l.Time(), l.crc)) {
            password_ = pw;
            reader_.Passwords.insert(reader_.Passwords.begin(), pw);
            return keys;
        }
        password_.clear();
        reader_.ReportWarning(reader_.FileName(), ecode::InvalidPassword);
    }
    reader_.ReportError(reader_.FileName(), ecode::PasswordFailed);
}

void TUnZIP::ExtractMembers() {
    ZipRun run(*this);
    RunThenDeactivate(run, [&] {
        try {
            run.Execute();
        } catch (const E_RAISE&) {
            // Already reported through OnError (or silent by design).
        }
    });
}

}  // namespace lumora::archive
