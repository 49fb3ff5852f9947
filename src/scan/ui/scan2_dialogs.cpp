#include "scan/ui/scan2_dialogs.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

#include "platform/text.h"
#include "scan/scan2_command.h"

namespace lumora {

namespace {

QString FromAnsi(const std::string& ansi) {
    return QString::fromStdString(AnsiToUtf8(ansi));
}

std::string ToAnsi(const QString& text) {
    return Utf8ToAnsi(text.toStdString());
}

void ShowNotice(QWidget* owner, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Hinweis"), text, QMessageBox::Ok, owner);
    box.exec();
}

QLabel* WrappedLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

}  // namespace

ScanFolderBrowser::ScanFolderBrowser(const std::string& title, const std::string& caption,
                                     QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(FromAnsi(caption));
    lblTitle = new QLabel(FromAnsi(title), this);
    // The file dialog is embedded as a plain widget, so the title can stand
    // above it; it shows folders only and starts at the root.
    browser = new QFileDialog(this, FromAnsi(caption), QStringLiteral("/"));
    browser->setWindowFlags(Qt::Widget);
    browser->setOption(QFileDialog::DontUseNativeDialog);
    browser->setOption(QFileDialog::ShowDirsOnly);
    browser->setFileMode(QFileDialog::Directory);
    browser->setAcceptMode(QFileDialog::AcceptOpen);
    browser->setLabelText(QFileDialog::LookIn, QStringLiteral("Suchen in:"));
    browser->setLabelText(QFileDialog::FileName, QStringLiteral("Verzeichnis:"));
    browser->setLabelText(QFileDialog::FileType, QStringLiteral("Dateityp:"));
    browser->setLabelText(QFileDialog::Accept, QStringLiteral("&Auswählen"));
    browser->setLabelText(QFileDialog::Reject, QStringLiteral("&Abbrechen"));
    connect(browser, &QFileDialog::finished, this, &QDialog::done);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblTitle);
    layout->addWidget(browser);
    resize(640, 420);
}

std::optional<std::string> ScanFolderBrowser::ChosenFolder() const {
    if (result() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = browser->selectedFiles();
    if (chosen.isEmpty() || chosen.front().isEmpty()) return std::nullopt;
    return chosen.front().toStdString();
}

TfrmScanOpt::TfrmScanOpt(const std::string& caption, const std::vector<std::string>& infoFileList,
                         QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(FromAnsi(caption));
    setObjectName(QStringLiteral("frmScanOpt"));

    lbxSearchFor = new QListWidget(this);
    lbxSearchFor->setObjectName(QStringLiteral("lbxSearchFor"));
    for (const auto& name : infoFileList) {
        auto* item = new QListWidgetItem(FromAnsi(name), lbxSearchFor);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    chkSubDirs = new QCheckBox(QStringLiteral("Unterverzeichnisse in die Suche einbeziehen"), this);
    chkSubDirs->setObjectName(QStringLiteral("chkSubDirs"));
    btnOkay = new QPushButton(QStringLiteral("&Weiter >>"), this);
    btnOkay->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("&Abbrechen"), this);
    connect(btnOkay, &QPushButton::clicked, this, [this] { btnOkayClick(); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOkay);
    buttons->addWidget(btnCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(WrappedLabel(
        QStringLiteral("Sie möchten nach einzelnen Beschreibungs - Dateien suchen, die nicht in "
                       "komprimierten Archiven vorliegen. Sie können nun noch einige "
                       "Einstellungen treffen, um diese Suche an Ihre Bedürfnisse anzupassen."),
        this));
    layout->addWidget(WrappedLabel(QStringLiteral("Nach welchen der von Ihnen definierten Datei - "
                                                  "Typen soll gesucht werden ?"),
                                   this));
    layout->addWidget(lbxSearchFor, 1);
    layout->addWidget(
        WrappedLabel(QStringLiteral("Sollen auch eventuelle Unterverzeichnisse des "
                                    "von Ihnen markierten Ordners durchsucht werden ?"),
                     this));
    layout->addWidget(chkSubDirs);
    layout->addLayout(buttons);
    setFixedSize(420, 380);
}

void TfrmScanOpt::btnOkayClick() {
    ScanIIOptions options;
    for (int i = 0; i < lbxSearchFor->count(); ++i) {
        const QListWidgetItem* item = lbxSearchFor->item(i);
        if (item->checkState() == Qt::Checked) options.searchNames.push_back(ToAnsi(item->text()));
    }
    if (options.searchNames.empty()) {
        // The dialog stays open until a name is ticked or it is cancelled.
        ShowNotice(this, QString::fromUtf8(kNoNameTickedText));
        return;
    }
    std::sort(
        options.searchNames.begin(), options.searchNames.end(),
        [](const std::string& a, const std::string& b) { return AnsiCompareOrder(a, b) < 0; });
    options.includeSubfolders = chkSubDirs->isChecked();
    choices_ = std::move(options);
    accept();
}

void TfrmScanOpt::btnCancelClick() {
    choices_.reset();
    reject();
}

std::optional<std::string> AskFolder(const std::string& title, const std::string& caption,
                                     QWidget* parent) {
    ScanFolderBrowser browser(title, caption, parent);
    browser.exec();
    return browser.ChosenFolder();
}

std::optional<ScanIIOptions> AskScanIIOptions(const std::string& caption,
                                              const std::vector<std::string>& infoFileList,
                                              QWidget* parent) {
    TfrmScanOpt dialog(caption, infoFileList, parent);
    dialog.exec();
    return dialog.Choices();
}

}  // namespace lumora
