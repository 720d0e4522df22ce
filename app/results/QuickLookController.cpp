#include "QuickLookController.h"

#include "FileAttributes.h"
#include "NotificationCenter.h"
#include "PreviewContent.h"
#include "PreviewWindow.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMimeDatabase>

namespace lurkel {

namespace {

QuickLookController *g_shared = nullptr;

// The shared controller lives until the application object goes, and takes its window
// with it while the widgets still work.
void dropSharedController()
{
    delete g_shared;
    g_shared = nullptr;
}

} // namespace

QuickLookController &QuickLookController::sharedQuickLookController()
{
    if (g_shared == nullptr) {
        g_shared = new QuickLookController;
        qAddPostRoutine(dropSharedController);
    }
    return *g_shared;
}

void QuickLookController::showPreviewPanel()
{
    sharedQuickLookController().togglePreviewPanel();
}

QString QuickLookController::QuickLookKeyPressedNotification()
{
    return QStringLiteral("QuickLookKeyPressed");
}

QuickLookController::QuickLookController(QObject *parent) : QObject(parent) {}

QuickLookController::~QuickLookController()
{
    delete m_window.data();
}

void QuickLookController::setFileItemByPath(const BytePath &path)
{
    setFileItemsByPaths({path});
}

void QuickLookController::setFileItemsByPaths(const BytePathList &paths)
{
    m_fileQLItems.clear();
    m_fileQLItems.reserve(paths.size());
    for (const BytePath &path : paths)
        m_fileQLItems.push_back(std::make_shared<const FileQLItem>(path));
    if (m_window) {
        // A new list starts at its first item.
        m_window->reloadData(true);
    }
}

std::optional<BytePath> QuickLookController::currentFilePath() const
{
    if (m_fileQLItems.empty()) return std::nullopt;
    return m_fileQLItems.front()->mfilePath();
}

bool QuickLookController::previewPaths(const BytePathList &paths)
{
    if (paths.empty()) return false;
    setFileItemsByPaths(paths);
    togglePreviewPanel();
    return true;
}

void QuickLookController::togglePreviewPanel()
{
    PreviewWindow &window = previewWindow();
    if (window.isVisible()) {
        window.orderOut();
        return;
    }
    if (!acceptsPreviewPanelControl(&window)) return;
    beginPreviewPanelControl(&window);
    window.orderFront();
}

void QuickLookController::closePreviewPanel()
{
    if (m_window && m_window->isVisible()) m_window->orderOut();
}

bool QuickLookController::isPreviewPanelVisible() const
{
    return m_window && m_window->isVisible();
}

int QuickLookController::currentPreviewItemIndex() const
{
    return m_window ? m_window->currentPreviewItemIndex() : 0;
}

void QuickLookController::showItemAtIndex(int index)
{
    previewWindow().setCurrentPreviewItemIndex(index);
}

void QuickLookController::showNextItem()
{
    showItemAtIndex(currentPreviewItemIndex() + 1);
}

void QuickLookController::showPreviousItem()
{
    showItemAtIndex(currentPreviewItemIndex() - 1);
}

bool QuickLookController::handleKey(int key, Qt::KeyboardModifiers modifiers)
{
    const Qt::KeyboardModifiers plain = modifiers & ~Qt::KeypadModifier;
    switch (key) {
    case Qt::Key_Space:
        togglePreviewPanel();
        return true;
    case Qt::Key_Escape:
        if (!isPreviewPanelVisible()) return false;
        closePreviewPanel();
        return true;
    case Qt::Key_Left:
    case Qt::Key_Up:
        if (plain != Qt::NoModifier) return false;
        showPreviousItem();
        return true;
    case Qt::Key_Right:
    case Qt::Key_Down:
        if (plain != Qt::NoModifier) return false;
        showNextItem();
        return true;
    default:
        return false;
    }
}

void QuickLookController::setPanelParent(QWidget *window)
{
    m_panelParent = window;
    if (m_window && m_window->parentWidget() != window) {
        const bool shown = m_window->isVisible();
        m_window->setParent(window, m_window->windowFlags());
        if (shown) m_window->orderFront();
    }
}

void QuickLookController::setDataSource(QuickLookDataSource *source)
{
    m_dataSource = source;
    reloadData();
}

QuickLookDataSource *QuickLookController::dataSource() const
{
    return m_dataSource ? m_dataSource : const_cast<QuickLookController *>(this);
}

void QuickLookController::reloadData()
{
    if (m_window) m_window->reloadData();
}

int QuickLookController::numberOfPreviewItems() const
{
    return static_cast<int>(m_fileQLItems.size());
}

FileQLItemPtr QuickLookController::previewItemAtIndex(int index) const
{
    if (index < 0 || index >= numberOfPreviewItems()) return nullptr;
    return m_fileQLItems[static_cast<std::size_t>(index)];
}

bool QuickLookController::acceptsPreviewPanelControl(const PreviewWindow *) const
{
    return true;
}

void QuickLookController::beginPreviewPanelControl(PreviewWindow *panel)
{
    m_previewPanel = panel;
    if (panel->controller() != this) panel->setController(this);
}

void QuickLookController::endPreviewPanelControl(PreviewWindow *panel)
{
    if (m_previewPanel == panel) m_previewPanel = nullptr;
}

int QuickLookController::numberOfPreviewItemsInPreviewPanel(const PreviewWindow *panel) const
{
    if (panel == nullptr || panel != m_window) return 0;
    return dataSource()->numberOfPreviewItems();
}

FileQLItemPtr QuickLookController::previewPanelItemAtIndex(const PreviewWindow *panel, int index) const
{
    if (panel == nullptr || panel != m_window) return nullptr;
    const QuickLookDataSource *source = dataSource();
    if (index < 0 || index >= source->numberOfPreviewItems()) return nullptr;
    return source->previewItemAtIndex(index);
}

bool QuickLookController::previewPanelHandleEvent(const PreviewWindow *, QEvent *event)
{
    if (event->type() != QEvent::KeyPress) return false;
    const auto *key = static_cast<const QKeyEvent *>(event);
    // A modifier pressed alone is no key press of its own.
    switch (key->key()) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
        return false;
    default:
        break;
    }
    const QVariantMap keyInfo{
        {QStringLiteral("key"), key->key()},
        {QStringLiteral("modifiers"), static_cast<int>(key->modifiers().toInt())},
        {QStringLiteral("text"), key->text()},
        {QStringLiteral("autoRepeat"), key->isAutoRepeat()},
    };
    NotificationCenter::defaultCenter().post(
        QuickLookKeyPressedNotification(), {},
        {{QStringLiteral("Event"), keyInfo}, {QStringLiteral("Type"), QVariant::fromValue(m_quicklookType)}});
    return true;
}

QIcon QuickLookController::transitionImageForPreviewItem(const FileQLItem *item) const
{
    if (item == nullptr) return {};
    const auto stat = FileAttributes::lstat(item->mfilePath());
    const bool folder = stat && stat->isDirectory;
    const QMimeDatabase db;
    const QMimeType type = folder ? db.mimeTypeForName(QStringLiteral("inode/directory"))
                                  : db.mimeTypeForFile(item->previewItemTitle(), QMimeDatabase::MatchExtension);
    return PreviewLoader::iconFor(type, folder);
}

PreviewWindow &QuickLookController::previewWindow()
{
    if (!m_window) {
        m_window = new PreviewWindow(m_panelParent.data());
        connect(m_window, &PreviewWindow::visibilityChanged, this, [this](bool visible) {
            if (!visible && m_window) endPreviewPanelControl(m_window);
            Q_EMIT previewPanelVisibilityChanged(visible);
        });
        connect(m_window, &PreviewWindow::currentPreviewItemIndexChanged, this,
                &QuickLookController::currentPreviewItemChanged);
        m_window->setController(this);
    }
    return *m_window;
}

} // namespace lurkel
