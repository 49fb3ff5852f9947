#include "settings/ui/line_filter_dialog.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "settings/filter_files.h"
#include "settings/ui/char_views.h"
#include "settings/ui/input_box.h"

namespace lumora {

namespace {

QPushButton* Button(const QString& caption, const char* name, const QString& hint = {}) {
    auto* button = new QPushButton(caption);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(hint);
    return button;
}

}  // namespace

TfrmZeilenfilter::TfrmZeilenfilter(QWidget* parent, Configuration& config, std::string programDir,
                                   DialogVoice voice)
    : QDialog(parent),
      config_(config),
      programDir_(std::move(programDir)),
      voice_(std::move(voice)) {
    setWindowTitle(QStringLiteral("Zeilenfilter definieren"));
    lbxLines_ = new QListWidget;
    lbxLines_->setSelectionMode(QAbstractItemView::SingleSelection);
    lbxLines_->setFixedSize(300, 220);
    cbxView_ = MakeViewChooser();
    connect(cbxView_, &QComboBox::currentIndexChanged, this,
            [this] { ShowEntries(lbxLines_->currentRow()); });

    auto* group = new QGroupBox(QStringLiteral(" Diese Zeilen wurden bereits definiert : "));
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(lbxLines_);

    auto* btnNew = Button(QStringLiteral("&Neu..."), "btnNew",
                          QString::fromUtf8("Eine neue Zeile hinzufügen"));
    auto* btnDelete = Button(QString::fromUtf8("&Löschen"), "btnDelete",
                             QString::fromUtf8("Die markierte Zeile löschen"));
    auto* btnImport = Button(QStringLiteral("Importieren..."), "btnImport");
    btnImport->setEnabled(false);
    auto* btnFinish =
        Button(QStringLiteral("&Beenden"), "btnFinish", QStringLiteral("Diesen Editor beenden"));
    connect(btnNew, &QPushButton::clicked, this, [this] { NewClick(); });
    connect(btnDelete, &QPushButton::clicked, this, [this] { DeleteClick(); });
    connect(btnFinish, &QPushButton::clicked, this, [this] { FinishClick(); });

    auto* side = new QVBoxLayout;
    side->addWidget(btnNew);
    side->addWidget(btnDelete);
    side->addWidget(btnImport);
    side->addStretch();
    side->addWidget(cbxView_);
    side->addWidget(btnFinish);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(side);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    ShowEntries(-1);
}

void TfrmZeilenfilter::LoadEntries() {
    if (auto lines = ReadLineFilterFile(programDir_)) {
        entries_ = std::move(*lines);
        SortLineFilter(entries_);
    } else {
        voice_.Message(
            this, QMessageBox::Information, QStringLiteral("Filter leer"),
            QString::fromUtf8("Es wurden noch keine Zeilen für diesen Filter definiert."));
    }
    ShowEntries(-1);
}

void TfrmZeilenfilter::ShowEntries(int selected) {
    const CharView view = ViewOf(cbxView_);
    QFont font = view == CharView::MsDos ? GlyphFont(10) : QDialog::font();
    font.setBold(true);
    lbxLines_->setFont(font);
    lbxLines_->clear();
    for (const std::string& entry : entries_) lbxLines_->addItem(DecodeInView(entry, view));
    if (selected >= 0 && selected < lbxLines_->count()) lbxLines_->setCurrentRow(selected);
}

void TfrmZeilenfilter::NewClick() {
    const QString text =
        InputBox(this, QStringLiteral("Neuer Filter"), StandardInputPrompt(), voice_);
    if (text == CancelMarker()) return;
    const std::string entry = QStringToAnsi(text);
    const std::size_t place = LineFilterInsertPosition(entries_, entry);
    entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(place), entry);
    ShowEntries(static_cast<int>(place));
}

void TfrmZeilenfilter::DeleteClick() {
    const int row = lbxLines_->selectedItems().isEmpty() ? -1 : lbxLines_->currentRow();
    if (row < 0 || row >= static_cast<int>(entries_.size())) {
        voice_.Beep();
        return;
    }
    if (voice_.Message(this, QMessageBox::Question, QString::fromUtf8("Löschen"),
                       QString::fromUtf8("Diese Zeile aus dem Filter löschen ?"),
                       QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    entries_.erase(entries_.begin() + row);
    ShowEntries(-1);
}

void TfrmZeilenfilter::FinishClick() {
    std::string error;
    if (!SaveLineFilter(entries_, programDir_, &error)) {
        voice_.Message(this, QMessageBox::Critical, QStringLiteral("Fehler"),
                       QString::fromStdString(error));
        return;
    }
    LoadLineFilter(config_, programDir_);
    accept();
}

void ShowLineFilterDialog(QWidget* parent, Configuration& config, const std::string& programDir,
                          const DialogVoice& voice) {
    TfrmZeilenfilter dialog(parent, config, programDir, voice);
    dialog.LoadEntries();
    dialog.exec();
}

}  // namespace lumora
