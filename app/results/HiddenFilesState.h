#pragma once

#include "Error.h"

#include <functional>
#include <optional>

namespace lurkel {

// What revealing a hidden result needs to know of the file manager's hidden-file
// visibility, and the one change it may ask for. The application hands the results window
// one over its hidden manager; without one, a hidden item is revealed only after the
// information alert (the user is told how to show hidden files).
class HiddenFilesState {
public:
    using SwitchCompletion = std::function<void(const std::optional<Error> &error)>;

    virtual ~HiddenFilesState() = default;

    // May the results window switch the file manager's visibility itself?
    virtual bool isAllowedToWorkWithHiddenFiles() const = 0;
    // True when the file manager shows hidden files now.
    virtual bool isHiddenShown() const = 0;
    // True when a switch quits and restarts the file managers that run (their open windows
    // do not follow the preference otherwise).
    virtual bool switchRelaunchesFileManager() const = 0;
    // Switches the visibility; completion (on the main thread) gets the switch's error.
    virtual void switchHiddenFilesVisibilityWithCompletion(SwitchCompletion completion) = 0;
};

} // namespace lurkel
