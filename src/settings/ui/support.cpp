#include "settings/ui/support.h"

#include <QApplication>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "settings/ui/dialog_layout.h"
#include "settings/ui/pictures.h"

namespace lumora {

namespace {

QLabel* TextLabel(const char* utf8) {
    auto* label = new QLabel(QString::fromUtf8(utf8));
    label->setWordWrap(true);
    return label;
}

// A blue, underlined link label with a hand cursor; the click reaches
// `open` with the link's target.
QLabel* LinkLabel(const QString& shown, const QString& target, TfrmSupport* window) {
    auto* label = new QLabel(QStringLiteral("<a href=\"%1\" style=\"color:#0000ff; "
                                            "text-decoration:underline\">%2</a>")
                                 .arg(target.toHtmlEscaped(), shown.toHtmlEscaped()));
    label->setTextFormat(Qt::RichText);
    label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    label->setOpenExternalLinks(false);
    label->setCursor(Qt::PointingHandCursor);
    QObject::connect(label, &QLabel::linkActivated, window,
                     [window](const QString& link) { window->OpenLink(link); });
    return label;
}

}  // namespace

TfrmSupport::TfrmSupport(QWidget* parent, UrlOpener opener)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      opener_(std::move(opener)) {
    if (!opener_) opener_ = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    setWindowTitle(QStringLiteral("Hier finden Sie Support zu Lumora"));

    const QString web = QString::fromLatin1(kSupportWebAddress);
    const QString mail = QString::fromLatin1(kSupportMailAddress);
    lblWeb_ = LinkLabel(web, web, this);
    lblMail_ = LinkLabel(mail, QStringLiteral("mailto:") + mail, this);

    auto* texts = new QVBoxLayout;
    texts->addWidget(TextLabel(
        "Das Programm Lumora wird ständig weiterentwickelt. Die neueste Version von Lumora "
        "können Sie sich jederzeit aus dem Internet herunterladen. Sie finden Sie unter :"));
    texts->addWidget(lblWeb_);
    texts->addSpacing(8);
    texts->addWidget(
        TextLabel("Wenn Sie Anregungen zu Lumora haben oder Fehler entdecken, so "
                  "schicken Sie bitte eine Mail an :"));
    texts->addWidget(lblMail_);
    texts->addSpacing(8);
    texts->addWidget(TextLabel(
        "Schauen Sie regelmäßig auf der Lumora Homepage vorbei, um immer über die neuesten "
        "Versionen von Lumora und anderer Software von KestrelRodoridodari auf dem Laufenden zu "
        "sein !"));
    texts->addStretch();

    auto* picture = new QLabel;
    picture->setPixmap(LoadSmallPicture(SmallPicture::Support, 72));
    picture->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto* body = new QHBoxLayout;
    body->addWidget(picture);
    body->addLayout(texts, 1);

    LayOutWithOkButton(this, body);
    setFixedSize(460, 270);
}

void TfrmSupport::OpenLink(const QString& target) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QCoreApplication::processEvents();
    const bool opened = opener_(QUrl(target));
    QApplication::restoreOverrideCursor();
    if (!opened) {
        QMessageBox::warning(this, QStringLiteral("Warnung"),
                             QString::fromUtf8(kCannotOpenLinkText));
    }
}

void ShowSupport(QWidget* parent, UrlOpener opener) {
    TfrmSupport support(parent, std::move(opener));
    support.exec();
}

}  // namespace lumora
