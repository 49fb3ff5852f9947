#include "settings/ui/settings_dialog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFocusEvent>
#include <QFontDialog>
#include <QFontInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "platform/text.h"
#include "settings/ui/input_box.h"
#include "settings/ui/line_filter_dialog.h"
#include "settings/ui/special_char_dialog.h"

namespace lumora {

namespace {

template <class W>
W* Named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QString Hex3(int code) {
    return QStringLiteral("%1").arg(code, 3, 16, QLatin1Char('0')).toUpper();
}

QLineEdit* ReadOnlyField(int width) {
    auto* field = new QLineEdit;
    field->setReadOnly(true);
    field->setFixedWidth(width);
    return field;
}

QSpinBox* SpinEdit(int minimum, int maximum) {
    auto* spin = new QSpinBox;
    spin->setRange(minimum, maximum);
    spin->setFixedWidth(80);
    return spin;
}

// A track bar with its end labels and a read-only number field.
QGroupBox* TrackBarGroup(const QString& title, QSlider* slider, QLineEdit* number, int maximum) {
    slider->setOrientation(Qt::Horizontal);
    slider->setRange(1, maximum);
    slider->setMinimumWidth(260);
    auto* row = new QGridLayout;
    row->addWidget(slider, 0, 0, 1, 2);
    row->addWidget(number, 0, 2);
    row->addWidget(new QLabel(QStringLiteral("1 Zeichen")), 1, 0, Qt::AlignLeft);
    row->addWidget(new QLabel(QString::number(maximum) + QStringLiteral(" Zeichen")), 1, 1,
                   Qt::AlignRight);
    auto* group = new QGroupBox(title);
    group->setLayout(row);
    return group;
}

QLabel* WrappedLabel(const QString& text) {
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    return label;
}

}  // namespace

TfrmSettings::TfrmSettings(QWidget* parent, Configuration& config, SettingsLocation where,
                           SettingsDialogOptions options)
    : QDialog(parent), config_(config), where_(std::move(where)), options_(std::move(options)) {
    setWindowTitle(QStringLiteral("Einstellungen"));
    pages_ = Named(new QTabWidget, "pages");
    pages_->setUsesScrollButtons(false);  // all six tabs stay in sight
    pages_->addTab(BuildListPageI(), QStringLiteral("Datei - Liste I"));
    pages_->addTab(BuildListPageII(), QStringLiteral("Datei - Liste II"));
    pages_->addTab(BuildListPageIII(), QStringLiteral("Datei - Liste III"));
    pages_->addTab(BuildFilterPage(), QStringLiteral("Filter"));
    pages_->addTab(BuildOtherPage(), QStringLiteral("Sonstiges"));
    pages_->addTab(BuildInfoFilesPage(), QStringLiteral("FILE_ID.DIZ && Co"));

    btnOK = Named(new QPushButton(QStringLiteral("&OK")), "btnOK");
    btnOK->setDefault(true);
    btnCancel = Named(new QPushButton(QStringLiteral("&Abbrechen")), "btnCancel");
    btnApply = Named(new QPushButton(U("Üb&ernehmen")), "btnApply");
    connect(btnOK, &QPushButton::clicked, this, [this] { OkClick(); });
    connect(btnCancel, &QPushButton::clicked, this, &TfrmSettings::reject);
    connect(btnApply, &QPushButton::clicked, this, [this] { ApplyClick(); });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    buttons->addWidget(btnApply);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages_);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    LoadSettings(config_, where_);
    FillControls();
    ConnectLiveChanges();
    ConnectFilterChanges();
    edtDivisionChar->installEventFilter(this);
    edtDivisionCharInt->installEventFilter(this);
}

