// Preloaded into the C test program: when a QApplication starts, a timer
// closes every modal window that opens and appends its title as a line to
// the file named by LMTOOLS_CLOSER_LOG, so a program without Qt can run the
// library's modal windows and see which ones opened.
#include <QApplication>
#include <QFile>
#include <QTimer>
#include <QWidget>

namespace {

void CloseModalWindows() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || modal->property("closed").toBool()) return;
    modal->setProperty("closed", true);
    QFile log(QString::fromLocal8Bit(qgetenv("LMTOOLS_CLOSER_LOG")));
    if (log.open(QIODevice::WriteOnly | QIODevice::Append))
        log.write(modal->windowTitle().toUtf8() + '\n');
    modal->close();
}

void StartCloser() {
    auto* timer = new QTimer(QCoreApplication::instance());
    QObject::connect(timer, &QTimer::timeout, &CloseModalWindows);
    timer->start(20);
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(StartCloser)
