#pragma once

namespace lurkel {

class HiddenManager;

// Told by the hidden manager when a switch request that carried a completion has come to
// an end: its switch script has ended (the manager is still updating then), or the
// information sheet shown instead has been answered. isHiddenShown() then holds the new
// state after a successful switch, the old one after a failed switch or after the sheet.
// Called on the main thread.
class HiddenManagerListener {
public:
    virtual ~HiddenManagerListener() = default;
    virtual void hiddenManagerAttemptToChangeVisibilityCompleted(HiddenManager &manager) = 0;
};

} // namespace lurkel
