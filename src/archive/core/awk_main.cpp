#include "archive/core/awk_main.h"

#include <unistd.h>

#include <algorithm>
#include <climits>

#include "archive/core/detect.h"
#include "archive/core/error_codes.h"
#include "archive/core/stored_name.h"

namespace lumora::archive {

namespace {

// The process's current folder ending in "/" (empty when it cannot be read).
std::string CurrentDir() {
    char buf[PATH_MAX];
    if (!::getcwd(buf, sizeof buf)) return {};
    std::string cwd = buf;
    if (cwd.back() != '/') cwd += '/';
    return cwd;
}

}  // namespace

std::string AbsoluteHostPath(const std::string& path) {
    if (path.empty() || path.front() == '/') return path;
    return CurrentDir() + path;
}

std::string HostFileNamePart(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void TZipCommon::SetArchiveFile(const std::string& path) {
    archiveInput_.Close();
    if (path.empty()) {
        archiveFile_.clear();
        arcType_ = atNA;
        return;
    }
    archiveFile_ = AbsoluteHostPath(path);
    DetectArcType();
}

void TZipCommon::SetOpenArchiveFile(const std::string& path, const InputFile& open) {
    archiveInput_ = open.Share();
    archiveFile_ = AbsoluteHostPath(path);
    DetectArcType();
}

InputFile TZipCommon::OpenArchiveInput() const {
    if (archiveInput_.IsOpen()) return archiveInput_.Share();
    InputFile file;
    file.Open(archiveFile_);
    return file;
}

void TZipCommon::TakeArchiveFile(const TZipCommon& detected) {
    archiveFile_ = detected.archiveFile_;
    archiveInput_ = detected.archiveInput_.Share();
    arcType_ = detected.arcType_;
    archiveStart_ = detected.archiveStart_;
    archiveSize_ = detected.archiveSize_;
    archiveDate_ = detected.archiveDate_;
    sfxOffset_ = detected.sfxOffset_;
}

void TZipCommon::SetArcType(TArcType) {
    DetectArcType();
}

void TZipCommon::SetFileSpec(std::string_view spec) {
    fileSpec_ = ToBackslashes(spec);
    fileSpecMatch_ = PreparedMatchText(fileSpec_);
}

void TZipCommon::SetExtractDir(const std::string& dir) {
    if (!dir.empty()) {
        extractDir_ = AbsoluteHostPath(dir);
    } else if (!archiveFile_.empty()) {
        extractDir_ = archiveFile_.substr(0, archiveFile_.rfind('/') + 1);
    } else {
        extractDir_.clear();
    }
    if (!extractDir_.empty() && extractDir_.back() != '/') extractDir_ += '/';
}

void TZipCommon::SetZipCmntBufSize(int size) {
    zipCmntBufSize_ = std::clamp(size, 0, 32767);
}

void TZipCommon::MakeOutputName(std::string_view storedName) {
    if (ToBackslashes(storedName).empty()) {
        fileName_.clear();
        target_ = {};
        return;
    }
    if (extractDir_.empty()) SetExtractDir(CurrentDir());
    target_ = BuildOutputTarget(storedName, extractDir_, UseStoredDirs);
    fileName_ = target_.FullPath();
}

void TZipCommon::DetectArcType() {
    if (archiveFile_.empty()) {
        arcType_ = atNA;
        return;
    }
    const Detection d =
        archiveInput_.IsOpen()
            ? lumora::archive::DetectArcType(archiveInput_, archiveFile_, zipCmntBufSize_)
            : lumora::archive::DetectArcType(archiveFile_, zipCmntBufSize_);
    arcType_ = d.type;
    archiveStart_ = d.archiveStart;
    archiveSize_ = d.archiveSize;
    archiveDate_ = d.archiveDate;
    sfxOffset_ = d.sfxOffset;
    if (d.closeFailed) ReportError(archiveFile_, ecode::CloseError);
}

void TZipCommon::ReportError(const std::string& fileName, int code, const std::string& volumeId) {
    ReportWarning(fileName, code, volumeId);
    throw E_RAISE(code);
}

void TZipCommon::ReportWarning(const std::string& fileName, int code, const std::string& volumeId) {
    if (OnError) OnError(*this, HostFileNamePart(fileName), volumeId, code);
}

}  // namespace lumora::archive
