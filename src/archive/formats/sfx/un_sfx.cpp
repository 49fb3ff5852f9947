#include "archive/formats/sfx/un_sfx.h"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

#include "archive/core/error_codes.h"
#include "archive/formats/format_table.h"
#include "platform/text.h"

namespace lumora::archive {

namespace {

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The folder part of a host path, with its trailing "/" (empty for a bare name).
std::string FolderPart(const std::string& path) {
    return path.substr(0, path.rfind('/') + 1);
}

std::string CurrentFolder() {
    std::error_code ec;
    std::string cwd = std::filesystem::current_path(ec).string();
    if (cwd.empty() || cwd.back() != '/') cwd += '/';
    return cwd;
}

}  // namespace

std::string SfxExtension(TArcType type) {
    return std::string(FormatOf(type).sfxExtension);
}

bool TUnSFX::Box(TSfxBox kind, const std::string& text) const {
    return OnMessage ? OnMessage(kind, text) : false;
}

void TUnSFX::Refuse(const std::string& message) {
    Box(TSfxBox::Warning, message);
    TZipCommon::SetArchiveFile("");
    outFilename_.clear();
}

void TUnSFX::SetArchiveFile(const std::string& path) {
    if (path.empty() || !IsRegularFile(AbsoluteHostPath(path))) {
        if (!path.empty()) Box(TSfxBox::Warning, Utf8ToAnsi(path) + "\rFile not found.");
        TZipCommon::SetArchiveFile("");
        outFilename_.clear();
        return;
    }
    try {
        TZipCommon::SetArchiveFile(path);
    } catch (const E_RAISE&) {
        // A failed close was reported through OnError; the type stands.
    }
    if (ArcType() <= atUnknown || ArchiveSize() == 0) return Refuse("Invalid Archive.");
    const std::string ext = SfxExtension(ArcType());
    if (ext.empty()) return Refuse("Unsupported or invalid archive type.");
    const std::string name = HostFileNamePart(ArchiveFile());
    outFilename_ = FolderPart(ArchiveFile()) + name.substr(0, name.find('.')) + ext;
}

void TUnSFX::SetOutFilename(const std::string& name) {
    const std::string archive = ArchiveFile();
    if (HostFileNamePart(name).empty()) {
        if (!archive.empty()) SetArchiveFile(archive);
        return;
    }
    if (archive.empty()) {
        Box(TSfxBox::Information, "ArchiveFile must be defined.");
        outFilename_.clear();
        return;
    }
    if (IsDirectory(AbsoluteHostPath(name))) {
        Box(TSfxBox::Information, Utf8ToAnsi(name) + " is an existing directory.");
        SetArchiveFile(archive);
        return;
    }
    const std::string folder = FolderPart(name);
    if (folder.empty()) {
        outFilename_ = FolderPart(archive) + name;
        return;
    }
    const std::string absFolder = AbsoluteHostPath(folder);
    if (IsDirectory(absFolder)) {
        outFilename_ = AbsoluteHostPath(name);
        return;
    }
    const std::string fallback = CurrentFolder() + HostFileNamePart(name);
    if (!Box(TSfxBox::Confirmation, "Directory NOT found, create?")) {
        outFilename_ = fallback;
        return;
    }
    std::error_code ec;
    std::filesystem::create_directories(absFolder, ec);
    if (IsDirectory(absFolder)) {
        outFilename_ = AbsoluteHostPath(name);
        return;
    }
    Box(TSfxBox::Information, "Error creating directory: " + Utf8ToAnsi(folder));
    outFilename_ = fallback;
}

}  // namespace lumora::archive
