#include "scan/ui/log_view.h"

#include <QPainter>

namespace lumora::ui {

QColor MarkerColour(LogKind kind) {
    switch (kind) {
        case LogKind::Failure:
            return QColor(0xd0, 0x10, 0x10);
        case LogKind::Success:
            return QColor(0x10, 0xa0, 0x20);
        case LogKind::Neutral:
            break;
    }
    return QColor(0x10, 0x30, 0xd0);
}

void LogItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    const QRect r = option.rect;
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette& pal = option.palette;
    painter->save();
    painter->fillRect(r, selected ? pal.highlight() : pal.base());
    const auto kind = static_cast<LogKind>(index.data(kLogKindRole).toInt());
    const QRect marker(r.left() + 2, r.top() + 4, 8, 8);
    painter->fillRect(marker, MarkerColour(kind));
    painter->setPen(MarkerColour(kind).darker(160));
    painter->drawRect(marker.adjusted(0, 0, -1, -1));
    painter->setPen(selected ? pal.highlightedText().color() : pal.text().color());
    painter->setFont(option.font);
    const QRect textRect(r.left() + 13, r.top() + 1, r.width() - 13, r.height() - 1);
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                      index.data(Qt::DisplayRole).toString());
    painter->restore();
}

QSize LogItemDelegate::sizeHint(const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    const int width = option.fontMetrics.horizontalAdvance(index.data().toString()) + 16;
    return {width, kLogItemHeight};
}

QListWidget* MakeLogListBox(QWidget* parent) {
    auto* box = new QListWidget(parent);
    box->setObjectName("lbxProt");
    box->setItemDelegate(new LogItemDelegate(box));
    box->setUniformItemSizes(true);
    box->setSelectionMode(QAbstractItemView::SingleSelection);
    box->setContextMenuPolicy(Qt::CustomContextMenu);
    box->setToolTip(
        QString::fromUtf8("Klicken Sie auf die rechte Maustaste f\xc3\xbcr weitere Optionen..."));
    return box;
}

}  // namespace lumora::ui
