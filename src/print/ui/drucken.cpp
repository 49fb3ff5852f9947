#include "print/ui/drucken.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QToolBar>

#include "platform/text.h"
#include "print/line_printer.h"
#include "settings/app_settings.h"

namespace lumora::print {

namespace {

// The busy cursor for as long as it lives.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// The viewer prints with these margins (inches), lines cut, not wrapped.
void SetViewerPage(TLinePrinter& printer) {
    printer.SetMarginTop(0.1666667);
    printer.SetMarginBottom(0.5733331);
    printer.SetMarginLeft(0.1166667);
    printer.SetMarginRight(0.1533338);
    printer.WordWrap = false;
}

}  // namespace

TfrmDrucken::TfrmDrucken(QPrinter& printer, const AppSettings& settings, QWidget* parent)
    : QMainWindow(parent, Qt::Window),
      printer_(printer),
      settings_(settings),
      editor_(new QPlainTextEdit(this)),
      charsetBox_(new QComboBox(this)) {
    setWindowTitle(QStringLiteral("Lumora - Ausdruck von Dateilisten"));
    auto* bar = addToolBar(QStringLiteral("Liste"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(24, 24));
    bar->addAction(QIcon(QStringLiteral(":/pictures/list_open.svg")),
                   QStringLiteral("Dateiliste öffnen"), this, &TfrmDrucken::btnOpenClick);
    bar->addAction(QIcon(QStringLiteral(":/pictures/list_print.svg")),
                   QStringLiteral("Dateiliste drucken"), this, &TfrmDrucken::btnPrintClick);
    bar->addAction(QIcon(QStringLiteral(":/pictures/list_close.svg")), QStringLiteral("Schließen"),
                   this, &TfrmDrucken::btnCloseClick);
    bar->addSeparator();
    bar->addWidget(new QLabel(QStringLiteral(" Zeichensatz: "), bar));
    charsetBox_->addItems({QStringLiteral("Windows"), QStringLiteral("MS-DOS (850)"),
                           QStringLiteral("MS-DOS (437)")});
    charsetBox_->setToolTip(QStringLiteral("Zeichensatz der Dateiliste"));
    bar->addWidget(charsetBox_);
    connect(charsetBox_, &QComboBox::activated, this,
            [this](int index) { SetCharset(static_cast<ListCharset>(index)); });

    editor_->setLineWrapMode(QPlainTextEdit::NoWrap);
    editor_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    editor_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setCentralWidget(editor_);
    resize(760, 540);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

bool TfrmDrucken::LoadFile(const QString& path) {
    QFile file(path);
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly)) bytes = file.readAll();
    if (!file.isOpen() || file.error() != QFileDevice::NoError) {
        const QString text = QStringLiteral("Die Datei \"%1\" kann nicht gelesen werden.\n%2")
                                 .arg(QDir::toNativeSeparators(path), file.errorString());
        if (showError)
            showError(text);
        else
            QMessageBox::critical(this, QApplication::applicationName(), text);
        return false;
    }
    bytes_ = bytes.toStdString();
    charset_ = ListCharset::Windows;
    charsetBox_->setCurrentIndex(0);
    ShowText();
    return true;
}

void TfrmDrucken::SetCharset(ListCharset charset) {
    charset_ = charset;
    charsetBox_->setCurrentIndex(static_cast<int>(charset));
    ShowText();
}

// Lines end at CR, LF or CR LF in the file; the editor holds them with "\n".
void TfrmDrucken::ShowText() {
    const std::vector<std::string> lines = SplitTextLines(bytes_);
    std::string joined;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) joined += '\n';
        joined += lines[i];
    }
    editor_->setPlainText(QString::fromStdString(DecodeListText(joined, charset_)));
}

void TfrmDrucken::ApplyListFont() {
    const QFont font =
        FontOrFixed(QString::fromStdString(AnsiToUtf8(settings_.Font1Name)), settings_.Font1Size);
    // An unchanged font would lay a long list out again for nothing.
    if (editor_->font() != font) editor_->setFont(font);
}

bool TfrmDrucken::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate) ApplyListFont();
    return QMainWindow::event(event);
}

void TfrmDrucken::btnOpenClick() {
    const QString path = askOpenFile
                             ? askOpenFile()
                             : QFileDialog::getOpenFileName(this, QString(), QString(),
                                                            QStringLiteral("Alle Dateien (*)"));
    if (!path.isEmpty()) LoadFile(path);
}

void TfrmDrucken::btnPrintClick() {
    const bool confirmed =
        askPrint ? askPrint(printer_) : QPrintDialog(&printer_, this).exec() == QDialog::Accepted;
    if (!confirmed) return;
    const QString text = editor_->toPlainText();
    try {
        BusyCursor busy;
        TLinePrinter printer(&printer_);
        SetViewerPage(printer);
        if (!text.isEmpty()) printer.Lines = text.split(QLatin1Char('\n'));
        printer.SetFont(editor_->font());
        printer.BeginDoc();
        printer.PrintLines(true);
        printer.EndDoc();
    } catch (const ELinePrinter& e) {
        const QString message = QString::fromUtf8(e.what());
        if (showError)
            showError(message);
        else
            QMessageBox::critical(this, QApplication::applicationName(), message);
    }
}

void TfrmDrucken::btnCloseClick() {
    close();
}

}  // namespace lumora::print
