// The special-character dialog: a 16 x 16 table of the codes 0 to 255 in
// which the user marks the characters the description filter removes.
#pragma once

#include <QDialog>
#include <QWidget>
#include <string>

#include "settings/app_settings.h"
#include "settings/ui/char_views.h"
#include "settings/ui/dialog_voice.h"

class QComboBox;
class QPushButton;

namespace lumora {

// The table: cell (row r, column c) shows code 16 * r + c in the chosen
// view (code 255 stays blank); a marked cell carries a red prohibition
// sign. A click turns the cell's mark over.
class SpecialCharGrid : public QWidget {
public:
    explicit SpecialCharGrid(CharSet& marks, QWidget* parent = nullptr);

    void SetView(CharView view);
    QRect CellRect(int code) const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    CharSet& marks_;
    CharView view_ = CharView::Windows;
};

class TfrmSonderzeichen : public QDialog {
    Q_OBJECT

public:
    // Unmarks every cell, then takes the marks from filter.cfg in programDir.
    TfrmSonderzeichen(QWidget* parent, Configuration& config, std::string programDir,
                      DialogVoice voice = {});

    SpecialCharGrid* grid() const { return grid_; }
    QComboBox* viewChooser() const { return cbxView_; }

    // "&OK": saves filter.cfg, reloads it and closes; a failed save is
    // reported and the dialog stays open.
    void OkClick();
    // "&Abbrechen": reloads filter.cfg and closes. Esc does the same.
    void reject() override;

protected:
    // The title-bar close button neither saves nor reloads.
    void closeEvent(QCloseEvent* event) override;

private:
    void SetAll(bool marked);
    void Reload();

    Configuration& config_;
    std::string programDir_;
    DialogVoice voice_;
    SpecialCharGrid* grid_ = nullptr;
    QComboBox* cbxView_ = nullptr;
};

// Opens the dialog modally.
void ShowSpecialCharDialog(QWidget* parent, Configuration& config, const std::string& programDir,
                           const DialogVoice& voice = {});

}  // namespace lumora
