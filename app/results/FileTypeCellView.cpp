#include "FileTypeCellView.h"

#include "SearchResultsTableModel.h"
#include "UiImages.h"

#include <QApplication>
#include <QPainter>

namespace lurkel {

void FileTypeCellView::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    const QWidget *widget = option.widget;
    QStyle *style = widget != nullptr ? widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, painter, widget);

    const SearchItemPtr item = index.data(SearchResultsTableModel::ItemRole).value<SearchItemPtr>();
    if (!item) return;
    initUiResources();
    const bool selected = (option.state & QStyle::State_Selected) != 0;
    const QString name = SearchResultsTableModel::typeImageName(*item, selected);
    const QSize size(kImageSize, kImageSize);
    const qreal ratio = painter->device() != nullptr ? painter->device()->devicePixelRatioF() : 1.0;
    const QRect &cell = option.rect;
    const QPoint topLeft(cell.left() + (cell.width() - kImageSize) / 2, cell.top() + (cell.height() - kImageSize) / 2);
    painter->drawPixmap(topLeft, UiImages::pixmap(name, size, ratio, option.palette));
}

QSize FileTypeCellView::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    return {kImageSize + 8, kImageSize + 4};
}

} // namespace lurkel
