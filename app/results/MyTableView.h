#pragma once

#include "FileNameCellView.h"

#include <QTableView>

#include <cstddef>
#include <functional>
#include <vector>

namespace lurkel {

class NotificationCenter;

// The results table. Keys become notifications on the notification centre (no object),
// which the results window observes (the "Cmd" and "Opt" in their names are Ctrl and Alt):
//
//   Return, Enter            MyTableViewDidPressEnterKeyNotification          (open)
//   Ctrl+Return              MyTableViewDidPressCmdEnterKeyNotification       (show in file manager)
//   Ctrl+I                   MyTableViewDidPressCmdIKeyNotification           (properties)
//   Space (any modifiers)    MyTableViewDidPressSpaceKeyNotification          (preview)
//   Ctrl+D                   MyTableViewDidPressCmdDKeyNotification           (copy to folder)
//   Ctrl+Right               MyTableViewDidPressCmdRightArrowKeyNotification  (move to folder)
//   Ctrl+Backspace, Delete   MyTableViewDidPressCmdBackspaceKeyNotification   (move to Trash)
//   Ctrl+C                   MyTableViewDidPressCmdCKeyNotification           (copy names)
//   Ctrl+Alt+C               MyTableViewDidPressCmdOptCKeyNotification        (copy paths)
//
// Ctrl+Return also goes on to the table; the others do not (the table's own Ctrl+C would
// replace the names just copied with the current cell's text). Every other key is the
// table's.
//
// The view also tracks the mouse for the name cells' buttons (FileNameCellView): they show
// on the row under the mouse while the window is active; a click on one does not change
// the selection. A right click does not change the selection either: the context menu
// acts on the selection plus the clicked row (see SearchResultWC).
class MyTableView : public QTableView {
    Q_OBJECT

public:
    static QString MyTableViewDidPressEnterKeyNotification();
    static QString MyTableViewDidPressCmdEnterKeyNotification();
    static QString MyTableViewDidPressCmdIKeyNotification();
    static QString MyTableViewDidPressSpaceKeyNotification();
    static QString MyTableViewDidPressCmdDKeyNotification();
    static QString MyTableViewDidPressCmdRightArrowKeyNotification();
    static QString MyTableViewDidPressCmdBackspaceKeyNotification();
    static QString MyTableViewDidPressCmdCKeyNotification();
    static QString MyTableViewDidPressCmdOptCKeyNotification();

    // The notification for a key press, or the empty string when the key is the table's.
    // passOn tells whether the key also goes on to the table.
    static QString notificationForKey(int key, Qt::KeyboardModifiers modifiers, bool *passOn = nullptr);

    explicit MyTableView(QWidget *parent = nullptr);

    // The centre the key notifications go to (the default centre unless set). Not owned.
    void setNotificationCenter(NotificationCenter *center) { m_center = center; }
    // Asked first about every key press; true means the key was used (the preview's keys).
    void setKeyInterceptor(std::function<bool(QKeyEvent *)> interceptor) { m_interceptor = std::move(interceptor); }

    // The name column's cell, for its buttons. Not owned (a child of the view).
    void setNameCellView(FileNameCellView *cell) { m_nameCell = cell; }

    FileNameCellView::Button hoveredButton() const { return m_hoverButton; }
    FileNameCellView::Button pressedButton() const { return m_pressedButton; }
    bool buttonsShownForRow(int row) const;

    // The row the table reports as selected: the current row when it is selected, otherwise
    // the last selected row; -1 without a selection.
    int selectedRow() const;
    // The selected rows, ascending.
    std::vector<std::size_t> selectedRowIndexes() const;
    // Replaces the selection with these rows (ascending), in as few ranges as they allow.
    void selectRows(const std::vector<int> &rows, int currentRow = -1);

Q_SIGNALS:
    // A right click (or the menu key) on a row; row is -1 below the last row.
    void contextMenuRequested(int row, const QPoint &globalPosition);
    void previewButtonClicked(int row);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool viewportEvent(QEvent *event) override;

private:
    void trackMouse(const QPoint &position);
    void setHover(int row, FileNameCellView::Button button);
    FileNameCellView::Button buttonAt(const QPoint &position, int *row = nullptr) const;
    void updateNameCell(int row);
    void post(const QString &name);

    NotificationCenter *m_center = nullptr;
    std::function<bool(QKeyEvent *)> m_interceptor;
    FileNameCellView *m_nameCell = nullptr;
    int m_hoverRow = -1;
    FileNameCellView::Button m_hoverButton = FileNameCellView::Button::None;
    FileNameCellView::Button m_pressedButton = FileNameCellView::Button::None;
    int m_pressedRow = -1;
};

} // namespace lurkel
