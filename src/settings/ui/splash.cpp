#include "settings/ui/splash.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

#include "settings/ui/pictures.h"
#include "settings/ui/small_windows.h"

namespace lumora {

TfrmSplash::TfrmSplash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      picture_(LoadSmallPicture(SmallPicture::Splash, kSize)) {
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedSize(kSize, kSize);
    timer_.setSingleShot(true);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] {
        timer_.stop();
        hide();
        if (whenGone_) whenGone_();
    });
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
}

QRegion TfrmSplash::Shape() {
    // The corners are inclusive-exclusive as in a window region: 249 wide.
    return QRegion(QRect(1, 1, kSize - 1, kSize - 1), QRegion::Ellipse);
}

void TfrmSplash::StartTimer(std::function<void()> whenGone, int delayMs) {
    whenGone_ = std::move(whenGone);
    timer_.start(delayMs);
}

void TfrmSplash::showEvent(QShowEvent* event) {
    // Where the window system honours masks only the disc is a window; the
    // clipped, translucent painting gives the same look where it does not.
    setMask(Shape());
    QWidget::showEvent(event);
}

void TfrmSplash::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath disc;
    disc.addEllipse(QRectF(1, 1, kSize - 1, kSize - 1));
    p.setClipPath(disc);
    p.drawPixmap(0, 0, picture_);
}

TfrmSplash* ShowSplash(QWidget* parent) {
    auto* splash = new TfrmSplash(parent);
    splash->show();
    splash->repaint();
    QCoreApplication::processEvents();
    return splash;
}

}  // namespace lumora
