// The picker `TfrmSubDirs`: the archives found in subfolders, each with a
// check box, for the user to narrow the choice.
#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "scan/archive_selection.h"

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace lumora::ui {

class TfrmSubDirs : public QDialog {
public:
    // `found` is shown in its order (sorted by the caller), every row ticked.
    TfrmSubDirs(const std::string& sourceFolder, const std::vector<std::string>& found,
                QWidget* parent = nullptr);

    // How the window was closed; the close box unless a button closed it.
    PickerClose closedBy() const { return closedBy_; }
    // The tick of every row, in the order of `found`.
    std::vector<bool> Ticked() const;

    // File information for a double-clicked row (folder + file name).
    std::function<void(const std::string& path)> showFileInfo;

    QLabel* lblPfad = nullptr;
    QTreeWidget* lvwArchives = nullptr;
    QPushButton* btnOkay = nullptr;
    QPushButton* btnCancel = nullptr;

private:
    void btnOkayClick();
    void btnCancelClick();
    void lvwArchivesDblClick(QTreeWidgetItem* item);

    PickerClose closedBy_ = PickerClose::CloseBox;
};

}  // namespace lumora::ui
