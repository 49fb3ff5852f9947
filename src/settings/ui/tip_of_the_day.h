// The tip of the day: a random line of tips.dat and the check box that turns
// the window off for the next starts.
#pragma once

#include <QDialog>

#include "settings/settings_store.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace lumora {

class TfrmTipOfTheDay : public QDialog {
public:
    TfrmTipOfTheDay(QWidget* parent, Configuration& config, const SettingsLocation& where);

    QString TipText() const;
    QCheckBox* DontShowBox() const { return chkDontShow_; }
    QPushButton* NextButton() const { return btnNext_; }

private:
    void DontShowClicked(bool checked);

    Configuration& config_;
    SettingsLocation where_;
    QLabel* lblTip_ = nullptr;
    QCheckBox* chkDontShow_ = nullptr;
    QPushButton* btnNext_ = nullptr;
};

}  // namespace lumora
