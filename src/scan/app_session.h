// The program's start-up, the same for lumora-cli and the desktop program:
// ProgramDir, WindowsDir and a private TempDir, the stored settings with
// InfoFileList from LM_IDS.DAT, SeparatorLine, the filter definitions and the
// locale's formats. The session owns them for the whole run; the private
// temp folder goes with it.
#pragma once

#include <memory>
#include <string>

#include "platform/app_dirs.h"
#include "platform/locale_formats.h"
#include "settings/app_settings.h"
#include "settings/filter_files.h"

namespace lumora {

struct SessionOptions {
    // The running program; ProgramDir follows from its folder. Empty: the
    // executable of this process.
    std::string executablePath;
    // Read filter.cfg and filter2.cfg from ProgramDir.
    bool loadFilters = true;
    // Shows the message about an invalid filter.cfg, which is deleted with
    // or without it.
    ErrorMessageFn showError;
};

class AppSession {
public:
    AppSession(AppSession&&) = default;
    AppSession& operator=(AppSession&&) = default;

    AppDirs dirs;
    Configuration config;
    LocaleFormats formats;

    // False when the private temp folder could not be made; dirs.tempDir is
    // then empty.
    bool HasTempDir() const { return temp_ && temp_->ok(); }

private:
    friend AppSession StartSession(const SessionOptions& options);
    AppSession() = default;

    std::unique_ptr<PrivateTempDir> temp_;
};

// Sets up the folders, then loads the settings (the defaults for what the
// store lacks, all of them when it cannot be read), InfoFileList and the
// filter definitions from ProgramDir, and fills SeparatorLine.
AppSession StartSession(const SessionOptions& options = {});

}  // namespace lumora
