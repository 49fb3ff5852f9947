#include "archive/lister/zip_tv.h"

#include "archive/lister/lister_run.h"

namespace lumora::archive {

TZipTV::TZipTV() {
    SetFileSpec("*.*");
}

void TZipTV::SetArchiveFile(const std::string& path) {
    if (!path.empty()) fileCount_ = 0;
    TZipCommon::SetArchiveFile(path);
}

void TZipTV::SetOpenArchiveFile(const std::string& path, const InputFile& open) {
    fileCount_ = 0;
    TZipCommon::SetOpenArchiveFile(path, open);
}

bool TZipTV::Activate() {
    if (ArchiveFile().empty()) return true;
    ListerRun run(*this);
    bool ok = false;
    try {
        run.Execute();
        ok = true;
    } catch (...) {
        // Errors were reported through OnError; anything else only ends the
        // listing.
    }
    try {
        run.CleanUp();
    } catch (...) {
        ok = false;
    }
    return ok;
}

}  // namespace lumora::archive
