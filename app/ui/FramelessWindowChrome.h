#pragma once

#include <QObject>
#include <QPainterPath>
#include <QPoint>

#include <optional>

class QWidget;

namespace lurkel {

// What a frameless top-level window needs from the desktop: dragging by its background,
// a see-through background where a compositing manager draws the desktop (and, without
// one, an opaque window cut to its outline, so that no black corners show), and staying
// on every workspace.
//
// The chrome watches the window's mouse events: a press on the background (on no control
// that takes the press) followed by a move past the drag distance drags the window. The
// owner hears dragStarted() once, dragMoved() as it goes and dragFinished() when the
// button is released, so a position is stored once per drag. Under a native Wayland
// session the compositor moves the window itself and tells nothing of the place: the drag
// starts and finishes at once there.
class FramelessWindowChrome : public QObject {
    Q_OBJECT

public:
    // window: a top-level widget; the chrome is its child.
    explicit FramelessWindowChrome(QWidget *window);

    QWidget *window() const { return m_window; }

    void setDraggable(bool draggable) { m_draggable = draggable; }

    // The outline the window draws in (window coordinates). Drawn opaque, the window is
    // cut to it.
    QPainterPath outline() const { return m_outline; }
    void setOutline(const QPainterPath &outline);

    void setOnAllWorkspaces(bool onAll) { m_onAllWorkspaces = onAll; }

    // Call while the window is hidden, right before showing it: picks translucent or opaque
    // for the desktop as it is now, creates the native window, and marks it for every
    // workspace (X11: _NET_WM_DESKTOP all and the sticky state, both read at mapping).
    void prepareToShow();
    // The window is drawn see-through (a compositing manager runs).
    bool isTranslucent() const { return m_translucent; }

    // Does a compositing manager draw the desktop? X11: the _NET_WM_CM_Sn selection of the
    // default screen has an owner. Other platforms (Wayland, offscreen) always composite.
    static bool isCompositingActive();
    // Tests set the answer (nullopt: ask the desktop again).
    static void setCompositingActiveForTesting(std::optional<bool> active);

Q_SIGNALS:
    void dragStarted();
    void dragMoved(QPoint topLeft);
    void dragFinished(QPoint topLeft);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void applyTranslucency(bool translucent);
    void applyOutline();
    void markOnAllWorkspaces();

    QWidget *m_window;
    QPainterPath m_outline;
    bool m_draggable = true;
    bool m_onAllWorkspaces = false;
    bool m_translucent = false;
    bool m_translucencyApplied = false;
    bool m_pressed = false;
    bool m_dragging = false;
    QPoint m_pressGlobal;
    QPoint m_pressWindowPos;
};

} // namespace lurkel
