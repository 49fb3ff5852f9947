// The open dialog `TfrmOpen` "Dateien öffnen": a file dialog for several
// archives of one folder, with the check box for subfolders and the button
// for file information below it.
#pragma once

#include <QDialog>
#include <functional>
#include <optional>
#include <string>

#include "scan/archive_selection.h"

class QCheckBox;
class QFileDialog;
class QPushButton;

namespace lumora::ui {

inline constexpr const char* kArchiveFileTypes =
    "Alle Archivdateien|*.ZIP;*.ARJ;*.LHA;*.LZH;*.ARC;*.RAR;*.CAB;*.TAR;*.ZOO|ZIP Archive|*.ZIP|"
    "ARJ Archive|*.ARJ|LHA Archive|*.LHA|LZH Archive|*.LZH|ARC Archive|*.ARC|CAB Archive|*.CAB|"
    "TAR Archive|*.TAR|RAR Archive|*.RAR|ZOO Archive|*.ZOO|Alle Dateien|*.*";
inline constexpr const char* kUnexpectedErrorText =
    "Lumora hat einen unerwarteten Programmfehler entdeckt und beendet sich nun selbst\r\n\r\n"
    "Sollte diese Meldung wiederholt auftauchen, so setzen Sie sich bitte mit dem Author von "
    "Lumora in Verbindung !";

class TfrmOpen : public QDialog {
public:
    // Starts in `folder` (the working folder when empty).
    explicit TfrmOpen(const std::string& folder, QWidget* parent = nullptr);

    // The archives and folder taken over on "&Öffnen"; none after cancelling.
    const std::optional<ArchiveChoice>& Choice() const { return choice_; }
    // The check box's state when the dialog was confirmed.
    bool IncludeSubfolders() const { return includeSubfolders_; }
    // The file name the dialog shows now (first of the marked or typed
    // names, full path), empty when it shows none.
    std::string CurrentFileName() const;

    // "&Hilfe".
    std::function<void()> showHelp;
    // "&Datei Info..." with the file shown in the dialog.
    std::function<void(const std::string& path)> showFileInfo;
    // A failure while taking over the choice; by default the error message,
    // then the program ends.
    std::function<void()> onUnexpectedError;

    QFileDialog* dlgOpen1 = nullptr;
    QCheckBox* chkSubdirs = nullptr;
    QPushButton* btnInfo = nullptr;

private:
    void dlgOpen1FileOK();
    void btnInfoClick();
    void EndAfterUnexpectedError();

    std::optional<ArchiveChoice> choice_;
    bool includeSubfolders_ = false;
};

}  // namespace lumora::ui