QWidget* TfrmSettings::BuildListPageI() {
    chkOEM = Named(new QCheckBox(U("Datei - Liste mit MS-DOS Zeichensatz schreiben")), "chkOEM");
    chkResume = Named(new QCheckBox(U("Zusammenfassung an Liste anhängen")), "chkResume");
    chkDivide = Named(new QCheckBox(U("Trennzeile zwischen Archiven einfügen")), "chkDivide");
    edtDivisionChar = Named(new QLineEdit, "edtDivisionChar");
    edtDivisionChar->setMaxLength(1);
    edtDivisionChar->setFixedWidth(40);
    edtDivisionCharInt = Named(new QLineEdit, "edtDivisionCharInt");
    edtDivisionCharInt->setMaxLength(3);
    edtDivisionCharInt->setFixedWidth(40);
    edtDivisionCharInt->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9 ]{0,3}")), edtDivisionCharInt));
    edtDivisionCharHex = Named(ReadOnlyField(40), "edtDivisionCharHex");
    edtDivisionCharHex->setMaxLength(3);

    auto* fields = new QGridLayout;
    fields->setColumnMinimumWidth(0, 20);
    fields->addWidget(new QLabel(U("Trennzeile mit diesem Zeichen schreiben :")), 0, 1);
    fields->addWidget(edtDivisionChar, 0, 2);
    fields->addWidget(new QLabel(U("entspricht Char :")), 1, 1);
    fields->addWidget(edtDivisionCharInt, 1, 2);
    fields->addWidget(new QLabel(U("dezimal")), 1, 3);
    fields->addWidget(new QLabel(U("entspricht Char :")), 2, 1);
    fields->addWidget(edtDivisionCharHex, 2, 2);
    fields->addWidget(new QLabel(U("hexadezimal")), 2, 3);
    fields->setColumnStretch(4, 1);

    auto* charset = new QGroupBox(U("Zeichensatz, Trennzeile"));
    auto* charsetLayout = new QVBoxLayout(charset);
    charsetLayout->addWidget(chkOEM);
    charsetLayout->addWidget(chkResume);
    charsetLayout->addWidget(chkDivide);
    charsetLayout->addLayout(fields);

    rbnAlignLeft = Named(new QRadioButton(U("Dateiname linksbündig")), "rbnAlignLeft");
    rbnAlignRight = Named(new QRadioButton(U("Dateiname rechtsbündig")), "rbnAlignRight");
    auto* align = new QGroupBox(U("Ausrichtung :"));
    auto* alignLayout = new QVBoxLayout(align);
    alignLayout->addWidget(rbnAlignLeft);
    alignLayout->addWidget(rbnAlignRight);

    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(charset);
    layout->addWidget(align);
    layout->addStretch();
    return page;
}

QWidget* TfrmSettings::BuildListPageII() {
    trkWidth = Named(new QSlider, "trkWidth");
    edtWidth = Named(ReadOnlyField(40), "edtWidth");
    trkWidth2 = Named(new QSlider, "trkWidth2");
    edtWidth2 = Named(ReadOnlyField(40), "edtWidth2");
    chkShortName = Named(new QCheckBox(U("MS-DOS ( 8 + 3 ) Dateinamen in der Liste verwenden")),
                         "chkShortName");
    chkSourceDir = Named(new QCheckBox(U("Quell-Verzeichnis  mit anhängen")), "chkSourceDir");
    auto* names = new QGroupBox(U("Dateinamen, Quellverzeichnis"));
    auto* namesLayout = new QVBoxLayout(names);
    namesLayout->addWidget(chkShortName);
    namesLayout->addWidget(chkSourceDir);

    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(TrackBarGroup(U("Breite Dateibeschreibung"), trkWidth, edtWidth, 60));
    layout->addWidget(
        TrackBarGroup(U("Breite der Trennzeile"), trkWidth2, edtWidth2, kSeparatorLineLength));
    layout->addWidget(names);
    layout->addStretch();
    return page;
}

QWidget* TfrmSettings::BuildListPageIII() {
    static constexpr const char* kDesigns[] = {
        "Ersten FILE_ID komplett anzeigen, alle weiteren 1 Zeile",
        "Alle FILE_IDs komplett anzeigen",
        "Von allen FILE_IDs nur die erste Zeile anzeigen",
        "Letzten FILE_ID komplett anzeigen, alle weiteren 1 Zeile",
    };
    auto* design = new QGroupBox(U("Darstellung der FILE IDs"));
    auto* designLayout = new QVBoxLayout(design);
    grpDesign = new QButtonGroup(this);
    for (int id = 1; id <= 4; ++id) {
        auto* button = new QRadioButton(U(kDesigns[id - 1]));
        button->setObjectName(QStringLiteral("rbnDesign%1").arg(id));
        grpDesign->addButton(button, id);
        designLayout->addWidget(button);
    }

    spnSpace1 = Named(SpinEdit(1, 10), "spnSpace1");
    spnSpace2 = Named(SpinEdit(1, 10), "spnSpace2");
    spnSpace3 = Named(SpinEdit(1, 10), "spnSpace3");
    const std::pair<const char*, QSpinBox*> gaps[] = {{"Dateiname <-> Dateigröße", spnSpace1},
                                                      {"Dateigröße <-> Datum", spnSpace2},
                                                      {"Datum <-> Beschreibung", spnSpace3}};
    auto* spaces = new QGroupBox(U("Abstände"));
    auto* spacesLayout = new QGridLayout(spaces);
    int row = 0;
    for (const auto& [caption, spin] : gaps) {
        spacesLayout->addWidget(new QLabel(U(caption)), row, 0);
        spacesLayout->addWidget(spin, row, 1);
        spacesLayout->addWidget(new QLabel(U("Zeichen")), row, 2);
        ++row;
    }
    spacesLayout->setColumnStretch(3, 1);

    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(design);
    layout->addWidget(spaces);
    layout->addStretch();
    return page;
}

