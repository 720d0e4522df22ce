#pragma once

#include <QString>

namespace lurkel {

// The automatic-freeing controls of the preferences window as MemoryController updates
// them (the window reads the values through the controller's getters when it opens).
class MemoryPreferencesInterface {
public:
    virtual ~MemoryPreferencesInterface() = default;

    // The usage slider and the interval pop-up are enabled exactly when auto-free is on.
    virtual void setAutoFreeControlsEnabled(bool enabled) = 0;
    // The description line under the controls.
    virtual void setPrefDescText(const QString &text) = 0;
};

} // namespace lurkel
