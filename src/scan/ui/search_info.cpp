#include "scan/ui/search_info.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

namespace lumora::ui {

namespace {

constexpr int kSegments = 12;
constexpr int kStepMilliseconds = 80;

}  // namespace

BusyAnimation::BusyAnimation(QWidget* parent) : QWidget(parent), timer_(new QTimer(this)) {
    setObjectName(QStringLiteral("animSeek"));
    setFixedSize(32, 32);
    timer_->setInterval(kStepMilliseconds);
    connect(timer_, &QTimer::timeout, this, [this] {
        step_ = (step_ + 1) % kSegments;
        update();
    });
}

void BusyAnimation::Start() {
    show();
    timer_->start();
}

void BusyAnimation::Stop() {
    timer_->stop();
    hide();
}

bool BusyAnimation::running() const {
    return timer_->isActive();
}

void BusyAnimation::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(width() / 2.0, height() / 2.0);
    const double radius = std::min(width(), height()) / 2.0;
    const QColor ink = palette().color(QPalette::WindowText);
    for (int i = 0; i < kSegments; ++i) {
        // The segment at the current step is darkest; those behind it fade.
        const int age = (step_ - i + kSegments) % kSegments;
        QColor c = ink;
        c.setAlphaF(1.0 - 0.8 * age / (kSegments - 1));
        p.setPen(QPen(c, radius / 5.0, Qt::SolidLine, Qt::RoundCap));
        p.save();
        p.rotate(360.0 * i / kSegments);
        p.drawLine(QPointF(0, -radius * 0.45), QPointF(0, -radius * 0.85));
        p.restore();
    }
}

TfrmSearchInfo::TfrmSearchInfo(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("frmSearchInfo"));
    setWindowTitle(QStringLiteral("Dateien suchen..."));
    setModal(false);
    auto* text = new QLabel(QStringLiteral("Moment... durchsuche Unterverzeichnisse"), this);
    lblInfo = new QLabel(this);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    // Room for the 40 characters of the shortened folder.
    lblInfo->setMinimumWidth(lblInfo->fontMetrics().horizontalAdvance(QString(40, QChar('W'))) * 3 /
                             4);
    animSeek = new BusyAnimation(this);
    animSeek->hide();
    btnCancel = new QPushButton(QStringLiteral("&Abbrechen"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });

    auto* texts = new QVBoxLayout;
    texts->addWidget(text);
    texts->addWidget(lblInfo);
    auto* top = new QHBoxLayout;
    top->addWidget(animSeek, 0, Qt::AlignTop);
    top->addSpacing(8);
    top->addLayout(texts, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnCancel);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TfrmSearchInfo::ShowFolder(const std::string& shownFolder) {
    lblInfo->setText(QString::fromStdString(shownFolder));
    QApplication::processEvents();
}

void TfrmSearchInfo::btnCancelClick() {
    if (onCancel) onCancel();
}

void TfrmSearchInfo::reject() {
    // Closing the window while the search runs stops it like "&Abbrechen".
    btnCancelClick();
    QDialog::reject();
}

}  // namespace lumora::ui
