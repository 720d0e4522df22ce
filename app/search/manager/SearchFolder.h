#pragma once

#include "BytePath.h"

namespace lurkel {

class Settings;

// Which folder a search runs in, the same for every caller (the panel, the results window,
// "lurkel --search" and "lurkelctl search"): the requested folder when it is a folder, else
// the stored search location when it still is one, else the user's home folder of the
// standard paths (the password database's, as PathsGenerator reads it).
class SearchFolder {
public:
    static BytePath choose(const BytePath &requested, const Settings &settings);
    // With the standard defaults.
    static BytePath choose(const BytePath &requested = {});
    // The last resort: the home folder of the standard paths, read afresh.
    static BytePath home();
};

} // namespace lurkel
