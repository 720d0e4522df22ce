#pragma once

#include "HiddenManagerListener.h"

namespace lurkel {

// Makes a single-switch toggle last: the toggle script changes what the running file
// managers show, and after every completed switch attempt this writes the resulting state
// into the file managers' lasting preference as well ("WriteIntoSystemPreferencesShowHiddens"
// or "...HideHiddens"), so that they start with it next time. The relaunch scripts write
// the lasting preference themselves: nothing is done after those.
//
// Becomes the manager's listener when created and stops being it when destroyed. The main
// controller creates one before it starts the manager's tracking and keeps it for the life
// of the process.
class VisibilityRestorerAtLaunch final : public HiddenManagerListener {
public:
    // Listens to the application's shared manager.
    VisibilityRestorerAtLaunch();
    explicit VisibilityRestorerAtLaunch(HiddenManager &manager);
    ~VisibilityRestorerAtLaunch() override;
    VisibilityRestorerAtLaunch(const VisibilityRestorerAtLaunch &) = delete;
    VisibilityRestorerAtLaunch &operator=(const VisibilityRestorerAtLaunch &) = delete;

    // Runs the matching write script through the manager's script runner (its end is not
    // waited for, and a failure is only logged by the runner).
    void hiddenManagerAttemptToChangeVisibilityCompleted(HiddenManager &manager) override;

private:
    HiddenManager *m_manager;
};

} // namespace lurkel