QWidget* TfrmSettings::BuildFilterPage() {
    chkRemoveEmpty =
        Named(new QCheckBox(U("Leere Zeilen aus den FILE_IDs entfernen")), "chkRemoveEmpty");
    chkRemove = Named(new QCheckBox(U("Sonderzeichen - Behandlung aktivieren")), "chkRemove");
    rbnRemoveLine =
        Named(new QRadioButton(U("Zeilen komplett entfernen, die Sonderzeichen enthalten")),
              "rbnRemoveLine");
    rbnRemoveChar =
        Named(new QRadioButton(U("Nur die Sonderzeichen aus der jeweiligen Zeile entfernen")),
              "rbnRemoveChar");
    btnSpecialChars =
        Named(new QPushButton(U("Sonderzeichen - Filter definieren...")), "btnSpecialChars");
    auto* panel = new QFrame;
    panel->setFrameShape(QFrame::StyledPanel);
    auto* panelLayout = new QVBoxLayout(panel);
    panelLayout->addWidget(rbnRemoveLine);
    panelLayout->addWidget(rbnRemoveChar);
    auto* special = new QGroupBox(U("Sonderzeichenbehandlung"));
    auto* specialLayout = new QVBoxLayout(special);
    specialLayout->addWidget(chkRemoveEmpty);
    specialLayout->addWidget(chkRemove);
    specialLayout->addWidget(panel);
    specialLayout->addWidget(btnSpecialChars, 0, Qt::AlignRight);

    chkUseFilter = Named(new QCheckBox(U("Zeilen - Filter aktivieren")), "chkUseFilter");
    chkSize = Named(new QCheckBox(U("GROSS- und Klein- Schreibung beachten")), "chkSize");
    rbnContains = Named(new QRadioButton(U("Zeilen löschen, die den Filter irgendwo enthalten")),
                        "rbnContains");
    rbnExactMatch = Named(new QRadioButton(U("Zeilen löschen, die GENAU dem Filter entsprechen")),
                          "rbnExactMatch");
    btnLineFilter = Named(new QPushButton(U("Zeilen - Filter definieren...")), "btnLineFilter");
    auto* lines = new QGroupBox(U("Zeilenfilter"));
    auto* linesLayout = new QVBoxLayout(lines);
    for (QWidget* w :
         std::initializer_list<QWidget*>{chkUseFilter, chkSize, rbnContains, rbnExactMatch})
        linesLayout->addWidget(w);
    linesLayout->addWidget(btnLineFilter, 0, Qt::AlignRight);

    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(special);
    layout->addWidget(lines);
    layout->addStretch();
    return page;
}

