// How the settings and filter dialogs speak to the user beyond their own
// controls (message boxes and the system beep), and the conversion of the
// Windows-1252 bytes they edit.
#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>
#include <string>

class QWidget;

namespace lumora {

struct DialogVoice {
    using MessageFn = std::function<QMessageBox::StandardButton(
        QWidget* parent, QMessageBox::Icon icon, const QString& caption, const QString& text,
        QMessageBox::StandardButtons buttons)>;

    // Either may be left empty: the system beep and a QMessageBox then serve.
    std::function<void()> beep;
    MessageFn message;

    void Beep() const;
    QMessageBox::StandardButton Message(
        QWidget* parent, QMessageBox::Icon icon, const QString& caption, const QString& text,
        QMessageBox::StandardButtons buttons = QMessageBox::Ok) const;
};

// Windows-1252 bytes as a QString and back ('?' for what has no code).
QString AnsiToQString(const std::string& ansi);
std::string QStringToAnsi(const QString& text);

}  // namespace lumora
