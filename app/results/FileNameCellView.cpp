#include "FileNameCellView.h"

#include "MyTableView.h"
#include "NamedColors.h"
#include "UiImages.h"

#include <QApplication>
#include <QPainter>

namespace lurkel {

QString FileNameCellView::FileNameCellViewDidPressShowInFinderButtonNotification()
{
    return QStringLiteral("FileNameCellViewDidPressShowInFinderButtonNotification");
}

QString FileNameCellView::searchItemKey()
{
    return QStringLiteral("KEY_searchItem");
}

QRect FileNameCellView::showInFinderButtonRect(const QRect &cell)
{
    const int y = cell.top() + (cell.height() - kButtonSize) / 2;
    return {cell.right() - kButtonSpacing - kButtonSize + 1, y, kButtonSize, kButtonSize};
}

QRect FileNameCellView::previewButtonRect(const QRect &cell)
{
    const QRect reveal = showInFinderButtonRect(cell);
    return reveal.translated(-(kButtonSize + kButtonSpacing), 0);
}

FileNameCellView::Button FileNameCellView::buttonAt(const QRect &cell, const QPoint &position)
{
    if (previewButtonRect(cell).contains(position)) return Button::Preview;
    if (showInFinderButtonRect(cell).contains(position)) return Button::ShowInFinder;
    return Button::None;
}

FileNameCellView::FileNameCellView(MyTableView *view) : QStyledItemDelegate(view), m_view(view)
{
    initUiResources();
}

void FileNameCellView::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    const QWidget *widget = option.widget;
    QStyle *style = widget != nullptr ? widget->style() : QApplication::style();
    if (m_view == nullptr || !m_view->buttonsShownForRow(index.row())) {
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
        return;
    }
    // The buttons take the right end of the cell; the name gives way.
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, painter, widget);
    QStyleOptionViewItem content(opt);
    content.rect.setRight(previewButtonRect(option.rect).left() - kButtonSpacing);
    style->drawControl(QStyle::CE_ItemViewItem, &content, painter, widget);
    const bool selected = (option.state & QStyle::State_Selected) != 0;
    paintButton(painter, previewButtonRect(option.rect), QStringLiteral("preview"), Button::Preview, selected, option);
    paintButton(painter, showInFinderButtonRect(option.rect), QStringLiteral("reveal"), Button::ShowInFinder, selected,
                option);
}

void FileNameCellView::paintButton(QPainter *painter, const QRect &rect, const QString &image, Button button,
                                   bool selected, const QStyleOptionViewItem &option) const
{
    QString name = image;
    if (m_view->pressedButton() == button && m_view->hoveredButton() == button) {
        name += QLatin1String("_click");
    } else if (m_view->hoveredButton() == button) {
        name += QLatin1String("_hover");
    }
    const QColor ink = selected ? NamedColors::color(NamedColor::IconInkSelected, option.palette)
                                : NamedColors::color(UiImages::tint(name), option.palette);
    const qreal ratio = painter->device() != nullptr ? painter->device()->devicePixelRatioF() : 1.0;
    painter->drawPixmap(rect.topLeft(), UiImages::pixmap(name, rect.size(), ratio, ink));
}

} // namespace lurkel
