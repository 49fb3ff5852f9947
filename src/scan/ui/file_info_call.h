// The file-information window for one file, as the open dialog's
// "&Datei Info..." and the picker's double-click call it.
#pragma once

#include <string>

namespace lumora::ui {

// Opens `path` read-only (regular files only) and hands path and descriptor to
// the file-information window; when the file cannot be opened, a beep and
// nothing else.
void ShowFileInformation(const std::string& path);

}  // namespace lumora::ui
