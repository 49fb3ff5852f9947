// The settings dialog "Einstellungen": six pages of options that write into
// the settings at once; OK and Apply save them, Cancel reloads the saved
// state, the title-bar close button does neither.
#pragma once

#include <QDialog>
#include <QFont>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "settings/app_settings.h"
#include "settings/settings_store.h"
#include "settings/ui/dialog_voice.h"

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpinBox;
class QTabWidget;

namespace lumora {

struct SettingsDialogOptions {
    // Bits per pixel of the display, measured at start-up; it picks the hint
    // text of the "Sonstiges" page.
    int colourDepth = 32;
    DialogVoice voice;
    // Runs after each save (OK, Apply), e.g. to retitle the log menu.
    std::function<void()> onSaved;
    // The font dialog; empty: QFontDialog on a regular-style default font.
    std::function<std::optional<QFont>(QWidget* parent)> chooseFont;
};

class TfrmSettings : public QDialog {
    Q_OBJECT

public:
    // Loads the saved settings and fills the controls.
    TfrmSettings(QWidget* parent, Configuration& config, SettingsLocation where,
                 SettingsDialogOptions options = {});

    // OK: save, then close. Apply: save and stay, with a notice when saved.
    void OkClick();
    void ApplyClick();
    // Cancel (also Esc): reload the saved state, then close.
    void reject() override;

    // The info-file list as the dialog holds it (Windows-1252).
    std::vector<std::string> InfoFileNames() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* BuildListPageI();
    QWidget* BuildListPageII();
    QWidget* BuildListPageIII();
    QWidget* BuildFilterPage();
    QWidget* BuildOtherPage();
    QWidget* BuildInfoFilesPage();
    void FillControls();
    void ConnectLiveChanges();
    void ConnectFilterChanges();
    void EnableDependents();

    // The separator fields' checks; false after telling the user.
    bool CharFieldLeft();
    bool DecimalFieldLeft();
    void LeavingSeparatorField(QLineEdit* field, Qt::FocusReason reason);
    bool FocusedSeparatorFieldValid();
    bool Save();
    void ChooseFont();
    void ShowFontName();
    void MoveInfoFile(int step);
    void NewInfoFile();
    void DeleteInfoFile();
    int SelectedInfoFile() const;

    Configuration& config_;
    SettingsLocation where_;
    SettingsDialogOptions options_;
    bool checkingField_ = false;
    bool swallowPress_ = false;  // eat the next mouse press

    QTabWidget* pages_ = nullptr;
    // Datei - Liste I
    QCheckBox* chkOEM = nullptr;
    QCheckBox* chkResume = nullptr;
    QCheckBox* chkDivide = nullptr;
    QLineEdit* edtDivisionChar = nullptr;
    QLineEdit* edtDivisionCharInt = nullptr;
    QLineEdit* edtDivisionCharHex = nullptr;
    QRadioButton* rbnAlignLeft = nullptr;
    QRadioButton* rbnAlignRight = nullptr;
    // Datei - Liste II
    QSlider* trkWidth = nullptr;
    QLineEdit* edtWidth = nullptr;
    QSlider* trkWidth2 = nullptr;
    QLineEdit* edtWidth2 = nullptr;
    QCheckBox* chkShortName = nullptr;
    QCheckBox* chkSourceDir = nullptr;
    // Datei - Liste III
    QButtonGroup* grpDesign = nullptr;
    QSpinBox* spnSpace1 = nullptr;
    QSpinBox* spnSpace2 = nullptr;
    QSpinBox* spnSpace3 = nullptr;
    // Filter
    QCheckBox* chkRemoveEmpty = nullptr;
    QCheckBox* chkRemove = nullptr;
    QRadioButton* rbnRemoveLine = nullptr;
    QRadioButton* rbnRemoveChar = nullptr;
    QPushButton* btnSpecialChars = nullptr;
    QCheckBox* chkUseFilter = nullptr;
    QCheckBox* chkSize = nullptr;
    QRadioButton* rbnContains = nullptr;
    QRadioButton* rbnExactMatch = nullptr;
    QPushButton* btnLineFilter = nullptr;
    // Sonstiges
    QLineEdit* edtFont = nullptr;
    QCheckBox* chkTip = nullptr;
    QSpinBox* spnLines = nullptr;
    QLabel* lblHints = nullptr;
    // FILE_ID.DIZ & Co
    QListWidget* lbxInfoFiles = nullptr;
    // Buttons
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;
    QPushButton* btnApply = nullptr;
};

// Opens the dialog modally.
void ShowSettingsDialog(QWidget* parent, Configuration& config, const SettingsLocation& where,
                        const SettingsDialogOptions& options = {});

}  // namespace lumora
