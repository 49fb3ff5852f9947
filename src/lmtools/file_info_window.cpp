#include "lmtools/file_info_window.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include <exception>

#include "archive/core/awk_main.h"
#include "lmtools/contents_window.h"
#include "lmtools/pictures.h"
#include "platform/file_io.h"
#include "platform/text.h"

namespace lumora::lmtools {

namespace {

constexpr int kClientWidth = 383;
constexpr int kClientHeight = 315;
constexpr int kFieldsLeft = 55;   // right of the icon and the gradient panel
constexpr int kValuesLeft = 210;  // the value labels
constexpr int kRowHeight = 20;

QLabel* AddLabel(QWidget* parent, const QString& text, const QRect& place) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(place);
    return label;
}

// A value label: "#" until it is filled.
QLabel* AddValue(QWidget* parent, const char* name, int y) {
    QLabel* label = AddLabel(parent, QStringLiteral("#"),
                             QRect(kValuesLeft, y, kClientWidth - kValuesLeft - 10, kRowHeight));
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

void AddLine(QWidget* parent, int y) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(kFieldsLeft, y, kClientWidth - kFieldsLeft - 10, 2);
}

void ShowBox(QWidget* owner, QMessageBox::Icon icon, const QString& caption, const QString& text) {
    QMessageBox box(icon, caption, text, QMessageBox::Ok, owner);
    box.exec();
}

}  // namespace

TfrmFileInfo::TfrmFileInfo(const std::string& path, const LocaleFormats& formats, QWidget* parent)
    : QDialog(parent), path_(path), formats_(formats) {
    setObjectName(QStringLiteral("frmFileInfo"));
    setWindowTitle(QStringLiteral("Lumora - Datei Informationen"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::WindowTitleHint);
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);

    auto* icon = new QLabel(this);
    icon->setPixmap(FilePicture(32));
    icon->setGeometry(10, 8, 32, 32);
    auto* panel = new GradientPanel(this);
    panel->setGeometry(18, 48, 16, kClientHeight - 48 - 10);

    BuildFields();
    BuildAttributes();
    BuildButtons();
    setFixedSize(kClientWidth, kClientHeight);
}

void TfrmFileInfo::BuildFields() {
    const int captionWidth = kValuesLeft - kFieldsLeft - 4;
    AddLabel(this, QStringLiteral("Dateiname :"), QRect(kFieldsLeft, 14, captionWidth, kRowHeight));
    lblFilename = AddValue(this, "lblFilename", 14);
    QFont bold = lblFilename->font();
    bold.setBold(true);
    lblFilename->setFont(bold);
    AddLine(this, 42);

    const char* captions[] = {"Dateigröße :",           "Erstellt am :",
                              "Letzter Zugriff am :",   "Letzter Schreibzugriff am :",
                              "Anzahl Verknüpfungen :", "Datenträger - Nummer :"};
    QLabel** values[] = {&lblFileSize,    &lblCreation, &lblLastAccess,
                         &lblLastWritten, &lblLinks,    &lblSerial};
    const char* names[] = {"lblFileSize",    "lblCreation", "lblLastAccess",
                           "lblLastWritten", "lblLinks",    "lblSerial"};
    for (int i = 0; i < 6; ++i) {
        const int y = 52 + i * kRowHeight;
        AddLabel(this, QString::fromUtf8(captions[i]),
                 QRect(kFieldsLeft, y, captionWidth, kRowHeight));
        *values[i] = AddValue(this, names[i], y);
    }
}

void TfrmFileInfo::BuildAttributes() {
    struct Box {
        QCheckBox** box;
        const char* name;
        const char* text;
        int x, y;
    };
    const Box boxes[] = {{&chkArchive, "chkArchive", "Archiviert", kFieldsLeft, 180},
                         {&chkHidden, "chkHidden", "Versteckt", kFieldsLeft, 200},
                         {&chkSystem, "chkSystem", "Systemdatei", kFieldsLeft, 220},
                         {&chkReadOnly, "chkReadOnly", "Schreibgeschützt", kValuesLeft, 180},
                         {&chkCompressed, "chkCompressed", "Komprimiert", kValuesLeft, 200}};
    for (const Box& b : boxes) {
        auto* box = new QCheckBox(QString::fromUtf8(b.text), this);
        box->setObjectName(QString::fromLatin1(b.name));
        box->setGeometry(b.x, b.y, 140, kRowHeight);
        connect(box, &QCheckBox::clicked, this,
                [this, box](bool checked) { AttributeClick(box, checked); });
        *b.box = box;
    }
}

