// The root classes of the archive components: the properties and events that
// readers and the lister share, type detection on assignment of the archive
// file, output names and error reports. A component holds only settings and
// handlers; everything an operation opens or computes belongs to that
// operation.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "archive/core/arc_type.h"
#include "archive/core/file_attr.h"
#include "archive/core/input_file.h"
#include "archive/core/match_spec.h"
#include "archive/core/output_name.h"
#include "platform/datetime.h"

namespace lumora::archive {

class TZipCommon;

// Texts passed to handlers: FN is a host path (UTF-8); error and message
// texts are Windows-1252 bytes.
using TNotifyEvent = std::function<void(TZipCommon& sender)>;
using TOnBegin =
    std::function<void(TZipCommon& sender, const std::string& fn, int recNum, bool& extract)>;
using TOnEnd = std::function<void(TZipCommon& sender, const std::string& fn, bool crcPass)>;
using TOnFileExists = std::function<void(TZipCommon& sender, const std::string& fn,
                                         TDateTime fileDate, bool& accept)>;
using TOnGetPassword = std::function<void(TZipCommon& sender, const std::string& fn,
                                          std::string& password, bool& tryAgain)>;
using TOnProgress =
    std::function<void(TZipCommon& sender, const std::string& fn, std::uint8_t progress)>;
using TOnError = std::function<void(TZipCommon& sender, const std::string& fn,
                                    const std::string& volumeId, int ecode)>;
// An information message box (caption, text); the library shows no window of
// its own, the host does.
using TOnMessageBox = std::function<void(const std::string& caption, const std::string& text)>;

// Progress reports every 5, 10, 15, 20 or 25 percent.
enum class TProgressNotify { Five, Ten, Fifteen, Twenty, TwentyFive };
// Extracted files get the member's stored date, or keep the time of writing.
enum class TSetDate { OrigDate, CurDate };

class TAwkMain {
public:
    virtual ~TAwkMain() = default;
};

class TZipCommon : public TAwkMain {
public:
    TZipCommon() = default;
    TZipCommon(const TZipCommon&) = delete;
    TZipCommon& operator=(const TZipCommon&) = delete;

    TOnGetPassword OnGetPassword;
    TNotifyEvent OnActivate;
    TNotifyEvent OnDeactivate;
    TOnBegin OnBegin;
    TOnEnd OnEnd;
    TOnFileExists OnFileExists;
    TOnProgress OnProgress;
    TOnError OnError;
    TOnMessageBox OnMessageBox;

    TProgressNotify ProgressNotify = TProgressNotify::Ten;
    bool UseStoredDirs = false;
    // Bytes written per member at most (0: no limit). A member cut there
    // counts as extracted and is not checked against its CRC.
    std::uint64_t MaxOutputBytes = 0;

    const std::string& ArchiveFile() const { return archiveFile_; }
    // A non-empty host path is made absolute and detection runs on it; an
    // empty one gives atNA without touching the disk.
    virtual void SetArchiveFile(const std::string& path);
    // Sets ArchiveFile to `path`, already opened as `open`: detection and
    // every later read of this archive use that opening, so the file is
    // neither opened nor examined again. The handle is kept until another
    // archive is set.
    virtual void SetOpenArchiveFile(const std::string& path, const InputFile& open);
    // Takes ArchiveFile, its opening and what detection found in it from
    // `detected`, which examined that file already: the file is not read again.
    void TakeArchiveFile(const TZipCommon& detected);
    // The opening given with SetOpenArchiveFile; not open otherwise.
    const InputFile& ArchiveInput() const { return archiveInput_; }
    // The opening of ArchiveFile to read from: a new handle on ArchiveInput
    // when there is one, else the file opened afresh (not open on failure).
    InputFile OpenArchiveInput() const;

    TArcType ArcType() const { return arcType_; }
    // Any assignment runs detection on ArchiveFile again.
    void SetArcType(TArcType);

    // Stored-name pattern ("/" becomes "\").
    const std::string& FileSpec() const { return fileSpec_; }
    void SetFileSpec(std::string_view spec);
    // FileSpec made ready for matching, once per assignment.
    const PreparedMatchText& FileSpecMatch() const { return fileSpecMatch_; }
    // MatchSpec(storedName, FileSpec, namesOnly).
    bool MatchesFileSpec(std::string_view storedName, bool namesOnly) const {
        return MatchSpec(PreparedMatchText(storedName), fileSpecMatch_, namesOnly);
    }

    // An absolute host folder ending in "/"; empty means the archive's folder
    // (or nothing while no archive is set).
    const std::string& ExtractDir() const { return extractDir_; }
    void SetExtractDir(const std::string& dir);

    int ZipCmntBufSize() const { return zipCmntBufSize_; }
    void SetZipCmntBufSize(int size);  // clamped to 0..32767

    // The output path of the current member (set by MakeOutputName).
    const std::string& FileName() const { return fileName_; }
    std::int64_t ArchiveStart() const { return archiveStart_; }
    // Where the first header lies (ArchiveStart counts from 1; 0 when no
    // signature was searched for).
    std::uint64_t FirstHeaderOffset() const {
        return archiveStart_ > 0 ? static_cast<std::uint64_t>(archiveStart_ - 1) : 0;
    }
    std::int64_t SfxOffset() const { return sfxOffset_; }
    std::uint32_t ArchiveDate() const { return archiveDate_; }
    std::uint64_t ArchiveSize() const { return archiveSize_; }
    TztvFileAttr& FileAttr() { return fileAttr_; }

    // Sets FileName (and the output place) for a stored member name.
    virtual void MakeOutputName(std::string_view storedName);

    // Runs detection on ArchiveFile; a failed close reports 25115.
    void DetectArcType();

    // OnError with the file-name part of `fileName`, then E_RAISE.
    [[noreturn]] void ReportError(const std::string& fileName, int code,
                                  const std::string& volumeId = "0");
    // OnError only.
    void ReportWarning(const std::string& fileName, int code, const std::string& volumeId = "0");

protected:
    const OutputTarget& CurrentTarget() const { return target_; }
    void SetFileName(std::string name) { fileName_ = std::move(name); }
    void FireNotify(const TNotifyEvent& event) {
        if (event) event(*this);
    }

private:
    std::string archiveFile_;
    InputFile archiveInput_;
    TArcType arcType_ = atNA;
    std::string fileSpec_;
    PreparedMatchText fileSpecMatch_;
    std::string extractDir_;
    int zipCmntBufSize_ = 0;
    std::string fileName_;
    OutputTarget target_;
    std::int64_t archiveStart_ = 0;
    std::int64_t sfxOffset_ = 0;
    std::uint32_t archiveDate_ = 0;
    std::uint64_t archiveSize_ = 0;
    TztvFileAttr fileAttr_;
};

// A host path made absolute against the current folder (nothing else changes).
std::string AbsoluteHostPath(const std::string& path);
// The part after the last "/" of a host path.
std::string HostFileNamePart(const std::string& path);

}  // namespace lumora::archive