QWidget* TfrmSettings::BuildOtherPage() {
    edtFont = Named(ReadOnlyField(260), "edtFont");
    auto* btnFont = Named(new QPushButton(QStringLiteral("...")), "btnFont");
    btnFont->setFixedWidth(32);
    connect(btnFont, &QPushButton::clicked, this, [this] { ChooseFont(); });
    auto* font = new QGroupBox(U("Schriftart für Listendarstellung"));
    auto* fontLayout = new QHBoxLayout(font);
    fontLayout->addWidget(edtFont);
    fontLayout->addWidget(btnFont);
    fontLayout->addStretch();

    chkTip = Named(new QCheckBox(U("\"Tip des Tages\" beim Programmstart anzeigen")), "chkTip");
    auto* tip = new QGroupBox(U("Tip des Tages"));
    (new QVBoxLayout(tip))->addWidget(chkTip);

    spnLines = Named(SpinEdit(1, 10000), "spnLines");
    auto* log = new QGroupBox(U("Länge des Protokolls"));
    auto* logLayout = new QHBoxLayout(log);
    logLayout->addWidget(new QLabel(U("Nach")));
    logLayout->addWidget(spnLines);
    logLayout->addWidget(new QLabel(U("Zeilen löschen")));
    logLayout->addStretch();

    lblHints = Named(WrappedLabel(QString()), "lblHints");
    auto* hints = new QGroupBox(U("Hinweise zur Systemkonfiguration :"));
    (new QVBoxLayout(hints))->addWidget(lblHints);

    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    for (QWidget* group : std::initializer_list<QWidget*>{font, tip, log, hints})
        layout->addWidget(group);
    layout->addStretch();
    return page;
}

QWidget* TfrmSettings::BuildInfoFilesPage() {
    auto* title = new QLabel(U("Dateien, nach denen Lumora suchen soll"));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    lbxInfoFiles = Named(new QListWidget, "lbxInfoFiles");
    lbxInfoFiles->setSelectionMode(QAbstractItemView::SingleSelection);

    auto arrow = [](Qt::ArrowType type, const char* name, const char* hint) {
        auto* button = Named(new QToolButton, name);
        button->setArrowType(type);
        button->setToolTip(U(hint));
        button->setFixedSize(32, 32);
        return button;
    };
    auto* btnUp = arrow(Qt::UpArrow, "btnUp", "Priorität +1");
    auto* btnDown = arrow(Qt::DownArrow, "btnDown", "Priorität -1");
    auto* btnNew = Named(new QPushButton(U("&Neu...")), "btnNewInfoFile");
    btnNew->setToolTip(U("Neuen Dateityp hinzufügen"));
    auto* btnDelete = Named(new QPushButton(U("&Löschen")), "btnDeleteInfoFile");
    btnDelete->setToolTip(U("Dateityp löschen"));
    connect(btnUp, &QToolButton::clicked, this, [this] { MoveInfoFile(-1); });
    connect(btnDown, &QToolButton::clicked, this, [this] { MoveInfoFile(1); });
    connect(btnNew, &QPushButton::clicked, this, [this] { NewInfoFile(); });
    connect(btnDelete, &QPushButton::clicked, this, [this] { DeleteInfoFile(); });

    auto* side = new QVBoxLayout;
    side->addWidget(btnUp, 0, Qt::AlignHCenter);
    side->addWidget(btnDown, 0, Qt::AlignHCenter);
    side->addStretch();
    side->addWidget(btnNew);
    side->addWidget(btnDelete);
    auto* listRow = new QHBoxLayout;
    listRow->addWidget(lbxInfoFiles, 1);
    listRow->addLayout(side);

    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(title);
    layout->addWidget(
        WrappedLabel(U("Lumora bietet Ihnen die Möglichkeit, daß Sie auch andere Arten von "
                       "Archiv-Beschreibungen mit in Ihre Listen aufnehmen können, d.h. also auch "
                       "Beschreibungen, die einen anderen Namen als FILE_ID.DIZ haben.")));
    layout->addWidget(WrappedLabel(
        U("Die Reihenfolge der Einträge entscheidet darüber, welche Datei in dem Archiv zuerst "
          "gesucht wird. Sie können beliebig viele Einträge vornehmen und die Reihenfolge mit "
          "den Pfeilen anpassen")));
    layout->addLayout(listRow, 1);
    return page;
}

