#include "scan/ui/open_dialog.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>
#include <exception>

#include "scan/ui/file_info_call.h"
#include "scan/ui/host_dialogs.h"

namespace lumora::ui {

namespace {

QString Hint(const char* text) {
    return QString::fromUtf8(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

std::string HostPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

}  // namespace

TfrmOpen::TfrmOpen(const std::string& folder, QWidget* parent)
    : QDialog(parent),
      showFileInfo(ShowFileInformation),
      onUnexpectedError([this] { EndAfterUnexpectedError(); }) {
    setObjectName(QStringLiteral("frmOpen"));
    setWindowTitle(
        QString::fromUtf8("Dateien \xc3\xb6"
                          "ffnen"));
    // The file dialog is embedded as a plain widget so the check box and the
    // button can stand below it.
    dlgOpen1 = new QFileDialog(this, windowTitle(), QFile::decodeName(folder.c_str()));
    dlgOpen1->setObjectName(QStringLiteral("dlgOpen1"));
    dlgOpen1->setWindowFlags(Qt::Widget);
    dlgOpen1->setOption(QFileDialog::DontUseNativeDialog);
    dlgOpen1->setFileMode(QFileDialog::ExistingFiles);
    dlgOpen1->setAcceptMode(QFileDialog::AcceptOpen);
    dlgOpen1->setNameFilter(QtNameFilter(kArchiveFileTypes));
    dlgOpen1->setLabelText(QFileDialog::Accept, QString::fromUtf8("&\xc3\x96"
                                                                  "ffnen"));
    dlgOpen1->setLabelText(QFileDialog::Reject, QStringLiteral("&Abbrechen"));
    if (auto* box = dlgOpen1->findChild<QDialogButtonBox*>()) {
        QPushButton* help = box->addButton(QStringLiteral("&Hilfe"), QDialogButtonBox::HelpRole);
        help->setObjectName(QStringLiteral("btnHelp"));
        connect(help, &QPushButton::clicked, this, [this] {
            if (showHelp) showHelp();
        });
    }
    connect(dlgOpen1, &QFileDialog::finished, this, [this](int result) {
        if (result == QDialog::Accepted)
            dlgOpen1FileOK();
        else
            reject();
    });

    chkSubdirs = new QCheckBox(QString::fromUtf8("Unterverzeichnisse mit einschlie\xc3\x9f"
                                                 "en"),
                               this);
    chkSubdirs->setObjectName(QStringLiteral("chkSubdirs"));
    chkSubdirs->setToolTip(
        Hint("Durchsucht auch alle Unterverzeichnisse des aktuellen\r\n"
             "Verzeichnisses nach Archiven und bezieht diese in die\r\n"
             "Analyse mit ein"));
    btnInfo = new QPushButton(QStringLiteral("&Datei Info..."), this);
    btnInfo->setObjectName(QStringLiteral("btnInfo"));
    btnInfo->setAutoDefault(false);
    btnInfo->setToolTip(
        Hint("Zeigt Informationen \xc3\xbc"
             "ber die markierte Datei\r\nan und sofern es sich um ein Archiv handelt,\r\n"
             "auch dessen Inhalt"));
    connect(btnInfo, &QPushButton::clicked, this, [this] { btnInfoClick(); });

    auto* below = new QHBoxLayout;
    below->setContentsMargins(10, 0, 10, 6);
    below->addWidget(chkSubdirs);
    below->addStretch();
    below->addWidget(btnInfo);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(dlgOpen1, 1);
    layout->addLayout(below);
    resize(660, 440);
}

std::string TfrmOpen::CurrentFileName() const {
    const QStringList files = dlgOpen1->selectedFiles();
    return files.isEmpty() ? std::string() : HostPath(files.front());
}

void TfrmOpen::dlgOpen1FileOK() {
    try {
        std::vector<std::string> names;
        for (const QString& file : dlgOpen1->selectedFiles()) names.push_back(HostPath(file));
        choice_ = TakeOverDialogChoice(HostPath(dlgOpen1->directory().absolutePath()), names);
        includeSubfolders_ = chkSubdirs->isChecked();
        accept();
    } catch (const std::exception&) {
        choice_.reset();
        if (onUnexpectedError) onUnexpectedError();
        reject();
    }
}

void TfrmOpen::btnInfoClick() {
    const std::string path = CurrentFileName();
    if (!path.empty() && showFileInfo) showFileInfo(path);
}

void TfrmOpen::EndAfterUnexpectedError() {
    ShowMessageBox(this, "Lumora - Fehler", kUnexpectedErrorText, MsgIcon::Error, MsgButtons::Ok);
    QCoreApplication::exit(1);
}

}  // namespace lumora::ui
