#include "scan/ui/sub_dirs.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "scan/ui/file_info_call.h"

namespace lumora::ui {

namespace {

QLabel* WrappedLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

}  // namespace

TfrmSubDirs::TfrmSubDirs(const std::string& sourceFolder, const std::vector<std::string>& found,
                         QWidget* parent)
    : QDialog(parent), showFileInfo(ShowFileInformation) {
    setObjectName(QStringLiteral("frmSubDirs"));
    setWindowTitle(QStringLiteral("Dateien in Unterverzeichnissen"));
    setModal(true);
    lblPfad = new QLabel(QString::fromStdString(sourceFolder), this);
    lblPfad->setObjectName(QStringLiteral("lblPfad"));
    QFont bold = lblPfad->font();
    bold.setBold(true);
    lblPfad->setFont(bold);

    lvwArchives = new QTreeWidget(this);
    lvwArchives->setObjectName(QStringLiteral("lvwArchives"));
    lvwArchives->setHeaderLabels({QStringLiteral("Datei"), QStringLiteral("Verzeichnis")});
    lvwArchives->header()->setStretchLastSection(false);
    lvwArchives->setColumnWidth(0, 150);
    lvwArchives->setColumnWidth(1, 200);
    lvwArchives->setRootIsDecorated(false);
    lvwArchives->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvwArchives->setSelectionMode(QAbstractItemView::SingleSelection);
    lvwArchives->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvwArchives->setToolTip(QString::fromUtf8(
        "Doppelklick auf einen Eintrag, um mehr Informatioen zu der Datei zu sehen"));
    for (const std::string& path : found) {
        const auto [folder, name] = SplitFolderAndName(path);
        auto* item = new QTreeWidgetItem(
            lvwArchives, {QString::fromStdString(name), QString::fromStdString(folder)});
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Checked);
        // The path as it came, since a file name need not be valid UTF-8.
        item->setData(0, Qt::UserRole, QByteArray::fromStdString(path));
    }
    connect(lvwArchives, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { lvwArchivesDblClick(item); });

    btnOkay = new QPushButton(QStringLiteral("&OK"), this);
    btnOkay->setObjectName(QStringLiteral("btnOkay"));
    btnOkay->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("&Abbrechen"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(btnOkay, &QPushButton::clicked, this, [this] { btnOkayClick(); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOkay);
    buttons->addWidget(btnCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(WrappedLabel(
        QString::fromUtf8("Die folgenden Archivdateien befinden sich in Unterverzeichnissen des "
                          "von Ihnen gew\xc3\xa4hlten Pfades"),
        this));
    layout->addWidget(lblPfad);
    layout->addWidget(WrappedLabel(
        QString::fromUtf8(
            "Sie haben nun die M\xc3\xb6glichkeit, die Auswahl weiter einzugrenzen, indem Sie "
            "die Archive mit einem H\xc3\xa4kchen versehen, die analysiert werden sollen. Sie "
            "k\xc3\xb6nnen Archive von der Analyse ausklammern, indem Sie das H\xc3\xa4kchen vor "
            "dem entsprechenden Eintrag entfernen."),
        this));
    layout->addWidget(lvwArchives, 1);
    layout->addLayout(buttons);
    resize(420, 400);
}

std::vector<bool> TfrmSubDirs::Ticked() const {
    std::vector<bool> ticked;
    for (int row = 0; row < lvwArchives->topLevelItemCount(); ++row)
        ticked.push_back(lvwArchives->topLevelItem(row)->checkState(0) == Qt::Checked);
    return ticked;
}

void TfrmSubDirs::btnOkayClick() {
    closedBy_ = PickerClose::Ok;
    accept();
}

void TfrmSubDirs::btnCancelClick() {
    closedBy_ = PickerClose::Cancel;
    reject();
}

void TfrmSubDirs::lvwArchivesDblClick(QTreeWidgetItem* item) {
    if (!item || !showFileInfo) return;
    showFileInfo(item->data(0, Qt::UserRole).toByteArray().toStdString());
}

}  // namespace lumora::ui
