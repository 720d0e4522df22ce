#pragma once

#include <QStyledItemDelegate>

namespace lurkel {

// The type column's cell: the category picture of the row's item, in its selected-row
// variant on a selected row.
class FileTypeCellView : public QStyledItemDelegate {
    Q_OBJECT

public:
    static constexpr int kImageSize = 16;

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};

} // namespace lurkel
