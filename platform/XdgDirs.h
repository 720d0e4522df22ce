#pragma once

#include "BytePath.h"

#include <optional>

namespace lurkel {

// The user's folders as the environment gives them ($HOME and the XDG_* variables with
// their standard defaults). Read afresh on every call, so that a test that changes the
// environment is followed at once.
class XdgDirs {
public:
    static BytePath home();                      // $HOME
    static BytePath dataHome();                  // $XDG_DATA_HOME or ~/.local/share
    static BytePath configHome();                // $XDG_CONFIG_HOME or ~/.config
    static BytePath cacheHome();                 // $XDG_CACHE_HOME or ~/.cache
    static BytePath stateHome();                 // $XDG_STATE_HOME or ~/.local/state
    static std::optional<BytePath> runtimeDir(); // $XDG_RUNTIME_DIR when set
    static BytePathList configDirs();            // $XDG_CONFIG_DIRS or /etc/xdg
    static BytePathList dataDirs();              // $XDG_DATA_DIRS or /usr/local/share:/usr/share
    // A user directory of user-dirs.dirs ("DOWNLOAD", "DESKTOP", ...), or $HOME/<fallback>.
    static BytePath userDir(const char *name, const char *fallback);
    // $XDG_DATA_HOME/com.brendix.Lurkel-SII: the application's own support folder.
    static BytePath appDataDir();
    // $XDG_DATA_HOME/com.brendix.Lurkel-SII/Scripts: the Application Scripts folder.
    static BytePath appScriptsDir();
    // $XDG_STATE_HOME/com.brendix.Lurkel-SII
    static BytePath appStateDir();
    // makePath() of PosixFile.h as a yes or no: true on success, else false with errno set.
    static bool makePath(const BytePath &path, unsigned mode = 0700);
};

} // namespace lurkel
