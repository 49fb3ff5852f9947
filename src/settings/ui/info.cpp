#include "settings/ui/info.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "settings/ui/dialog_layout.h"
#include "settings/ui/pictures.h"
#include "settings/ui/small_windows.h"

namespace lumora {

namespace {

QLabel* FontLabel(const QString& text, int pixelSize, bool bold, bool italic) {
    auto* label = new QLabel(text);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setItalic(italic);
    label->setFont(font);
    return label;
}

}  // namespace

TfrmInfo::TfrmInfo(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(QStringLiteral("Info..."));

    auto* picture = new QLabel;
    picture->setPixmap(LoadSmallPicture(SmallPicture::About, 96));
    picture->setAlignment(Qt::AlignCenter);

    lblVersion_ = FontLabel(QString::fromLatin1(kVersionText), 14, false, false);
    auto* texts = new QVBoxLayout;
    texts->addWidget(FontLabel(QString::fromLatin1(kCompanyText), 14, true, true));
    texts->addWidget(FontLabel(QString::fromLatin1(kProductName), 40, true, false));
    auto* version = new QHBoxLayout;
    version->addWidget(FontLabel(QStringLiteral("Version"), 14, false, false));
    version->addWidget(lblVersion_);
    version->addStretch();
    texts->addLayout(version);
    texts->addSpacing(6);
    auto* purpose = new QLabel(
        QString::fromUtf8("Dateilisten für Download-Bereiche aus den Beschreibungen in Archiven"));
    purpose->setWordWrap(true);
    texts->addWidget(purpose);
    texts->addStretch();

    auto* body = new QHBoxLayout;
    body->addWidget(picture);
    body->addSpacing(10);
    body->addLayout(texts, 1);

    LayOutWithOkButton(this, body);
    setFixedSize(360, 200);
}

void TfrmInfo::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        lblVersion_->setText(QString::fromLatin1(kVersionText));
    }
    QDialog::changeEvent(event);
}

void TfrmInfo::showEvent(QShowEvent* event) {
    lblVersion_->setText(QString::fromLatin1(kVersionText));
    QDialog::showEvent(event);
}

void ShowAbout(QWidget* parent) {
    TfrmInfo info(parent);
    info.exec();
}

}  // namespace lumora