void TfrmFileInfo::BuildButtons() {
    AddLine(this, 266);
    btnView = new QPushButton(QStringLiteral("Zeige &Inhalt..."), this);
    btnView->setObjectName(QStringLiteral("btnView"));
    btnView->setToolTip(QStringLiteral("Zeigt den Inhalt der Archivdatei an"));
    btnView->setAutoDefault(false);
    btnView->setGeometry(kClientWidth - 10 - 90 - 6 - 100, 280, 100, 25);
    btnClose = new QPushButton(QStringLiteral("&Schließen"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setDefault(true);
    btnClose->setGeometry(kClientWidth - 10 - 90, 280, 90, 25);
    connect(btnView, &QPushButton::clicked, this, [this] { btnViewClick(); });
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
}

void TfrmFileInfo::Fill(int fd, const FactsReader& reader) {
    std::optional<FileFacts> facts;
    bool failed = false;
    {
        FileHandle file(fd);  // closed at the end of this block, whatever the answer
        try {
            facts = reader(file.get());
        } catch (const std::exception&) {
            failed = true;
        }
    }
    try {
        if (facts) SetFields(*facts);
    } catch (const std::exception&) {
        failed = true;
    }
    if (failed)
        ShowBox(
            this, QMessageBox::Critical, QStringLiteral("Fehler"),
            QStringLiteral("Die Informationen zu dieser Datei konnten nicht ermittelt werden !"));
}

void TfrmFileInfo::SetFields(const FileFacts& facts) {
    const std::string name = archive::HostFileNamePart(path_);
    // A name too long for the field shows its start and end; the whole name
    // stays in the tooltip.
    const QString fullName = QString::fromStdString(name);
    lblFilename->setText(
        lblFilename->fontMetrics().elidedText(fullName, Qt::ElideMiddle, lblFilename->width()));
    lblFilename->setToolTip(fullName);
    lblFileSize->setText(
        QString::fromStdString(AnsiToUtf8(GroupedDigits(facts.size, formats_.thousandsSeparator))) +
        QStringLiteral(" Bytes"));
    lblCreation->setText(facts.created ? QString::fromStdString(UtcStampText(*facts.created))
                                       : QStringLiteral("#"));
    lblLastAccess->setText(QString::fromStdString(UtcStampText(facts.accessed)));
    lblLastWritten->setText(QString::fromStdString(UtcStampText(facts.written)));
    lblLinks->setText(QString::number(facts.links));
    lblSerial->setText(QString::fromStdString(VolumeNumberText(facts.volume)));
    // Attributes as Linux has them: no archive or system flags at all.
    chkReadOnly->setChecked(facts.readOnly);
    chkHidden->setChecked(!name.empty() && name.front() == '.');
    chkCompressed->setChecked(facts.compressed);
}

void TfrmFileInfo::AttributeClick(QCheckBox* box, bool checked) {
    // The boxes only show the attributes: a click is taken back.
    box->setChecked(!checked);
    ShowBox(
        this, QMessageBox::Warning, QStringLiteral("Hinweis"),
        QStringLiteral("Verwenden Sie den Windows - Explorer, um Dateiattribute zu verändern."));
}

void TfrmFileInfo::btnViewClick() {
    DisplayContents(path_, formats_, this);
}

void GetFileInfo(const std::string& path, int fd, const LocaleFormats& formats, QWidget* parent,
                 const FactsReader& reader) {
    FileHandle file(fd);  // closed even when the window cannot be made
    TfrmFileInfo window(path, formats, parent);
    window.Fill(file.release(), reader);
    window.exec();
}

}  // namespace lumora::lmtools
