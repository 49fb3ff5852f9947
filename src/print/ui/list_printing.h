// The main window's list commands: view and print a list in the one list
// viewer, and set up the printer the viewer prints on.
#pragma once

#include <QObject>
#include <QPointer>
#include <QPrinter>
#include <functional>

#include "print/ui/drucken.h"

namespace lumora::print {

class ListPrinting : public QObject {
public:
    // Lives as long as `owner`, which the viewer belongs to as well.
    ListPrinting(const AppSettings& settings, QWidget* owner);

    // "Liste ansehen / drucken...": asks for a list file and shows it.
    void ViewList();
    // Shows `path` in the viewer, making the viewer when there is none, or
    // loading it into the open one and restoring that. Returns the viewer,
    // or nullptr when a new viewer could not read the file.
    TfrmDrucken* ShowList(const QString& path);
    // "Drucker einrichten...": the printer dialog on the shared printer.
    void PrinterSetup();

    TfrmDrucken* Viewer() const { return viewer_; }
    QPrinter& Printer() { return printer_; }

    // Tests replace the dialogs: the list file (empty: cancelled) and the
    // printer setup.
    std::function<QString()> askListFile;
    std::function<bool(QPrinter&)> askPrinterSetup;
    // Shows a file error of a new viewer; without it a message box.
    std::function<void(const QString& text)> showError;

private:
    const AppSettings& settings_;
    QWidget* owner_;
    QPrinter printer_{QPrinter::HighResolution};
    QPointer<TfrmDrucken> viewer_;
};

}  // namespace lumora::print
