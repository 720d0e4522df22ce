#pragma once

#include <QRect>
#include <QString>
#include <QStyledItemDelegate>

namespace lurkel {

class MyTableView;

// The name column's cell: the file's icon and name, and, while the mouse is over the cell
// of the key window, a preview button and a show-in-file-manager button at its right end.
// The table view tracks the mouse and handles the clicks (see MyTableView); this class
// draws the cell and knows where its buttons are.
class FileNameCellView : public QStyledItemDelegate {
    Q_OBJECT

public:
    // Posted (no object) by a click on the show-in-file-manager button, with the row's
    // item (a SearchItemPtr) in the user info under searchItemKey().
    static QString FileNameCellViewDidPressShowInFinderButtonNotification();
    static QString searchItemKey(); // "KEY_searchItem"

    enum class Button { None, Preview, ShowInFinder };

    static constexpr int kButtonSize = 16;
    static constexpr int kButtonSpacing = 4;

    static QRect previewButtonRect(const QRect &cell);
    static QRect showInFinderButtonRect(const QRect &cell);
    static Button buttonAt(const QRect &cell, const QPoint &position);

    explicit FileNameCellView(MyTableView *view);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    void paintButton(QPainter *painter, const QRect &rect, const QString &image, Button button, bool selected,
                     const QStyleOptionViewItem &option) const;

    MyTableView *m_view;
};

} // namespace lurkel
