#include "settings/ui/dialog_layout.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace lumora {

void LayOutWithOkButton(QDialog* dialog, QLayout* body) {
    auto* ok = new QPushButton(QStringLiteral("&OK"));
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(dialog);
    layout->addLayout(body);
    layout->addLayout(buttons);
}

}  // namespace lumora
