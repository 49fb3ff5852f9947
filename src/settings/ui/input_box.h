// InputBox: a small modal window asking for one line of text.
#pragma once

#include <QDialog>
#include <QString>

#include "settings/ui/dialog_voice.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace lumora {

// The result of a cancelled InputBox: the one character with code 0.
QString CancelMarker();
// The prompt of the line filter's input box.
QString StandardInputPrompt();

class TfrmInput : public QDialog {
    Q_OBJECT

public:
    TfrmInput(QWidget* parent, const QString& caption, const QString& prompt,
              DialogVoice voice = {});

    QLineEdit* edit() const { return edtInput_; }
    QPushButton* okButton() const { return btnOK_; }
    QPushButton* cancelButton() const { return btnCancel_; }
    // The trimmed text after OK, CancelMarker() otherwise.
    QString Result() const { return result_; }

    void reject() override;

private:
    void OkClick();

    DialogVoice voice_;
    QString result_ = CancelMarker();
    QLineEdit* edtInput_ = nullptr;
    QPushButton* btnOK_ = nullptr;
    QPushButton* btnCancel_ = nullptr;
};

// Shows the box modally: the text with leading and trailing blanks and
// control characters removed (never empty), or CancelMarker().
QString InputBox(QWidget* parent, const QString& caption,
                 const QString& prompt = StandardInputPrompt(), const DialogVoice& voice = {});

}  // namespace lumora
