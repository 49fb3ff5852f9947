// The job log list box: 16-pixel lines, each with an 8 x 8 marker in the
// colour of its kind and the text beside it.
#pragma once

#include <QColor>
#include <QListWidget>
#include <QStyledItemDelegate>

#include "scan/host.h"

namespace lumora::ui {

// Item data role holding the line's LogKind as an int.
inline constexpr int kLogKindRole = Qt::UserRole + 1;
inline constexpr int kLogItemHeight = 16;

// Red for failures, green for successes, blue for neutral lines.
QColor MarkerColour(LogKind kind);

class LogItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// A QListWidget set up as the job log (`lbxProt`).
QListWidget* MakeLogListBox(QWidget* parent);

}  // namespace lumora::ui
