#include "MyTableView.h"

#include "NotificationCenter.h"
#include "SearchResultsTableModel.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QItemSelection>
#include <QKeyEvent>
#include <QMouseEvent>

#include <algorithm>

namespace lurkel {

QString MyTableView::MyTableViewDidPressEnterKeyNotification()
{
    return QStringLiteral("MyTableViewDidPressEnterKeyNotification");
}
QString MyTableView::MyTableViewDidPressCmdEnterKeyNotification()
{
    return QStringLiteral("MyTableViewDidPressCmdEnterKeyNotification");
}
QString MyTableView::MyTableViewDidPressCmdIKeyNotification()
{
    return QStringLiteral("MyTableViewDidPressCmdIKeyNotification");
}
QString MyTableView::MyTableViewDidPressSpaceKeyNotification()
{
    return QStringLiteral("MyTableViewDidPressSpaceKeyNotification");
}
QString MyTableView::MyTableViewDidPressCmdDKeyNotification()
{
    return QStringLiteral("MyTableViewDidPressCmdDKeyNotification");
}
QString MyTableView::MyTableViewDidPressCmdRightArrowKeyNotification()
{
    return QStringLiteral("MyTableViewDidPressCmdRightArrowKeyNotification");
}
QString MyTableView::MyTableViewDidPressCmdBackspaceKeyNotification()
{
    return QStringLiteral("MyTableViewDidPressCmdBackspaceKeyNotification");
}
QString MyTableView::MyTableViewDidPressCmdCKeyNotification()
{
    return QStringLiteral("MyTableViewDidPressCmdCKeyNotification");
}
QString MyTableView::MyTableViewDidPressCmdOptCKeyNotification()
{
    return QStringLiteral("MyTableViewDidPressCmdOptCKeyNotification");
}

QString MyTableView::notificationForKey(int key, Qt::KeyboardModifiers modifiers, bool *passOn)
{
    // The keypad's Enter carries the keypad modifier; it counts as Return.
    const Qt::KeyboardModifiers mods =
        modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    bool pass = false;
    QString name;
    if (key == Qt::Key_Space) {
        name = MyTableViewDidPressSpaceKeyNotification();
    } else if ((key == Qt::Key_Return || key == Qt::Key_Enter) && mods == Qt::NoModifier) {
        name = MyTableViewDidPressEnterKeyNotification();
    } else if ((key == Qt::Key_Return || key == Qt::Key_Enter) && mods == Qt::ControlModifier) {
        name = MyTableViewDidPressCmdEnterKeyNotification();
        pass = true;
    } else if (key == Qt::Key_I && mods == Qt::ControlModifier) {
        name = MyTableViewDidPressCmdIKeyNotification();
    } else if (key == Qt::Key_D && mods == Qt::ControlModifier) {
        name = MyTableViewDidPressCmdDKeyNotification();
    } else if (key == Qt::Key_Right && mods == Qt::ControlModifier) {
        name = MyTableViewDidPressCmdRightArrowKeyNotification();
    } else if ((key == Qt::Key_Backspace && mods == Qt::ControlModifier) ||
               (key == Qt::Key_Delete && mods == Qt::NoModifier)) {
        name = MyTableViewDidPressCmdBackspaceKeyNotification();
    } else if (key == Qt::Key_C && mods == Qt::ControlModifier) {
        name = MyTableViewDidPressCmdCKeyNotification();
    } else if (key == Qt::Key_C && mods == (Qt::ControlModifier | Qt::AltModifier)) {
        name = MyTableViewDidPressCmdOptCKeyNotification();
    } else {
        pass = true;
    }
    if (passOn != nullptr) *passOn = pass;
    return name;
}

MyTableView::MyTableView(QWidget *parent) : QTableView(parent)
{
    setMouseTracking(true);
}

bool MyTableView::buttonsShownForRow(int row) const
{
    return row >= 0 && row == m_hoverRow && isActiveWindow();
}

int MyTableView::selectedRow() const
{
    const QItemSelectionModel *selection = selectionModel();
    if (selection == nullptr) return -1;
    const QModelIndex current = currentIndex();
    if (current.isValid() && selection->isRowSelected(current.row(), {})) return current.row();
    int last = -1;
    for (const QItemSelectionRange &range : selection->selection())
        last = std::max(last, range.bottom());
    return last;
}

std::vector<std::size_t> MyTableView::selectedRowIndexes() const
{
    std::vector<std::size_t> rows;
    const QItemSelectionModel *selection = selectionModel();
    if (selection == nullptr) return rows;
    for (const QItemSelectionRange &range : selection->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.push_back(static_cast<std::size_t>(row));
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void MyTableView::selectRows(const std::vector<int> &rows, int currentRow)
{
    QItemSelectionModel *selection = selectionModel();
    if (selection == nullptr || model() == nullptr) return;
    const int lastColumn = model()->columnCount() - 1;
    QItemSelection ranges;
    std::size_t i = 0;
    while (i < rows.size()) {
        std::size_t j = i;
        while (j + 1 < rows.size() && rows[j + 1] == rows[j] + 1)
            ++j;
        ranges.select(model()->index(rows[i], 0), model()->index(rows[j], lastColumn));
        i = j + 1;
    }
    if (currentRow >= 0 && currentRow < model()->rowCount()) {
        selection->setCurrentIndex(model()->index(currentRow, 0), QItemSelectionModel::NoUpdate);
    }
    selection->select(ranges, QItemSelectionModel::ClearAndSelect);
}

void MyTableView::post(const QString &name)
{
    (m_center != nullptr ? *m_center : NotificationCenter::defaultCenter()).post(name);
}

void MyTableView::keyPressEvent(QKeyEvent *event)
{
    if (m_interceptor && m_interceptor(event)) {
        event->accept();
        return;
    }
    bool passOn = true;
    const QString name = notificationForKey(event->key(), event->modifiers(), &passOn);
    if (!name.isEmpty()) post(name);
    if (passOn) {
        QTableView::keyPressEvent(event);
    } else {
        event->accept();
    }
}

FileNameCellView::Button MyTableView::buttonAt(const QPoint &position, int *row) const
{
    const QModelIndex index = indexAt(position);
    if (row != nullptr) *row = index.isValid() ? index.row() : -1;
    if (!index.isValid() || index.column() != SearchResultsTableModel::NameColumn) {
        return FileNameCellView::Button::None;
    }
    if (!buttonsShownForRow(index.row())) return FileNameCellView::Button::None;
    return FileNameCellView::buttonAt(visualRect(index), position);
}

void MyTableView::mousePressEvent(QMouseEvent *event)
{
    const QPoint position = event->position().toPoint();
    trackMouse(position);
    if (event->button() == Qt::RightButton) {
        // The selection stays as it is; the context menu event follows.
        event->accept();
        return;
    }
    int row = -1;
    const FileNameCellView::Button button = buttonAt(position, &row);
    if (event->button() == Qt::LeftButton && button != FileNameCellView::Button::None) {
        m_pressedButton = button;
        m_pressedRow = row;
        updateNameCell(row);
        event->accept();
        return;
    }
    QTableView::mousePressEvent(event);
}

void MyTableView::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_pressedButton == FileNameCellView::Button::None) {
        QTableView::mouseReleaseEvent(event);
        return;
    }
    const FileNameCellView::Button pressed = m_pressedButton;
    const int pressedRow = m_pressedRow;
    m_pressedButton = FileNameCellView::Button::None;
    m_pressedRow = -1;
    updateNameCell(pressedRow);
    event->accept();
    int row = -1;
    if (buttonAt(event->position().toPoint(), &row) != pressed || row != pressedRow) return;
    if (pressed == FileNameCellView::Button::Preview) {
        Q_EMIT previewButtonClicked(row);
        return;
    }
    const SearchItemPtr item = model()->index(row, 0).data(SearchResultsTableModel::ItemRole).value<SearchItemPtr>();
    if (!item) return;
    QVariantMap userInfo;
    userInfo.insert(FileNameCellView::searchItemKey(), QVariant::fromValue(item));
    (m_center != nullptr ? *m_center : NotificationCenter::defaultCenter())
        .post(FileNameCellView::FileNameCellViewDidPressShowInFinderButtonNotification(), {}, userInfo);
}

void MyTableView::mouseMoveEvent(QMouseEvent *event)
{
    trackMouse(event->position().toPoint());
    if (m_pressedButton != FileNameCellView::Button::None) {
        event->accept();
        return;
    }
    QTableView::mouseMoveEvent(event);
}

void MyTableView::mouseDoubleClickEvent(QMouseEvent *event)
{
    // A quick second click on a cell button is a second click of the button, not an open.
    if (buttonAt(event->position().toPoint()) != FileNameCellView::Button::None) {
        mousePressEvent(event);
        return;
    }
    QTableView::mouseDoubleClickEvent(event);
}

void MyTableView::contextMenuEvent(QContextMenuEvent *event)
{
    int row = -1;
    if (event->reason() == QContextMenuEvent::Mouse) {
        const QModelIndex index = indexAt(event->pos());
        row = index.isValid() ? index.row() : -1;
    } else {
        row = currentIndex().isValid() ? currentIndex().row() : selectedRow();
    }
    Q_EMIT contextMenuRequested(row, event->globalPos());
    event->accept();
}

bool MyTableView::viewportEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::Leave:
        setHover(-1, FileNameCellView::Button::None);
        break;
    case QEvent::WindowActivate:
    case QEvent::WindowDeactivate:
        updateNameCell(m_hoverRow);
        break;
    default:
        break;
    }
    return QTableView::viewportEvent(event);
}

void MyTableView::trackMouse(const QPoint &position)
{
    const QModelIndex index = indexAt(position);
    const int row = index.isValid() ? index.row() : -1;
    FileNameCellView::Button button = FileNameCellView::Button::None;
    if (index.isValid() && index.column() == SearchResultsTableModel::NameColumn) {
        button = FileNameCellView::buttonAt(visualRect(index), position);
    }
    setHover(row, button);
}

void MyTableView::setHover(int row, FileNameCellView::Button button)
{
    if (row == m_hoverRow && button == m_hoverButton) return;
    const int old = m_hoverRow;
    m_hoverRow = row;
    m_hoverButton = button;
    updateNameCell(old);
    if (row != old) updateNameCell(row);
}

void MyTableView::updateNameCell(int row)
{
    if (row < 0 || model() == nullptr || row >= model()->rowCount()) return;
    viewport()->update(visualRect(model()->index(row, SearchResultsTableModel::NameColumn)));
}

} // namespace lurkel
