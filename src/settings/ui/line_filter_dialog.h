// The line-filter dialog: the strings of filter2.cfg in alphabetical order,
// with new and delete; "&Beenden" writes the file.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "settings/app_settings.h"
#include "settings/ui/dialog_voice.h"

class QComboBox;
class QListWidget;
class QPushButton;

namespace lumora {

class TfrmZeilenfilter : public QDialog {
    Q_OBJECT

public:
    TfrmZeilenfilter(QWidget* parent, Configuration& config, std::string programDir,
                     DialogVoice voice = {});

    // The opening step: fills the list from filter2.cfg, or tells the user
    // that no line is defined yet.
    void LoadEntries();

    const std::vector<std::string>& entries() const { return entries_; }
    QListWidget* list() const { return lbxLines_; }
    QComboBox* viewChooser() const { return cbxView_; }

    void NewClick();
    void DeleteClick();
    // Writes filter2.cfg in the list's order, reloads the line filter and
    // closes; a failed write is reported and the dialog stays open.
    void FinishClick();

private:
    void ShowEntries(int selected);

    Configuration& config_;
    std::string programDir_;
    DialogVoice voice_;
    std::vector<std::string> entries_;  // Windows-1252, sorted
    QListWidget* lbxLines_ = nullptr;
    QComboBox* cbxView_ = nullptr;
};

// Opens the dialog modally.
void ShowLineFilterDialog(QWidget* parent, Configuration& config, const std::string& programDir,
                          const DialogVoice& voice = {});

}  // namespace lumora
