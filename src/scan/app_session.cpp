#include "scan/app_session.h"

#include "settings/settings_store.h"

namespace lumora {

AppSession StartSession(const SessionOptions& options) {
    AppSession s;
    s.dirs.programDir = ResolveProgramDir(options.executablePath.empty() ? ExecutablePath()
                                                                         : options.executablePath);
    s.dirs.windowsDir = SettingsFolder();
    s.temp_ = std::make_unique<PrivateTempDir>();
    s.dirs.tempDir = s.temp_->path();
    LoadSettings(s.config, {SettingsStorePath(), s.dirs.programDir});
    FillSeparatorLine(s.config);
    if (options.loadFilters) {
        LoadSpecialCharFilter(s.config, s.dirs.programDir, options.showError);
        LoadLineFilter(s.config, s.dirs.programDir);
    }
    s.formats = LocaleFormats::FromCLocale();
    return s;
}

}  // namespace lumora
