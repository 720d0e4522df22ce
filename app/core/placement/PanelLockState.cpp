#include "PanelLockState.h"

namespace lurkel {

PanelLockState::ClickAction PanelLockState::statusItemClicked(bool panelVisible, bool canBeClosed, bool trayClick,
                                                              std::int64_t nowMs) const
{
    if (panelVisible) {
        if (!m_locked) return ClickAction::CloseLockAndShow;
        return canBeClosed ? ClickAction::Close : ClickAction::Nothing;
    }
    if (trayClick && canBeClosed && m_locked && m_focusLossCloseMs && nowMs - *m_focusLossCloseMs < kFocusLossClickMs)
        return ClickAction::Nothing;
    return ClickAction::Show;
}

bool PanelLockState::shouldCloseOnFocusLoss(const FocusLoss &loss) const
{
    return m_locked && !loss.applicationActive && !loss.scriptMayTakeFocus && !loss.hasSheet;
}

} // namespace lurkel
