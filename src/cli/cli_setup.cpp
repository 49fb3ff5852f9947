#include "cli/cli_setup.h"

#include <unistd.h>

#include "settings/settings_store.h"

namespace lumora::cli {

CliSetup LoadCliSetup() {
    CliSetup s;
    s.dirs.programDir = ResolveProgramDir(ExecutablePath());
    s.dirs.windowsDir = SettingsFolder();
    s.temp = std::make_unique<PrivateTempDir>();
    s.dirs.tempDir = s.temp->path();
    LoadSettings(s.config, {SettingsStorePath(), s.dirs.programDir});
    FillSeparatorLine(s.config);
    s.formats = LocaleFormats::FromCLocale();
    return s;
}

std::string AbsolutePath(const std::string& path) {
    if (!path.empty() && path[0] == '/') return path;
    char buf[4096];
    if (!getcwd(buf, sizeof buf)) return path;
    std::string cwd = buf;
    if (cwd.back() != '/') cwd += '/';
    std::string rel = path;
    while (rel.rfind("./", 0) == 0) rel.erase(0, 2);
    return rel == "." ? cwd.substr(0, cwd.size() - 1) : cwd + rel;
}

}  // namespace lumora::cli
