#include "settings/ui/dialog_voice.h"

#include <QApplication>

#include "platform/text.h"

namespace lumora {

void DialogVoice::Beep() const {
    if (beep)
        beep();
    else
        QApplication::beep();
}

QMessageBox::StandardButton DialogVoice::Message(QWidget* parent, QMessageBox::Icon icon,
                                                 const QString& caption, const QString& text,
                                                 QMessageBox::StandardButtons buttons) const {
    if (message) return message(parent, icon, caption, text, buttons);
    QMessageBox box(icon, caption, text, buttons, parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

QString AnsiToQString(const std::string& ansi) {
    return QString::fromStdString(AnsiToUtf8(ansi));
}

std::string QStringToAnsi(const QString& text) {
    return Utf8ToAnsi(text.toStdString());
}

}  // namespace lumora
