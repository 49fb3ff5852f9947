// Scan II's windows: the folder browser and the options dialog `TfrmScanOpt`.
// The entry points take the arguments of ScanHost::AskFolder and
// ScanHost::AskScanIIOptions plus the owner window, so the main window
// forwards its host calls to them (qualified, as lumora::AskFolder(...)).
#pragma once

#include <QDialog>

#include <optional>
#include <string>
#include <vector>

#include "scan/host.h"

class QCheckBox;
class QFileDialog;
class QLabel;
class QListWidget;
class QPushButton;

namespace lumora {

// The folder browser: `caption` as the window title, `title` above the
// folder view, folders only, starting at "/".
class ScanFolderBrowser : public QDialog {
public:
    ScanFolderBrowser(const std::string& title, const std::string& caption,
                      QWidget* parent = nullptr);

    // The chosen folder as a host path (UTF-8), or nullopt unless accepted.
    std::optional<std::string> ChosenFolder() const;

    QLabel* lblTitle = nullptr;
    QFileDialog* browser = nullptr;
};

// The Scan II options dialog. `caption` (Windows-1252) is the chosen folder;
// `lbxSearchFor` holds the names of `infoFileList` (Windows-1252) unticked.
class TfrmScanOpt : public QDialog {
public:
    TfrmScanOpt(const std::string& caption, const std::vector<std::string>& infoFileList,
                QWidget* parent = nullptr);

    // The choices made with "&Weiter >>", or nullopt after "&Abbrechen".
    const std::optional<ScanIIOptions>& Choices() const { return choices_; }

    QListWidget* lbxSearchFor = nullptr;
    QCheckBox* chkSubDirs = nullptr;
    QPushButton* btnOkay = nullptr;
    QPushButton* btnCancel = nullptr;

private:
    void btnOkayClick();
    void btnCancelClick();

    std::optional<ScanIIOptions> choices_;
};

// ScanHost::AskFolder for the desktop program.
std::optional<std::string> AskFolder(const std::string& title, const std::string& caption,
                                     QWidget* parent);
// ScanHost::AskScanIIOptions for the desktop program.
std::optional<ScanIIOptions> AskScanIIOptions(const std::string& caption,
                                              const std::vector<std::string>& infoFileList,
                                              QWidget* parent);

}  // namespace lumora
