// What every lumora-cli command starts with: folders, settings, formats.
#pragma once

#include <memory>
#include <string>

#include "platform/app_dirs.h"
#include "platform/locale_formats.h"
#include "settings/app_settings.h"

namespace lumora::cli {

struct CliSetup {
    AppDirs dirs;
    Configuration config;
    LocaleFormats formats;
    std::unique_ptr<PrivateTempDir> temp;
};

// Loads the stored settings and InfoFileList as the desktop program does.
CliSetup LoadCliSetup();

// A host path made absolute ("/" separated, no trailing slash added).
std::string AbsolutePath(const std::string& path);

}  // namespace lumora::cli
