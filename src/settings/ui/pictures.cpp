#include "settings/ui/pictures.h"

#include <QFile>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace lumora {

namespace {

QString ResourceName(SmallPicture which) {
    switch (which) {
        case SmallPicture::Splash:
            return QStringLiteral("splash");
        case SmallPicture::Tip:
            return QStringLiteral("tip");
        case SmallPicture::Support:
            return QStringLiteral("support");
        case SmallPicture::About:
            return QStringLiteral("about");
    }
    return {};
}

// A round blue disc with the product name, version and company text.
void DrawSplash(QPainter& p, int s) {
    QRadialGradient glow(s * 0.4, s * 0.35, s * 0.7);
    glow.setColorAt(0, QColor(90, 150, 230));
    glow.setColorAt(1, QColor(10, 30, 100));
    p.setBrush(glow);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(0, 0, s, s));
    p.setPen(Qt::white);
    QFont big(QStringLiteral("Arial"));
    big.setPixelSize(s / 6);
    big.setBold(true);
    p.setFont(big);
    p.drawText(QRectF(0, s * 0.30, s, s * 0.22), Qt::AlignCenter, kProductName);
    QFont small(QStringLiteral("Arial"));
    small.setPixelSize(s / 14);
    small.setBold(true);
    small.setItalic(true);
    p.setFont(small);
    p.drawText(QRectF(0, s * 0.18, s, s * 0.12), Qt::AlignCenter, kCompanyText);
    small.setItalic(false);
    p.setFont(small);
    p.drawText(QRectF(0, s * 0.52, s, s * 0.12), Qt::AlignCenter,
               QStringLiteral("Version ") + kVersionText);
    // Three stacked file cards below the text: what the program lists.
    p.setPen(QPen(Qt::white, 1.5));
    for (int i = 0; i < 3; ++i) {
        p.setBrush(QColor(255, 255, 255, 60 + 50 * i));
        p.drawRect(QRectF(s * 0.36 + i * 6, s * 0.66 + i * 6, s * 0.22, s * 0.14));
    }
}

// A light bulb.
void DrawTip(QPainter& p, int s) {
    p.setPen(QPen(QColor(120, 90, 0), s / 32.0));
    p.setBrush(QColor(255, 220, 60));
    p.drawEllipse(QRectF(s * 0.22, s * 0.08, s * 0.56, s * 0.56));
    p.setBrush(QColor(160, 160, 170));
    p.setPen(QPen(QColor(70, 70, 80), s / 40.0));
    for (int i = 0; i < 3; ++i)
        p.drawRect(QRectF(s * 0.36, s * (0.64 + i * 0.08), s * 0.28, s * 0.08));
    p.setPen(QPen(QColor(255, 250, 200), s / 24.0));
    p.drawArc(QRectF(s * 0.32, s * 0.18, s * 0.3, s * 0.3), 100 * 16, 70 * 16);
}

// A letter in front of a globe: web page and mail.
void DrawSupport(QPainter& p, int s) {
    p.setPen(QPen(QColor(0, 70, 140), s / 40.0));
    p.setBrush(QColor(120, 190, 240));
    const QRectF globe(s * 0.05, s * 0.05, s * 0.7, s * 0.7);
    p.drawEllipse(globe);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(globe.adjusted(s * 0.2, 0, -s * 0.2, 0));
    p.drawLine(QPointF(globe.left(), globe.center().y()),
               QPointF(globe.right(), globe.center().y()));
    const QRectF letter(s * 0.35, s * 0.5, s * 0.6, s * 0.4);
    p.setPen(QPen(QColor(90, 60, 20), s / 40.0));
    p.setBrush(QColor(250, 245, 225));
    p.drawRect(letter);
    p.drawLine(letter.topLeft(), letter.center());
    p.drawLine(letter.topRight(), letter.center());
}

// A file list on a sheet with a magnifying glass.
void DrawAbout(QPainter& p, int s) {
    p.setPen(QPen(QColor(60, 60, 60), s / 48.0));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(s * 0.12, s * 0.06, s * 0.6, s * 0.8));
    p.setPen(QPen(QColor(0, 0, 128), s / 32.0));
    for (int i = 0; i < 6; ++i) {
        const double y = s * (0.18 + i * 0.11);
        p.drawLine(QPointF(s * 0.2, y), QPointF(s * (i % 2 ? 0.5 : 0.62), y));
    }
    p.setPen(QPen(QColor(100, 60, 20), s / 14.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(s * 0.74, s * 0.74), QPointF(s * 0.92, s * 0.92));
    p.setPen(QPen(QColor(40, 40, 40), s / 24.0));
    p.setBrush(QColor(200, 230, 255, 170));
    p.drawEllipse(QRectF(s * 0.46, s * 0.46, s * 0.34, s * 0.34));
}

}  // namespace

QPixmap LoadSmallPicture(SmallPicture which, int size) {
    const QString base = QStringLiteral(":/pictures/") + ResourceName(which);
    QPixmap fromResource;
    if (QFile::exists(base + QStringLiteral(".svg"))) {
        fromResource = QIcon(base + QStringLiteral(".svg")).pixmap(size, size);
    }
    if (fromResource.isNull() && QFile::exists(base + QStringLiteral(".png"))) {
        fromResource = QPixmap(base + QStringLiteral(".png"));
    }
    if (!fromResource.isNull()) {
        return fromResource.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    QPixmap drawn(size, size);
    drawn.fill(Qt::transparent);
    QPainter p(&drawn);
    p.setRenderHint(QPainter::Antialiasing);
    switch (which) {
        case SmallPicture::Splash:
            DrawSplash(p, size);
            break;
        case SmallPicture::Tip:
            DrawTip(p, size);
            break;
        case SmallPicture::Support:
            DrawSupport(p, size);
            break;
        case SmallPicture::About:
            DrawAbout(p, size);
            break;
    }
    return drawn;
}

}  // namespace lumora