void TfrmSettings::FillControls() {
    const AppSettings& s = config_.settings;
    chkDivide->setChecked(s.Divide);
    edtDivisionChar->setText(AnsiToQString(s.DivisionChar));
    edtDivisionCharHex->setText(AnsiToQString(s.DivisionCharHex));
    edtDivisionCharInt->setText(AnsiToQString(s.DivisionCharInt));
    chkResume->setChecked(s.Resume);
    chkOEM->setChecked(s.OEM);
    chkRemoveEmpty->setChecked(s.RemoveEmpty);
    chkShortName->setChecked(s.ShortName);
    chkTip->setChecked(s.Tip);
    chkSourceDir->setChecked(s.SourceDir);
    ShowFontName();
    (s.Align != 0 ? rbnAlignRight : rbnAlignLeft)->setChecked(true);
    grpDesign->button(s.Design >= 1 && s.Design <= 4 ? s.Design : 1)->setChecked(true);
    chkRemove->setChecked(s.Remove);
    rbnRemoveChar->setChecked(s.RemoveChar);
    rbnRemoveLine->setChecked(s.RemoveLine);
    chkUseFilter->setChecked(s.UseFilter);
    chkSize->setChecked(s.Size);
    if (s.Mode == 0) rbnContains->setChecked(true);
    if (s.Mode == 1) rbnExactMatch->setChecked(true);
    trkWidth->setValue(s.Width);
    edtWidth->setText(QString::number(trkWidth->value()));
    trkWidth2->setValue(s.Width2);
    edtWidth2->setText(QString::number(trkWidth2->value()));
    spnSpace1->setValue(s.Space1);
    spnSpace2->setValue(s.Space2);
    spnSpace3->setValue(s.Space3);
    spnLines->setValue(s.Lines);
    for (const std::string& name : config_.InfoFileList) {
        auto* item = new QListWidgetItem(AnsiToQString(name), lbxInfoFiles);
        item->setData(Qt::UserRole, QByteArray::fromStdString(name));
    }
    lblHints->setText(options_.colourDepth > 8
                          ? U("Keine Hinweise...")
                          : U("Ihr System stellt nur 256 oder weniger Farben zur Verfügung.Mit "
                              "mehr als 256 Farben könnten Sie Lumora mit HiColor Icons "
                              "verwenden."));
    EnableDependents();
}

void TfrmSettings::EnableDependents() {
    for (QWidget* w : {edtDivisionChar, edtDivisionCharInt, edtDivisionCharHex})
        w->setEnabled(chkDivide->isChecked());
    for (QWidget* w :
         std::initializer_list<QWidget*>{rbnRemoveLine, rbnRemoveChar, btnSpecialChars})
        w->setEnabled(chkRemove->isChecked());
    for (QWidget* w :
         std::initializer_list<QWidget*>{chkSize, rbnContains, rbnExactMatch, btnLineFilter})
        w->setEnabled(chkUseFilter->isChecked());
}

void TfrmSettings::ConnectLiveChanges() {
    auto live = [this](QCheckBox* box, bool AppSettings::*option) {
        connect(box, &QCheckBox::toggled, this, [this, option](bool checked) {
            config_.settings.*option = checked;
            EnableDependents();
        });
    };
    live(chkOEM, &AppSettings::OEM);
    live(chkResume, &AppSettings::Resume);
    live(chkDivide, &AppSettings::Divide);
    live(chkShortName, &AppSettings::ShortName);
    live(chkSourceDir, &AppSettings::SourceDir);
    live(chkRemoveEmpty, &AppSettings::RemoveEmpty);
    live(chkRemove, &AppSettings::Remove);
    live(chkUseFilter, &AppSettings::UseFilter);
    live(chkSize, &AppSettings::Size);
    live(chkTip, &AppSettings::Tip);

    auto track = [this](QSlider* slider, QLineEdit* number, int AppSettings::*option) {
        connect(slider, &QSlider::valueChanged, this, [this, number, option](int value) {
            config_.settings.*option = value;
            number->setText(QString::number(value));
            number->repaint();
        });
    };
    track(trkWidth, edtWidth, &AppSettings::Width);
    track(trkWidth2, edtWidth2, &AppSettings::Width2);
    auto spin = [this](QSpinBox* box, int AppSettings::*option) {
        connect(box, &QSpinBox::valueChanged, this,
                [this, option](int value) { config_.settings.*option = value; });
    };
    spin(spnSpace1, &AppSettings::Space1);
    spin(spnSpace2, &AppSettings::Space2);
    spin(spnSpace3, &AppSettings::Space3);
    spin(spnLines, &AppSettings::Lines);
    connect(grpDesign, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked) config_.settings.Design = id;
    });
}

void TfrmSettings::ConnectFilterChanges() {
    for (QRadioButton* button : {rbnRemoveLine, rbnRemoveChar}) {
        connect(button, &QRadioButton::toggled, this, [this] {
            config_.settings.RemoveLine = rbnRemoveLine->isChecked();
            config_.settings.RemoveChar = rbnRemoveChar->isChecked();
        });
    }
    connect(rbnContains, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked) config_.settings.Mode = static_cast<int>(LineFilterMode::Contains);
    });
    connect(rbnExactMatch, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked) config_.settings.Mode = static_cast<int>(LineFilterMode::ExactMatch);
    });
    connect(btnSpecialChars, &QPushButton::clicked, this,
            [this] { ShowSpecialCharDialog(this, config_, where_.programDir, options_.voice); });
    connect(btnLineFilter, &QPushButton::clicked, this,
            [this] { ShowLineFilterDialog(this, config_, where_.programDir, options_.voice); });
}

