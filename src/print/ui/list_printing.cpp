#include "print/ui/list_printing.h"

#include <QFileDialog>
#include <QPrintDialog>

#include "print/ui/drucken.h"

namespace lumora::print {

ListPrinting::ListPrinting(const AppSettings& settings, QWidget* owner)
    : QObject(owner), settings_(settings), owner_(owner) {}

void ListPrinting::ViewList() {
    const QString path =
        askListFile ? askListFile()
                    : QFileDialog::getOpenFileName(
                          owner_, QStringLiteral("Welche File-Liste drucken ?"), QString(),
                          QStringLiteral("Text-Dateien (*.txt);;Daten-Dateien (*.dat);;"
                                         "Datei-Listen (*.lst);;Files.BBS-Dateien (*.bbs);;"
                                         "Alle Dateien (*)"));
    if (!path.isEmpty()) ShowList(path);
}

TfrmDrucken* ListPrinting::ShowList(const QString& path) {
    if (viewer_) {
        viewer_->LoadFile(path);
        viewer_->setWindowState(viewer_->windowState() & ~Qt::WindowMinimized);
        viewer_->show();
        viewer_->raise();
        viewer_->activateWindow();
        return viewer_;
    }
    auto* viewer = new TfrmDrucken(printer_, settings_, owner_);
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    viewer->showError = showError;
    if (!viewer->LoadFile(path)) {
        delete viewer;
        return nullptr;
    }
    viewer->ApplyListFont();
    viewer->show();
    viewer_ = viewer;
    return viewer;
}

void ListPrinting::PrinterSetup() {
    if (askPrinterSetup) {
        askPrinterSetup(printer_);
        return;
    }
    QPrintDialog dialog(&printer_, owner_);
    dialog.setWindowTitle(QStringLiteral("Drucker einrichten"));
    dialog.setOptions(QAbstractPrintDialog::PrintDialogOptions());
    dialog.exec();
}

}  // namespace lumora::print
