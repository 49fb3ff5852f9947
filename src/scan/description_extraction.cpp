#include "scan/description_extraction.h"

#include <sys/stat.h>
#include <unistd.h>

#include <exception>
#include <system_error>

#include "archive/core/crc.h"
#include "archive/core/error_codes.h"
#include "archive/core/stored_name.h"
#include "archive/formats/format_table.h"
#include "archive/formats/make_reader.h"
#include "archive/formats/rar/unrar_library.h"
#include "archive/lister/zip_tv.h"
#include "platform/app_dirs.h"
#include "platform/file_info.h"
#include "platform/text.h"
#include "scan/scan_job.h"

namespace lumora {

using archive::TArcType;

namespace {

constexpr const char* kNoDescriptionStatus = "Keine FILE_ID gefunden";

// Reports that say nothing about the member being extracted.
bool IsNeutralCode(int code) {
    return code == archive::ecode::FileSkipped || code == archive::ecode::EmptyArchive ||
           code == archive::ecode::NextDisk;
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::string ExtractedFilePath(const std::string& destFolder, const std::string& memberName) {
    return destFolder + AnsiToUtf8(archive::StoredFileNamePart(memberName));
}

ExtractionHooks HostHooks(ScanHost& host) {
    ExtractionHooks h;
    h.messageBox = [&host](const std::string& caption, const std::string& text) {
        host.MessageBox(caption, text, MsgIcon::Information, MsgButtons::Ok);
    };
    h.showException = [&host](const std::string& text) {
        host.MessageBox("Lumora", text, MsgIcon::None, MsgButtons::Ok);
    };
    return h;
}

DescriptionExtraction::DescriptionExtraction(ExtractionHooks hooks) : hooks_(std::move(hooks)) {
    makeLister = [] { return std::make_unique<archive::TZipTV>(); };
    makeReader = [](TArcType type) { return archive::MakeReader(type); };
}

DescriptionExtraction::~DescriptionExtraction() = default;

archive::TZipTV& DescriptionExtraction::Lister() {
    if (lister_) return *lister_;
    lister_ = makeLister();
    lister_->OnRead = [this](archive::TZipTV& tv, std::uint64_t, int) { CollectMember(tv); };
    lister_->OnError = [this](archive::TZipCommon&, const std::string&, const std::string&,
                              int code) {
        listerMessage_ = std::string(archive::ErrorText(code));
        listerCode_ = code;
        listerFailed_ = true;
    };
    return *lister_;
}

// Only the file-name part counts; per name of the list the first member
// found is kept, so memory does not grow with the archive.
void DescriptionExtraction::CollectMember(const archive::TZipTV& tv) {
    if (!names_) return;
    const std::string_view name = archive::StoredFileNamePart(tv.FileName());
    for (std::size_t i = 0; i < names_->size(); ++i) {
        if (firstMatch_[i].name.empty() && AnsiSameText(name, (*names_)[i])) {
            firstMatch_[i] = {std::string(name), tv.Member().Crc, tv.Member().UnpackedSize};
        }
    }
}

ExtractionOutcome DescriptionExtraction::ExtractDescription(
    const std::string& archivePath, const std::vector<std::string>& infoFileList,
    const std::string& destFolder) {
    listerFailed_ = false;
    listerMessage_.clear();
    listerCode_ = 0;
    // The one detection of this archive: the listing and the reader use its
    // result.
    try {
        Lister().SetArchiveFile(archivePath);
    } catch (const std::exception&) {
        return {};  // the file could not even be examined
    }
    return ExtractFromLister(archivePath, infoFileList, destFolder);
}

ExtractionOutcome DescriptionExtraction::ExtractOpenDescription(
    const std::string& archivePath, const archive::InputFile& open,
    const std::vector<std::string>& infoFileList, const std::string& destFolder) {
    listerFailed_ = false;
    listerMessage_.clear();
    listerCode_ = 0;
    // Detection, the listing and the reader all read this one opening; the
    // lister lets go of it when the archive is done, however it ends.
    struct Release {
        archive::TZipTV& tv;
        ~Release() { tv.SetArchiveFile(""); }
    } release{Lister()};
    try {
        Lister().SetOpenArchiveFile(archivePath, open);
    } catch (const std::exception&) {
        return {};  // the file could not even be examined
    }
    return ExtractFromLister(archivePath, infoFileList, destFolder);
}

ExtractionOutcome DescriptionExtraction::ExtractFromLister(
    const std::string& archivePath, const std::vector<std::string>& infoFileList,
    const std::string& destFolder) {
    ExtractionOutcome out;
    const TArcType type = Lister().ArcType();
    out.arcType = type;
    using archive::DescriptionSource;
    const DescriptionSource source = archive::FormatOf(type).description;
    std::unique_ptr<archive::TUnBase> reader;
    if (source == DescriptionSource::Reader) reader = makeReader(type);
    if (source == DescriptionSource::None || (!reader && source != DescriptionSource::RarLibrary)) {
        return out;
    }
    const Search search = FindInfoFile(infoFileList);
    if (search.code == -2) {
        out.listerFailed = true;
        out.listerMessage = listerMessage_;
        out.listerCode = listerCode_;
        return out;
    }
    if (search.code != 0) return out;
    const std::string& member = search.member.name;
    out.memberName = member;
    MemberResult r = reader ? ExtractWithReader(*reader, member, destFolder)
                            : ExtractRar(archivePath, search.member, destFolder);
    if (r.failed) {
        // A damaged description is never used: its error is shown instead.
        out.listerFailed = true;
        out.listerMessage = std::string(archive::ErrorText(r.code));
        out.listerCode = r.code;
    } else {
        out.description = std::move(r.bytes);
    }
    return out;
}

// Lists the archive the lister was given. The listing runs to its end (or
// to an error or exception) within Activate, so its results are complete
// when it returns.
DescriptionExtraction::Search DescriptionExtraction::FindInfoFile(
    const std::vector<std::string>& names) {
    archive::TZipTV& tv = Lister();
    listerFailed_ = false;
    names_ = &names;
    firstMatch_.assign(names.size(), Found{});
    try {
        tv.SetFileSpec("*.*");
        tv.Activate();
    } catch (const std::exception& e) {
        if (hooks_.showException) hooks_.showException(e.what());
    } catch (...) {
        if (hooks_.showException) hooks_.showException("Unbekannter Fehler");
    }
    names_ = nullptr;
    Search s;
    if (listerFailed_) {
        s.code = -2;
        return s;
    }
    for (const Found& member : firstMatch_) {
        if (!member.name.empty()) {
            s.code = 0;
            s.member = member;
            break;
        }
    }
    return s;
}

// Reports and checksum results count from OnBegin to OnEnd of the member;
// an extraction that leaves the member without OnEnd failed. A report made
// before the member began (a header the reader refuses, an encrypted member
// it checks first) fails the member too unless the member then ends well:
// the lister has shown that the member is there, so a reader that does not
// reach it has failed on it.
DescriptionExtraction::MemberResult DescriptionExtraction::ExtractWithReader(
    archive::TUnBase& reader, const std::string& member, const std::string& destFolder) {
    MemberResult result;
    bool inMember = false;
    bool ended = false;
    int code = 0;       // the first report within the member
    int earlyCode = 0;  // the first report while no member was begun
    const auto note = [&](int c) {
        if (IsNeutralCode(c)) return;
        if (inMember) {
            if (code == 0) code = c;
        } else if (!ended && earlyCode == 0) {
            earlyCode = c;
        }
    };
    reader.OnBegin = [&](archive::TZipCommon&, const std::string&, int, bool&) {
        inMember = true;
        code = 0;
    };
    reader.OnEnd = [&](archive::TZipCommon&, const std::string&, bool crcPass) {
        if (!inMember) return;
        inMember = false;
        ended = true;
        result.failed = !crcPass || code != 0;
        result.code = code != 0 ? code : crcPass ? 0 : archive::ecode::CrcError;
    };
    reader.OnError = [&](archive::TZipCommon&, const std::string&, const std::string&, int c) {
        note(c);
    };
    reader.OnMessageBox = hooks_.messageBox;
    // Scan I asks for no passwords: an encrypted description fails.
    reader.OnGetPassword = [](archive::TZipCommon&, const std::string&, std::string&,
                              bool& tryAgain) { tryAgain = false; };
    reader.MaxOutputBytes = kDescriptionOutputLimit;
    reader.UseStoredDirs = false;
    std::string bytes;
    reader.SetMemoryOutput(&bytes, kDescriptionOutputLimit, ExtractedFilePath(destFolder, member));
    try {
        reader.TakeArchiveFile(Lister());
        reader.SetExtractDir(destFolder);
        reader.SetFileSpec(member);
        reader.Extract();
    } catch (const archive::E_RAISE& e) {
        note(e.Code());
    } catch (const std::system_error&) {
        note(archive::ecode::WriteError);
    } catch (...) {
        note(archive::ecode::BadArchive);
    }
    if (inMember) {
        result.failed = true;
        result.code = code != 0 ? code : archive::ecode::ReadError;
    } else if (!ended && earlyCode != 0) {
        result.failed = true;
        result.code = earlyCode;
    }
    if (!result.failed && reader.MemoryKept()) result.bytes = std::move(bytes);
    return result;
}

// The extracted file is also checked against the CRC the lister read from
// the member's header (unless it was cut at the output limit), whatever the
// library checked itself.
DescriptionExtraction::MemberResult DescriptionExtraction::ExtractRar(
    const std::string& archivePath, const Found& member, const std::string& destFolder) {
    // The library writes files: its own folder, read back and removed.
    ::mkdir(destFolder.c_str(), 0700);
    MemberResult result = ExtractRarFile(archivePath, member, destFolder);
    RemoveTree(destFolder);
    return result;
}

DescriptionExtraction::MemberResult DescriptionExtraction::ExtractRarFile(
    const std::string& archivePath, const Found& member, const std::string& destFolder) {
    archive::unrar::RarExtractResult r;
    try {
        if (extractRar) {
            r = extractRar(archivePath, member.name, destFolder);
        } else {
            if (!rarLibrary_) rarLibrary_ = std::make_unique<archive::unrar::UnrarLibrary>();
            r = archive::unrar::RarExtractMember(rarLibrary_->Functions(), archivePath, member.name,
                                                 destFolder, kDescriptionOutputLimit);
        }
    } catch (...) {
        return {true, archive::ecode::BadArchive, std::nullopt};
    }
    if (!r.found) return {};
    if (r.result != 0) return {true, archive::unrar::RarResultCode(r.result), std::nullopt};
    const std::string path = ExtractedFilePath(destFolder, member.name);
    if (!IsRegularFile(path)) return {};
    auto bytes = ReadFileBytes(path, kDescriptionOutputLimit);
    if (bytes && bytes->size() == member.size && member.size < kDescriptionOutputLimit &&
        member.crc != 0) {
        archive::Crc32 crc;
        crc.Update(reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size());
        if (crc.Value() != member.crc) return {true, archive::ecode::CrcError, std::nullopt};
    }
    return {false, 0, std::move(bytes)};
}

DescriptionResult ReadDescription(DescriptionSource& source, const std::string& archivePath,
                                  const std::vector<std::string>& infoFileList,
                                  const std::string& folder) {
    return DescriptionOf(source.ExtractDescription(archivePath, infoFileList, folder));
}

DescriptionResult DescriptionOf(ExtractionOutcome outcome) {
    DescriptionResult r;
    r.outcome = std::move(outcome);
    if (!r.outcome.memberName.empty() && r.outcome.description) {
        r.found = true;
        r.bytes = std::move(*r.outcome.description);
        r.outcome.description.reset();
        if (r.bytes.size() > kDescriptionReadLimit) r.bytes.resize(kDescriptionReadLimit);
    }
    if (!r.found) {
        r.statusText = r.outcome.listerFailed ? r.outcome.listerMessage : kNoDescriptionStatus;
    }
    return r;
}

}  // namespace lumora
