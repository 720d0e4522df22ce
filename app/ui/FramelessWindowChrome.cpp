#include "FramelessWindowChrome.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QRegion>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#if __has_include(<xcb/xcb.h>) && defined(LURKEL_HAVE_XCB)
#include <xcb/xcb.h>
#define LURKEL_USE_XCB 1
#endif

namespace lurkel {
namespace {

std::optional<bool> &compositingOverride()
{
    static std::optional<bool> value;
    return value;
}

bool isNativeWayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

#ifdef LURKEL_USE_XCB
xcb_connection_t *x11Connection()
{
    auto *x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 != nullptr ? x11->connection() : nullptr;
}

// The screen number of DISPLAY (":0.1" -> 1); 0 when it names none.
int defaultScreenNumber()
{
    const char *display = std::getenv("DISPLAY");
    if (display == nullptr) return 0;
    const char *colon = std::strrchr(display, ':');
    const char *dot = colon != nullptr ? std::strchr(colon, '.') : nullptr;
    return dot != nullptr ? std::atoi(dot + 1) : 0;
}

struct FreeDeleter {
    void operator()(void *p) const { std::free(p); }
};
template <typename T> using XcbReply = std::unique_ptr<T, FreeDeleter>;

xcb_atom_t internAtom(xcb_connection_t *connection, const char *name, bool onlyIfExists)
{
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, onlyIfExists ? 1 : 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    const XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(connection, cookie, nullptr));
    return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}
#endif

} // namespace

FramelessWindowChrome::FramelessWindowChrome(QWidget *window) : QObject(window), m_window(window)
{
    m_window->installEventFilter(this);
}

void FramelessWindowChrome::setOutline(const QPainterPath &outline)
{
    m_outline = outline;
    applyOutline();
}

void FramelessWindowChrome::prepareToShow()
{
    applyTranslucency(isCompositingActive());
    applyOutline();
    m_window->winId();
    if (m_onAllWorkspaces) markOnAllWorkspaces();
}

void FramelessWindowChrome::applyTranslucency(bool translucent)
{
    if (m_translucencyApplied && translucent == m_translucent) return;
    const bool recreate = m_window->testAttribute(Qt::WA_WState_Created) && !m_window->isVisible();
    m_translucent = translucent;
    m_translucencyApplied = true;
    m_window->setAttribute(Qt::WA_TranslucentBackground, translucent);
    m_window->setAutoFillBackground(!translucent);
    // The alpha channel is chosen when the native window is made: make it again.
    if (recreate) m_window->setWindowFlags(m_window->windowFlags());
}

void FramelessWindowChrome::applyOutline()
{
    if (m_translucent || m_outline.isEmpty()) {
        m_window->clearMask();
        return;
    }
    m_window->setMask(QRegion(m_outline.toFillPolygon().toPolygon()));
}

void FramelessWindowChrome::markOnAllWorkspaces()
{
#ifdef LURKEL_USE_XCB
    xcb_connection_t *connection = x11Connection();
    if (connection == nullptr || m_window->isVisible()) return;
    const auto window = static_cast<xcb_window_t>(m_window->winId());
    const xcb_atom_t desktop = internAtom(connection, "_NET_WM_DESKTOP", false);
    const xcb_atom_t state = internAtom(connection, "_NET_WM_STATE", false);
    const std::uint32_t allDesktops = 0xFFFFFFFFu;
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, desktop, XCB_ATOM_CARDINAL, 32, 1, &allDesktops);

    // Added to the states already there; Qt merges its own into them when it maps.
    std::vector<xcb_atom_t> states;
    const xcb_get_property_cookie_t cookie = xcb_get_property(connection, 0, window, state, XCB_ATOM_ATOM, 0, 1024);
    const XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(connection, cookie, nullptr));
    if (reply && reply->type == XCB_ATOM_ATOM && reply->format == 32) {
        const auto *atoms = static_cast<const xcb_atom_t *>(xcb_get_property_value(reply.get()));
        states.assign(atoms, atoms + xcb_get_property_value_length(reply.get()) / 4);
    }
    for (const char *name : {"_NET_WM_STATE_STICKY", "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"}) {
        const xcb_atom_t atom = internAtom(connection, name, false);
        if (std::find(states.begin(), states.end(), atom) == states.end()) states.push_back(atom);
    }
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, state, XCB_ATOM_ATOM, 32,
                        static_cast<std::uint32_t>(states.size()), states.data());
    xcb_flush(connection);
#endif
}

bool FramelessWindowChrome::isCompositingActive()
{
    if (compositingOverride()) return *compositingOverride();
#ifdef LURKEL_USE_XCB
    xcb_connection_t *connection = x11Connection();
    if (connection == nullptr) return true;
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(defaultScreenNumber());
    const xcb_atom_t selection = internAtom(connection, name.constData(), true);
    if (selection == XCB_ATOM_NONE) return false; // nobody ever claimed it
    const xcb_get_selection_owner_cookie_t cookie = xcb_get_selection_owner(connection, selection);
    const XcbReply<xcb_get_selection_owner_reply_t> reply(xcb_get_selection_owner_reply(connection, cookie, nullptr));
    return reply && reply->owner != XCB_WINDOW_NONE;
#else
    return QGuiApplication::platformName() != QLatin1String("xcb");
#endif
}

void FramelessWindowChrome::setCompositingActiveForTesting(std::optional<bool> active)
{
    compositingOverride() = active;
}

bool FramelessWindowChrome::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_window) return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton || !m_draggable) break;
        m_pressed = true;
        m_dragging = false;
        m_pressGlobal = mouse->globalPosition().toPoint();
        m_pressWindowPos = m_window->pos();
        return true;
    }
    case QEvent::MouseMove: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (!m_pressed) break;
        const QPoint delta = mouse->globalPosition().toPoint() - m_pressGlobal;
        if (!m_dragging) {
            if (delta.manhattanLength() < QApplication::startDragDistance()) return true;
            m_dragging = true;
            Q_EMIT dragStarted();
            if (isNativeWayland() && m_window->windowHandle() != nullptr) {
                // The compositor moves the window from here on; the release never comes.
                m_window->windowHandle()->startSystemMove();
                m_pressed = false;
                m_dragging = false;
                Q_EMIT dragFinished(m_window->pos());
                return true;
            }
        }
        m_window->move(m_pressWindowPos + delta);
        Q_EMIT dragMoved(m_window->pos());
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton || !m_pressed) break;
        const bool wasDragging = m_dragging;
        m_pressed = false;
        m_dragging = false;
        if (wasDragging) Q_EMIT dragFinished(m_window->pos());
        return true;
    }
    case QEvent::Hide:
        if (m_dragging) {
            m_pressed = false;
            m_dragging = false;
            Q_EMIT dragFinished(m_window->pos());
        }
        m_pressed = false;
        break;
    default:
        break;
    }
    return false;
}

} // namespace lurkel
