// The engine's message boxes and save dialog as Qt dialogs. Texts arrive as
// Windows-1252 bytes and are shown as Unicode.
#pragma once

#include <QString>
#include <optional>
#include <string>

#include "scan/host.h"

class QWidget;

namespace lumora::ui {

// Windows-1252 bytes as a QString.
QString FromAnsi(const std::string& ansi);
// A box text with "\r\n" and lone "\r" turned into line feeds.
QString BoxText(const std::string& ansi);
// "Text|*.txt|Alle|*.*" as a Qt name filter "Text (*.txt);;Alle (*.*)"; a
// description that already shows its pattern is kept as it is.
QString QtNameFilter(const std::string& pairs);

// A QMessageBox with the caption, icon and German Yes/No buttons.
MsgAnswer ShowMessageBox(QWidget* parent, const std::string& caption, const std::string& text,
                         MsgIcon icon, MsgButtons buttons);

// The non-native save dialog; `lastExtension` carries the default
// extension between calls (an empty request value keeps it).
std::optional<std::string> ShowSaveDialog(QWidget* parent, const SaveDialogRequest& request,
                                          std::string& lastExtension);

}  // namespace lumora::ui