bool TfrmSettings::CharFieldLeft() {
    const QString text = edtDivisionChar->text();
    if (text.isEmpty()) {
        options_.voice.Message(this, QMessageBox::Critical, QStringLiteral("Hinweis"),
                               U("Sie müssen mindesten 1 Zeichen eingeben !"));
        return false;
    }
    const std::string ansi = QStringToAnsi(text.left(1));
    const int code = ansi.empty() ? 0 : static_cast<unsigned char>(ansi.front());
    edtDivisionCharInt->setText(QString::number(code));
    edtDivisionCharHex->setText(Hex3(code));
    return true;
}

bool TfrmSettings::DecimalFieldLeft() {
    const QString text = edtDivisionCharInt->text().trimmed();
    bool number = false;
    const int code = text.toInt(&number);
    if (!number || code < 0 || code > 255) {
        options_.voice.Message(this, QMessageBox::Critical, QStringLiteral("Hinweis"),
                               U("Sie müssen einen gültigen Wert zwischen 0 und 255 eingeben !"));
        return false;
    }
    edtDivisionChar->setText(AnsiToQString(std::string(1, static_cast<char>(code))));
    edtDivisionCharHex->setText(Hex3(code));
    return true;
}

// Checks a separator field when the focus leaves it for another control of
// this dialog. Window changes (the message box itself), a move to Cancel and
// a closing dialog are let through, so the check can neither call itself
// again nor keep the user from cancelling.
void TfrmSettings::LeavingSeparatorField(QLineEdit* field, Qt::FocusReason reason) {
    if (checkingField_ || !isVisible() || !field->isEnabled()) return;
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) return;
    if (QApplication::focusWidget() == btnCancel) return;
    checkingField_ = true;
    const bool valid = field == edtDivisionChar ? CharFieldLeft() : DecimalFieldLeft();
    if (!valid) {
        activateWindow();  // the message box had it
        if (field->isVisible()) {
            field->setFocus(Qt::OtherFocusReason);
        } else {
            QTimer::singleShot(0, this, [this, field] {
                pages_->setCurrentIndex(0);
                field->setFocus(Qt::OtherFocusReason);
            });
        }
        // The click that moved the focus away must not reach its target.
        if (reason == Qt::MouseFocusReason) {
            swallowPress_ = true;
            qApp->installEventFilter(this);
            QTimer::singleShot(0, this, [this] {
                swallowPress_ = false;
                qApp->removeEventFilter(this);
            });
        }
    }
    checkingField_ = false;
}

bool TfrmSettings::eventFilter(QObject* watched, QEvent* event) {
    if (swallowPress_ && event->type() == QEvent::MouseButtonPress) {
        swallowPress_ = false;
        return true;
    }
    if (event->type() == QEvent::FocusOut &&
        (watched == edtDivisionChar || watched == edtDivisionCharInt)) {
        LeavingSeparatorField(static_cast<QLineEdit*>(watched),
                              static_cast<QFocusEvent*>(event)->reason());
    }
    return QDialog::eventFilter(watched, event);
}

// OK by the Enter key leaves the focus in a separator field: check it here.
bool TfrmSettings::FocusedSeparatorFieldValid() {
    auto* field = qobject_cast<QLineEdit*>(focusWidget());
    if (field == nullptr || !field->isEnabled()) return true;
    if (field != edtDivisionChar && field != edtDivisionCharInt) return true;
    checkingField_ = true;
    const bool valid = field == edtDivisionChar ? CharFieldLeft() : DecimalFieldLeft();
    checkingField_ = false;
    if (!valid) {
        activateWindow();
        field->setFocus(Qt::OtherFocusReason);
    }
    return valid;
}

