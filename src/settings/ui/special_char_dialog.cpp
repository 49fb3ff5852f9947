#include "settings/ui/special_char_dialog.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "settings/filter_files.h"

namespace lumora {

namespace {

constexpr int kCells = 16;
constexpr int kCellSize = 26;

// A red ring with a bar from top left to bottom right over `area`; the
// glyph below stays readable through its pale filling.
void DrawProhibitionSign(QPainter& painter, const QRectF& area) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal pen = area.width() / 9.0;
    const QRectF ring = area.adjusted(pen / 2, pen / 2, -pen / 2, -pen / 2);
    painter.setPen(QPen(QColor(220, 0, 0), pen));
    painter.setBrush(QColor(255, 0, 0, 40));
    painter.drawEllipse(ring);
    const QPointF centre = ring.center();
    const qreal reach = ring.width() / 2 * 0.7071;
    painter.drawLine(centre + QPointF(-reach, -reach), centre + QPointF(reach, reach));
    painter.restore();
}

}  // namespace

SpecialCharGrid::SpecialCharGrid(CharSet& marks, QWidget* parent) : QWidget(parent), marks_(marks) {
    setFixedSize(sizeHint());
    setFont(GlyphFont(12));
}

void SpecialCharGrid::SetView(CharView view) {
    view_ = view;
    update();
}

QRect SpecialCharGrid::CellRect(int code) const {
    return {(code % kCells) * kCellSize, (code / kCells) * kCellSize, kCellSize, kCellSize};
}

QSize SpecialCharGrid::sizeHint() const {
    return {kCells * kCellSize + 1, kCells * kCellSize + 1};
}

void SpecialCharGrid::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    painter.setPen(palette().mid().color());
    for (int i = 0; i <= kCells; ++i) {
        painter.drawLine(i * kCellSize, 0, i * kCellSize, kCells * kCellSize);
        painter.drawLine(0, i * kCellSize, kCells * kCellSize, i * kCellSize);
    }
    painter.setPen(palette().text().color());
    for (int code = 0; code < 255; ++code) {
        painter.drawText(CellRect(code), Qt::AlignCenter,
                         GlyphOf(static_cast<unsigned char>(code), view_));
    }
    for (int code = 0; code < 256; ++code) {
        if (!marks_.test(static_cast<std::size_t>(code))) continue;
        const QRect cell = CellRect(code);
        DrawProhibitionSign(painter,
                            QRectF(cell.x() + 1, cell.y() + 1, kCellSize - 2, kCellSize - 2));
    }
}

void SpecialCharGrid::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    const int column = at.x() / kCellSize;
    const int row = at.y() / kCellSize;
    if (event->button() != Qt::LeftButton || column >= kCells || row >= kCells) return;
    marks_.flip(static_cast<std::size_t>(row * kCells + column));
    update();
}

TfrmSonderzeichen::TfrmSonderzeichen(QWidget* parent, Configuration& config, std::string programDir,
                                     DialogVoice voice)
    : QDialog(parent),
      config_(config),
      programDir_(std::move(programDir)),
      voice_(std::move(voice)) {
    setWindowTitle(QStringLiteral("Sonderzeichen - Filter definieren"));
    auto* intro = new QLabel(QString::fromUtf8(
        "Klicken Sie mit der Maus die Sonderzeichen an, die in den Filter aufgenommen werden "
        "sollen. Jedes Zeichen, daß mit einem roten \"Verbots-Schild\" gekennzeichnet ist, wird "
        "aus der FILE_ID herausgefiltert."));
    intro->setWordWrap(true);
    grid_ = new SpecialCharGrid(config_.SpecialCharMarks);
    intro->setFixedWidth(grid_->width());
    cbxView_ = MakeViewChooser();
    connect(cbxView_, &QComboBox::currentIndexChanged, this,
            [this] { grid_->SetView(ViewOf(cbxView_)); });

    auto* btnAll = new QPushButton(QStringLiteral("Alle &markieren"));
    auto* btnClear = new QPushButton(QStringLiteral("&L\u00F6schen"));
    auto* btnInvert = new QPushButton(QStringLiteral("&Umkehren"));
    auto* btnOK = new QPushButton(QStringLiteral("&OK"));
    auto* btnCancel = new QPushButton(QStringLiteral("&Abbrechen"));
    btnAll->setObjectName(QStringLiteral("btnAll"));
    btnClear->setObjectName(QStringLiteral("btnClear"));
    btnInvert->setObjectName(QStringLiteral("btnInvert"));
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnOK->setDefault(true);
    connect(btnAll, &QPushButton::clicked, this, [this] { SetAll(true); });
    connect(btnClear, &QPushButton::clicked, this, [this] { SetAll(false); });
    connect(btnInvert, &QPushButton::clicked, this, [this] {
        config_.SpecialCharMarks.flip();
        grid_->update();
    });
    connect(btnOK, &QPushButton::clicked, this, [this] { OkClick(); });
    connect(btnCancel, &QPushButton::clicked, this, &TfrmSonderzeichen::reject);

    auto* side = new QVBoxLayout;
    side->addWidget(cbxView_);
    side->addSpacing(12);
    side->addWidget(new QLabel(QStringLiteral("Sonderzeichen :")));
    side->addWidget(btnAll);
    side->addWidget(btnClear);
    side->addWidget(btnInvert);
    side->addStretch();
    side->addWidget(btnOK);
    side->addWidget(btnCancel);
    auto* left = new QVBoxLayout;
    left->addWidget(intro);
    left->addWidget(grid_);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addLayout(side);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    config_.SpecialCharMarks.reset();
    Reload();
}

void TfrmSonderzeichen::SetAll(bool marked) {
    if (marked)
        config_.SpecialCharMarks.set();
    else
        config_.SpecialCharMarks.reset();
    grid_->update();
}

void TfrmSonderzeichen::Reload() {
    LoadSpecialCharFilter(config_, programDir_,
                          [this](const std::string& caption, const std::string& text) {
                              voice_.Message(this, QMessageBox::Critical, AnsiToQString(caption),
                                             AnsiToQString(text));
                          });
    grid_->update();
}

void TfrmSonderzeichen::OkClick() {
    std::string error;
    if (!SaveSpecialCharFilter(config_, programDir_, &error)) {
        voice_.Message(this, QMessageBox::Critical, QStringLiteral("Fehler"),
                       QString::fromStdString(error));
        return;
    }
    Reload();
    accept();
}

void TfrmSonderzeichen::reject() {
    Reload();
    QDialog::reject();
}

void TfrmSonderzeichen::closeEvent(QCloseEvent* event) {
    event->accept();
    QDialog::done(QDialog::Rejected);
}

void ShowSpecialCharDialog(QWidget* parent, Configuration& config, const std::string& programDir,
                           const DialogVoice& voice) {
    TfrmSonderzeichen dialog(parent, config, programDir, voice);
    dialog.exec();
}

}  // namespace lumora
