#include "lmtools/pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace lumora::lmtools {

namespace {

const QColor kTeal(0, 128, 128);

}  // namespace

QPixmap FilePicture(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);

    // The sheet, its top right corner folded down.
    QPainterPath sheet;
    sheet.moveTo(6.5, 2.5);
    sheet.lineTo(20.5, 2.5);
    sheet.lineTo(26.5, 8.5);
    sheet.lineTo(26.5, 29.5);
    sheet.lineTo(6.5, 29.5);
    sheet.closeSubpath();
    p.setPen(QPen(QColor(64, 64, 64), 1));
    p.setBrush(Qt::white);
    p.drawPath(sheet);
    QPainterPath fold;
    fold.moveTo(20.5, 2.5);
    fold.lineTo(20.5, 8.5);
    fold.lineTo(26.5, 8.5);
    p.setBrush(QColor(200, 200, 200));
    p.drawPath(fold);

    // Text lines in teal, the last one short.
    p.setPen(QPen(kTeal, 1.5));
    for (int i = 0; i < 6; ++i) {
        const double y = 12.5 + 3 * i;
        p.drawLine(QPointF(9.5, y), QPointF(i == 5 ? 17.5 : 23.5, y));
    }
    return pixmap;
}

QIcon MemberIcon() {
    return QIcon(FilePicture(16));
}

void GradientPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0, palette().color(QPalette::Button));
    gradient.setColorAt(1, kTeal);
    p.fillRect(rect(), gradient);
}

}  // namespace lumora::lmtools
