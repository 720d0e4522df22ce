#pragma once

#include "BytePath.h"
#include "FileQLItem.h"

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

class QEvent;
class QWidget;

namespace lurkel {

class PreviewWindow;

// What the preview window shows, in order. The controller is one over its own list; a
// window may give the controller another (its table rows, say) with setDataSource().
class QuickLookDataSource {
public:
    virtual ~QuickLookDataSource() = default;
    virtual int numberOfPreviewItems() const = 0;
    // nullptr for an index out of range.
    virtual FileQLItemPtr previewItemAtIndex(int index) const = 0;
};

// The preview ("Quick Look") of result files: holds the items to preview, owns the preview
// window and serves as its data source and delegate. The window never takes the keyboard
// focus: the window that opened it keeps it and forwards Space (toggle) and the arrow keys
// (step through the items) to the controller.
class QuickLookController : public QObject, public QuickLookDataSource {
    Q_OBJECT

public:
    // The application's controller, created on first use on the main thread; its window is
    // the shared preview window.
    static QuickLookController &sharedQuickLookController();
    // Toggles the shared preview window: closes it when it is shown, otherwise shows it
    // (without taking the focus) in front.
    static void showPreviewPanel();

    // Posted on the default notification centre for a key the preview window itself
    // receives (it normally never does, having no focus). User info: "Event" (a map with
    // "key", "modifiers", "text", "autoRepeat") and "Type" (quicklookType()).
    static QString QuickLookKeyPressedNotification();

    // The application uses sharedQuickLookController(); others serve tools and tests.
    explicit QuickLookController(QObject *parent = nullptr);
    ~QuickLookController() override;

    // The list becomes one item; the window reloads.
    void setFileItemByPath(const BytePath &path);
    // The list becomes one item per path, in order; the window reloads and shows the first.
    void setFileItemsByPaths(const BytePathList &paths);
    // The path of the first item; nullopt when the list is empty.
    std::optional<BytePath> currentFilePath() const;
    const std::vector<FileQLItemPtr> &fileQLItems() const { return m_fileQLItems; }
    // A tag passed along with key events; 0, and nothing sets another value.
    std::uint32_t quicklookType() const { return m_quicklookType; }

    // The results window's way in. previewPaths() is the rule of its Space key, its
    // Quick Look menu item and its rows' preview buttons: with no path nothing happens
    // (false); otherwise the paths become the list and the window toggles.
    bool previewPaths(const BytePathList &paths);
    void togglePreviewPanel();
    void closePreviewPanel();
    bool isPreviewPanelVisible() const;
    // The item the window shows (0 when it has none). showItemAtIndex() moves there (an
    // index out of range is ignored); it does not open a closed window, which shows that
    // item when it opens.
    int currentPreviewItemIndex() const;
    void showItemAtIndex(int index);
    // One item on, one back; nothing past either end.
    void showNextItem();
    void showPreviousItem();
    // The keys the results window forwards: Space (any modifiers) toggles; Left and Up show
    // the previous item, Right and Down the next (without modifiers); Escape closes a shown
    // window. True when the key was used.
    bool handleKey(int key, Qt::KeyboardModifiers modifiers);

    // The window the preview stays in front of (the results window); it is centred on it
    // when first shown.
    void setPanelParent(QWidget *window);

    // Where the items come from: the controller's own list unless set (nullptr: back to it).
    // The source must outlive its use here; the window reloads.
    void setDataSource(QuickLookDataSource *source);
    QuickLookDataSource *dataSource() const;
    // The data source changed its items: the window asks again.
    void reloadData();

    // QuickLookDataSource over the controller's own list.
    int numberOfPreviewItems() const override;
    FileQLItemPtr previewItemAtIndex(int index) const override;

    // The window's side. It is under this controller's control while shown.
    bool acceptsPreviewPanelControl(const PreviewWindow *panel) const;
    void beginPreviewPanelControl(PreviewWindow *panel);
    void endPreviewPanelControl(PreviewWindow *panel);
    // The window while this controller controls it, else nullptr.
    PreviewWindow *previewPanel() const { return m_previewPanel.data(); }
    // Answers only the window it controls (0 / nullptr to any other).
    int numberOfPreviewItemsInPreviewPanel(const PreviewWindow *panel) const;
    FileQLItemPtr previewPanelItemAtIndex(const PreviewWindow *panel, int index) const;
    // A key press: posts QuickLookKeyPressedNotification() and answers true (handled, so the
    // window does not act on it); any other event, and a modifier key pressed alone: false.
    bool previewPanelHandleEvent(const PreviewWindow *panel, QEvent *event);
    // The desktop's icon for the item (by its name; a folder icon for a folder); null for
    // no item.
    QIcon transitionImageForPreviewItem(const FileQLItem *item) const;

    // The window, created on first use (not shown).
    PreviewWindow &previewWindow();

Q_SIGNALS:
    void previewPanelVisibilityChanged(bool visible);
    void currentPreviewItemChanged(int index);

private:
    std::vector<FileQLItemPtr> m_fileQLItems;
    std::uint32_t m_quicklookType = 0;
    QuickLookDataSource *m_dataSource = nullptr;
    // The window may go with its parent window; QPointer notices.
    QPointer<PreviewWindow> m_window;
    QPointer<PreviewWindow> m_previewPanel;
    QPointer<QWidget> m_panelParent;
};

} // namespace lurkel
