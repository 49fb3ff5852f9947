// TfrmDrucken: the list viewer. Shows a list file in the list font, lets the
// user edit it (edits are never saved) and prints the text as it stands.
#pragma once

#include <QMainWindow>
#include <QString>
#include <functional>
#include <string>

#include "print/list_charset.h"

class QComboBox;
class QPlainTextEdit;
class QPrinter;

namespace lumora {
struct AppSettings;
}

namespace lumora::print {

class TfrmDrucken : public QMainWindow {
    Q_OBJECT

public:
    // Prints on the shared `printer`; the list font comes from `settings`
    // each time the window becomes active.
    TfrmDrucken(QPrinter& printer, const AppSettings& settings, QWidget* parent = nullptr);

    // Reads `path` into the editor (decoded as Windows-1252); when it cannot
    // be read the error is shown, the text stays and false is returned.
    bool LoadFile(const QString& path);
    // Decodes the loaded file again in `charset`.
    void SetCharset(ListCharset charset);
    ListCharset Charset() const { return charset_; }
    // Sets the editor font to Font1Name / Font1Size.
    void ApplyListFont();
    QPlainTextEdit* Editor() const { return editor_; }

    // The toolbar's commands.
    void btnOpenClick();
    void btnPrintClick();
    void btnCloseClick();

    // The dialogs; tests replace them. askPrint answers the print dialog for
    // the printer, askOpenFile the open dialog (empty: cancelled), showError
    // shows an error message.
    std::function<bool(QPrinter&)> askPrint;
    std::function<QString()> askOpenFile;
    std::function<void(const QString& text)> showError;

protected:
    bool event(QEvent* event) override;

private:
    void ShowText();

    QPrinter& printer_;
    const AppSettings& settings_;
    QPlainTextEdit* editor_;
    QComboBox* charsetBox_;
    std::string bytes_;
    ListCharset charset_ = ListCharset::Windows;
};

}  // namespace lumora::print
