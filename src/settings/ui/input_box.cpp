#include "settings/ui/input_box.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace lumora {

namespace {

// Removes leading and trailing characters with codes 0 to 32.
QString TrimCodes(const QString& text) {
    auto junk = [](QChar c) { return c.unicode() <= 32; };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && junk(text[begin])) ++begin;
    while (end > begin && junk(text[end - 1])) --end;
    return text.mid(begin, end - begin);
}

}  // namespace

QString CancelMarker() {
    return QString(QChar(0));
}

QString StandardInputPrompt() {
    return QString::fromUtf8(
        "Geben Sie hier die Zeile ein, die in den Zeilen - Filter aufge- nommen werden soll und "
        "klicken Sie auf \"Okay\".");
}

TfrmInput::TfrmInput(QWidget* parent, const QString& caption, const QString& prompt,
                     DialogVoice voice)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      voice_(std::move(voice)) {
    setWindowTitle(caption);
    auto* label = new QLabel(prompt);
    label->setWordWrap(true);
    label->setFixedWidth(320);
    edtInput_ = new QLineEdit;
    btnOK_ = new QPushButton(QStringLiteral("&OK"));
    btnOK_->setDefault(true);
    btnCancel_ = new QPushButton(QStringLiteral("&Abbrechen"));
    connect(btnOK_, &QPushButton::clicked, this, [this] { OkClick(); });
    connect(btnCancel_, &QPushButton::clicked, this, &TfrmInput::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOK_);
    buttons->addWidget(btnCancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(edtInput_);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TfrmInput::OkClick() {
    const QString text = TrimCodes(edtInput_->text());
    if (text.isEmpty()) {
        voice_.Beep();
        return;
    }
    result_ = text;
    accept();
}

void TfrmInput::reject() {
    result_ = CancelMarker();
    QDialog::reject();
}

QString InputBox(QWidget* parent, const QString& caption, const QString& prompt,
                 const DialogVoice& voice) {
    TfrmInput box(parent, caption, prompt, voice);
    box.exec();
    return box.Result();
}

}  // namespace lumora
