#include "settings/ui/help_window.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "settings/ui/small_windows.h"

namespace lumora {

namespace {

QString FindHelpPage(const QString& programDir) {
    for (const char* name : {kHelpPage, kHelpPageFlat}) {
        const QFileInfo page(programDir + QString::fromLatin1(name));
        if (page.isFile()) return page.absoluteFilePath();
    }
    return {};
}

}  // namespace

THelpWindow::THelpWindow(QWidget* parent, const QString& programDir)
    : QWidget(parent, Qt::Window), page_(FindHelpPage(programDir)) {
    setWindowTitle(QStringLiteral("Lumora - Hilfe"));
    setAttribute(Qt::WA_DeleteOnClose);
    browser_ = new QTextBrowser;
    browser_->setOpenExternalLinks(true);

    auto* back = new QPushButton(QString::fromUtf8("&Zurück"));
    auto* forward = new QPushButton(QString::fromUtf8("&Vorwärts"));
    auto* home = new QPushButton(QStringLiteral("&Inhalt"));
    auto* close = new QPushButton(QString::fromUtf8("&Schließen"));
    back->setEnabled(false);
    forward->setEnabled(false);
    QObject::connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    QObject::connect(forward, &QPushButton::clicked, browser_, &QTextBrowser::forward);
    QObject::connect(home, &QPushButton::clicked, this, [this] { ShowTopic({}); });
    QObject::connect(close, &QPushButton::clicked, this, &QWidget::close);
    QObject::connect(browser_, &QTextBrowser::backwardAvailable, back, &QWidget::setEnabled);
    QObject::connect(browser_, &QTextBrowser::forwardAvailable, forward, &QWidget::setEnabled);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(back);
    buttons->addWidget(forward);
    buttons->addWidget(home);
    buttons->addStretch();
    buttons->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(browser_, 1);
    resize(640, 520);
}

void THelpWindow::ShowTopic(const QString& anchor) {
    if (page_.isEmpty()) {
        browser_->setHtml(
            QString::fromUtf8("<h2>Hilfe nicht gefunden</h2><p>Die Hilfedatei <b>%1</b> fehlt im "
                              "Programmverzeichnis. Installieren Sie Lumora bitte erneut.</p>")
                .arg(QString::fromLatin1(kHelpPage)));
        return;
    }
    QUrl url = QUrl::fromLocalFile(page_);
    if (!anchor.isEmpty()) url.setFragment(anchor);
    browser_->setSource(url);
    if (!anchor.isEmpty()) browser_->scrollToAnchor(anchor);
}

QWidget* ShowHelp(QWidget* parent, const QString& programDir, const QString& anchor) {
    THelpWindow* help =
        parent ? parent->findChild<THelpWindow*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
    if (!help) help = new THelpWindow(parent, programDir);
    help->ShowTopic(anchor);
    help->show();
    help->raise();
    help->activateWindow();
    return help;
}

}  // namespace lumora
