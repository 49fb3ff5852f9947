// Choosing the archives of Scan I in the desktop program: the open dialog,
// then, when asked for, the subfolder search with its window and the picker.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "scan/archive_selection.h"

class QWidget;

namespace lumora::ui {

// Shows the open dialog starting in `folder`; nullopt when it is cancelled.
// With "Unterverzeichnisse mit einschließen" the archives found below the
// chosen folder and kept in the picker follow those chosen in the dialog.
// `showHelp` serves the dialog's "&Hilfe".
std::optional<ArchiveChoice> SelectArchives(QWidget* parent, const std::string& folder,
                                            const std::function<void()>& showHelp);

// The search window's part: the busy cursor and the window while the
// subfolders of `sourceFolder` are searched; the found archives, sorted, or
// none when the search was cancelled.
std::vector<std::string> SearchWithWindow(QWidget* parent, const std::string& sourceFolder);

}  // namespace lumora::ui
