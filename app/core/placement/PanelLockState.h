#pragma once

#include <cstdint>
#include <optional>

namespace lurkel {

// The panel's lock: attached to the tray icon (locked: it opens under the icon, shows the
// triangle and closes when the application loses the focus) or detached (dragged away: it
// stays where it was put). Decides what a tray click and a focus loss do; the panel window
// carries the decisions out and stores the lock.
class PanelLockState {
public:
    // What a click on the tray icon does.
    enum class ClickAction {
        Close,            // a locked panel that is open closes
        CloseLockAndShow, // a detached panel that is open closes and opens again attached
        Show,             // a closed panel opens
        Nothing,          // a locked open panel that may not be closed, or see below
    };

    // A click on the tray icon this soon after the panel closed because the application
    // lost the focus is the click that took the focus away (a tray host that is a window of
    // its own): it meant "close", so the panel stays closed. Only a tray click: a request to
    // open the panel (Activate, a second start) always opens it.
    static constexpr std::int64_t kFocusLossClickMs = 300;

    explicit PanelLockState(bool locked = true) : m_locked(locked) {}

    bool isLocked() const { return m_locked; }
    void setLocked(bool locked) { m_locked = locked; }

    // trayClick: the user clicked the icon (false: something asked for the panel).
    ClickAction statusItemClicked(bool panelVisible, bool canBeClosed, bool trayClick, std::int64_t nowMs) const;

    // What holds a locked panel open when the application loses the focus.
    struct FocusLoss {
        bool applicationActive = false;  // the focus went to another window of ours
        bool scriptMayTakeFocus = false; // a file-manager script runs that may take it
        bool hasSheet = false;           // the panel shows a dialog of its own
    };
    bool shouldCloseOnFocusLoss(const FocusLoss &loss) const;
    void noteClosedOnFocusLoss(std::int64_t nowMs) { m_focusLossCloseMs = nowMs; }

private:
    bool m_locked;
    std::optional<std::int64_t> m_focusLossCloseMs;
};

} // namespace lurkel
