#pragma once

#include "UserDefaults.h"

namespace lurkel {

// How the visibility switch talks to the file managers, as chosen in the preferences.
enum class SwitchHiddenFilesVisibilityOption : int {
    NotChosen = 0,      // never chosen: the switch keeps its initial way
    ForceSwitchOff = 1, // single switch, no file-manager relaunch
    ForceSwitchOn = 2,  // switch with a file-manager relaunch
};

// The small preferences object: one option kept as an integer under
// "Preferences.SwitchHiddenFilesVisibilityOptionRawValue" (default 0).
class Preferences {
public:
    // The process's object over the standard defaults, created on first use.
    static Preferences &shared();

    explicit Preferences(UserDefaults &defaults);

    // The stored value converts to an integer as UserDefaults converts it; anything
    // outside 0..2 reads as NotChosen.
    SwitchHiddenFilesVisibilityOption switchHiddenFilesVisibilityOption() const;
    // Stores the raw value and synchronizes.
    void setSwitchHiddenFilesVisibilityOption(SwitchHiddenFilesVisibilityOption option);

private:
    UserDefaults *m_defaults;
};

} // namespace lurkel
