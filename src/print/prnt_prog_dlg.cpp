#include "print/prnt_prog_dlg.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

namespace lumora::print {

TPrntProgDlg::TPrntProgDlg()
    : QDialog(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint |
                           Qt::WindowTitleHint | Qt::CustomizeWindowHint),
      status_(new QLabel(this)),
      title_(new QLabel(this)),
      page_(new QLabel(this)) {
    setWindowTitle(QStringLiteral("Print Progress"));
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(16, 12, 16, 12);
    grid->setHorizontalSpacing(12);
    QFont bold = status_->font();
    bold.setBold(true);
    status_->setFont(bold);
    grid->addWidget(status_, 0, 0, 1, 2);
    grid->addWidget(title_, 1, 0, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Page Number:"), this), 2, 0);
    grid->addWidget(page_, 2, 1);
    status_->setMinimumWidth(220);
}

void TPrntProgDlg::Update(const QString& status, const QString& title, int page) {
    if (!status.isEmpty()) status_->setText(status);
    title_->setText(title);
    page_->setText(QString::number(page));
    if (!isVisible()) {
        setFixedSize(sizeHint());
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
        show();
    }
    repaint();
}

QString TPrntProgDlg::StatusText() const {
    return status_->text();
}
QString TPrntProgDlg::PageText() const {
    return page_->text();
}

}  // namespace lumora::print
