#include "settings/ui/pictures.h"

#include <QIcon>

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

}  // namespace

QPixmap LoadSmallPicture(SmallPicture which, int size) {
    const QString name =
        QStringLiteral(":/pictures/") + ResourceName(which) + QStringLiteral(".svg");
    return QIcon(name).pixmap(size, size);
}

}  // namespace lumora
