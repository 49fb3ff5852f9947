#include "lmtools/contents_window.h"

#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>

#include <algorithm>
#include <exception>

#include "lmtools/pictures.h"
#include "lmtools/window_texts.h"
#include "platform/text.h"

namespace lumora::lmtools {

namespace {

constexpr int kClientWidth = 466;
constexpr int kMargin = 10;
constexpr int kInnerWidth = kClientWidth - 2 * kMargin;  // 446, as the labels and the list
constexpr int kListHeight = 216;

QString FromAnsi(const std::string& ansi) {
    return QString::fromStdString(AnsiToUtf8(ansi));
}

// A path that may wrap after every "/" (a zero-width space follows each).
QString BreakablePath(const std::string& path) {
    QString text = QString::fromStdString(path);
    text.replace(QLatin1Char('/'), QStringLiteral("/\u200B"));
    return text;
}

void ShowBox(QWidget* owner, QMessageBox::Icon icon, const QString& caption, const QString& text) {
    QMessageBox box(icon, caption, text, QMessageBox::Ok, owner);
    box.exec();
}

struct Column {
    const char* caption;  // UTF-8
    int width;
    bool right;
};

constexpr int kDateColumn = 2;
const Column kColumns[] = {{"Dateiname", 120, false}, {"Größe", 80, true},
                           {"Datum", 100, false},     {"Ratio", 50, true},
                           {"Gepackt", 80, true},     {"Verzeichnis", 130, false}};

}  // namespace

TfrmInhalt::TfrmInhalt(const std::string& path, const LocaleFormats& formats, QWidget* parent)
    : QDialog(parent), path_(path), formats_(formats) {
    setObjectName(QStringLiteral("frmInhalt"));
    setWindowTitle(QStringLiteral("Lumora - Archivinhalt"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::WindowTitleHint);
    // The places are made for an 11-pixel font.
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);

    Label1 = new QLabel(
        QStringLiteral("Der Inhalt des von Ihnen markierten Archives mit dem Namen"), this);
    lblFile = new QLabel(BreakablePath(path), this);
    lblFile->setObjectName(QStringLiteral("lblFile"));
    lblFile->setWordWrap(true);
    QFont bold = small;
    bold.setBold(true);
    lblFile->setFont(bold);
    Label3 = new QLabel(
        QStringLiteral("besteht aus den unten aufgelisteten Dateien. Wenn Sie dieses Archiv "
                       "bearbeiten möchten, dann wechseln Sie in den Lumora Packwart. Sie können "
                       "dieses Modul im Lumora Haupt- menü aufrufen und dem Archiv Dateien "
                       "hinzufügen, entfernen und vieles mehr."),
        this);
    Label3->setWordWrap(true);
    BuildList();
    btnClose = new QPushButton(QStringLiteral("&Schließen"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setDefault(true);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
    PlaceControls();

    ZipTV1.SetFileSpec("*.*");
    ZipTV1.OnRead = [this](archive::TZipTV& sender, std::uint64_t, int) { ZipTV1Read(sender); };
    ZipTV1.OnError = [this](archive::TZipCommon&, const std::string& fn, const std::string&,
                            int code) { ZipTV1Error(fn, code); };
}

void TfrmInhalt::BuildList() {
    lvwInhalt = new QTreeWidget(this);
    lvwInhalt->setObjectName(QStringLiteral("lvwInhalt"));
    lvwInhalt->setRootIsDecorated(false);
    lvwInhalt->setItemsExpandable(false);
    lvwInhalt->setUniformRowHeights(true);
    lvwInhalt->setSelectionMode(QAbstractItemView::SingleSelection);
    lvwInhalt->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvwInhalt->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvwInhalt->setSortingEnabled(false);
    lvwInhalt->setIconSize(QSize(16, 16));
    lvwInhalt->header()->setSectionsClickable(false);
    lvwInhalt->header()->setSectionsMovable(false);
    lvwInhalt->header()->setStretchLastSection(false);
    // The selected row keeps its colour when the list loses the focus.
    QPalette palette = lvwInhalt->palette();
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    lvwInhalt->setPalette(palette);

    QStringList captions;
    for (const Column& c : kColumns) captions << QString::fromUtf8(c.caption);
    lvwInhalt->setHeaderLabels(captions);
    // The date column is made wide enough for a date with its time, which
    // this font draws wider than the 100 pixels it was made for.
    const int dateWidth =
        lvwInhalt->fontMetrics().horizontalAdvance(QStringLiteral("00.00.0000 00:00:00")) + 16;
    for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i) {
        lvwInhalt->setColumnWidth(
            i, i == kDateColumn ? std::max(kColumns[i].width, dateWidth) : kColumns[i].width);
        lvwInhalt->headerItem()->setTextAlignment(
            i, (kColumns[i].right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    }
}

void TfrmInhalt::PlaceControls() {
    // Top to bottom at the full inner width; the file name takes as many
    // lines as it needs and the window grows with it.
    int y = kMargin;
    for (QLabel* label : {Label1, lblFile, Label3}) {
        const int height = label->heightForWidth(kInnerWidth) > 0
                               ? label->heightForWidth(kInnerWidth)
                               : label->sizeHint().height();
        label->setGeometry(kMargin, y, kInnerWidth, height);
        y += height + 6;
    }
    lvwInhalt->setGeometry(kMargin, y, kInnerWidth, kListHeight);
    y += kListHeight + 8;
    const QSize button(90, 25);
    btnClose->setGeometry(kClientWidth - kMargin - button.width(), y, button.width(),
                          button.height());
    setFixedSize(kClientWidth, y + button.height() + kMargin);
}

void TfrmInhalt::ZipTV1Read(const archive::TZipTV& lister) {
    try {
        const ContentsRow row = MakeContentsRow(lister, formats_);
        auto* item = new QTreeWidgetItem(lvwInhalt);
        const std::string cells[] = {row.name,  row.size,   row.date,
                                     row.ratio, row.packed, row.directory};
        for (int i = 0; i < static_cast<int>(std::size(cells)); ++i) {
            item->setText(i, FromAnsi(cells[i]));
            item->setTextAlignment(
                i, (kColumns[i].right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
        }
        item->setIcon(0, MemberIcon());
    } catch (const std::exception&) {
        ShowBox(this, QMessageBox::Critical, QStringLiteral("Hinweis"),
                QStringLiteral("Beim Anzeigen des Archiv-Inhaltes ist ein Fehler aufgetreten !"));
    }
}

void TfrmInhalt::ZipTV1Error(const std::string& fileName, int code) {
    listingError_ = true;
    ShowBox(parentWidget(), QMessageBox::Warning, QStringLiteral("Warnung"),
            QStringLiteral("Der Inhalt der Datei \n\n") + QString::fromStdString(fileName) +
                QStringLiteral("\n\nkann nicht angezeigt werden (") + QString::number(code) +
                QStringLiteral(")"));
}

bool TfrmInhalt::Run() {
    listingError_ = false;
    try {
        // The lister opens the archive read-only; its result is not needed,
        // errors come through OnError.
        ZipTV1.SetArchiveFile(path_);
        ZipTV1.SetFileSpec("*.*");
        ZipTV1.Activate();
    } catch (const std::exception& e) {
        ShowBox(parentWidget(), QMessageBox::NoIcon, QStringLiteral("Lumora"), FromAnsi(e.what()));
        return false;
    }
    if (!listingError_) exec();
    return true;
}

bool DisplayContents(const std::string& path, const LocaleFormats& formats, QWidget* parent) {
    TfrmInhalt window(path, formats, parent);
    return window.Run();
}

}  // namespace lumora::lmtools