bool TfrmSettings::Save() {
    AppSettings& s = config_.settings;
    s.DivisionChar = QStringToAnsi(edtDivisionChar->text());
    s.DivisionCharHex = QStringToAnsi(edtDivisionCharHex->text());
    s.DivisionCharInt = QStringToAnsi(edtDivisionCharInt->text());
    s.Align = rbnAlignLeft->isChecked() ? 0 : 1;
    const std::vector<std::string> names = InfoFileNames();
    std::string error;
    const bool saved = SaveSettings(config_, where_, &names, &error);
    if (!saved)
        options_.voice.Message(this, QMessageBox::Critical, QStringLiteral("Fehler"),
                               U(kSaveErrorText));
    if (!LoadInfoFileList(InfoFileListPath(where_.programDir), config_.InfoFileList))
        options_.voice.Message(this, QMessageBox::NoIcon, QStringLiteral("Warnung"),
                               U("Kann LM_IDS.DAT nicht laden."));
    FillSeparatorLine(config_);
    if (options_.onSaved) options_.onSaved();
    return saved;
}

void TfrmSettings::OkClick() {
    if (!FocusedSeparatorFieldValid()) return;
    Save();
    accept();
}

void TfrmSettings::ApplyClick() {
    if (!FocusedSeparatorFieldValid()) return;
    if (Save())
        options_.voice.Message(this, QMessageBox::Information, QStringLiteral("Hinweis"),
                               U("Einstellungen gespeichert"));
}

void TfrmSettings::reject() {
    LoadSettings(config_, where_);
    QDialog::reject();
}

void TfrmSettings::closeEvent(QCloseEvent* event) {
    event->accept();
    QDialog::done(QDialog::Rejected);
}

void TfrmSettings::ShowFontName() {
    edtFont->setText(AnsiToQString(config_.settings.Font1Name) + QStringLiteral(", ") +
                     QString::number(config_.settings.Font1Size) + QStringLiteral(" Punkte"));
}

void TfrmSettings::ChooseFont() {
    std::optional<QFont> chosen;
    if (options_.chooseFont) {
        chosen = options_.chooseFont(this);
    } else {
        // A font built from family and size only has the regular style; the
        // dialog would otherwise preselect whatever style it finds first.
        const QFont start(QApplication::font().family(), QApplication::font().pointSize());
        bool ok = false;
        const QFont font = QFontDialog::getFont(&ok, start, this);
        if (ok) chosen = font;
    }
    if (!chosen) return;
    config_.settings.Font1Name = QStringToAnsi(chosen->family());
    config_.settings.Font1Size =
        chosen->pointSize() > 0 ? chosen->pointSize() : QFontInfo(*chosen).pointSize();
    ShowFontName();
}

int TfrmSettings::SelectedInfoFile() const {
    return lbxInfoFiles->selectedItems().isEmpty() ? -1 : lbxInfoFiles->currentRow();
}

void TfrmSettings::MoveInfoFile(int step) {
    const int row = SelectedInfoFile();
    const int target = row + step;
    if (row < 0 || target < 0 || target >= lbxInfoFiles->count()) {
        options_.voice.Beep();
        return;
    }
    QListWidgetItem* item = lbxInfoFiles->takeItem(row);
    lbxInfoFiles->insertItem(target, item);
    lbxInfoFiles->setCurrentRow(target);
}

void TfrmSettings::NewInfoFile() {
    const QString text = InputBox(
        this, U("Neue Datei-Art"),
        U("Geben Sie die neue Datei-Art ein und klicken Sie auf \"Okay\""), options_.voice);
    if (text == CancelMarker()) return;
    const std::string name = UpperAZ(QStringToAnsi(text));
    auto* item = new QListWidgetItem(AnsiToQString(name), lbxInfoFiles);
    item->setData(Qt::UserRole, QByteArray::fromStdString(name));
}

void TfrmSettings::DeleteInfoFile() {
    const int row = SelectedInfoFile();
    if (row >= 0) delete lbxInfoFiles->takeItem(row);
}

std::vector<std::string> TfrmSettings::InfoFileNames() const {
    std::vector<std::string> names;
    for (int i = 0; i < lbxInfoFiles->count(); ++i)
        names.push_back(lbxInfoFiles->item(i)->data(Qt::UserRole).toByteArray().toStdString());
    return names;
}

void ShowSettingsDialog(QWidget* parent, Configuration& config, const SettingsLocation& where,
                        const SettingsDialogOptions& options) {
    TfrmSettings dialog(parent, config, where, options);
    dialog.exec();
}

}  // namespace lumora
