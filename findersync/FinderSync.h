#pragma once

#include "BytePath.h"
#include "Error.h"

#include <optional>

namespace lurkel {

// The commands of the file-manager integration, as lurkel-finder-sync runs them: the menu's
// questions answered from the files and the shared suite, and the requests forwarded to
// Lurkel as distributed notifications, Lurkel being launched first when it does not run.
class FinderSync {
public:
    enum class Request { Switch, Hide, Unhide };

    // Hidden as GLib reads it (standard::is-hidden): a dot name, or listed in the folder's
    // ".hidden".
    static bool isHidden(const BytePath &path);
    // Whether any of the items is hidden (wantHidden) or visible.
    static bool anyItem(const BytePathList &paths, bool wantHidden);
    // "AreHiddenFilesVisibleKey" of the shared suite; false when the suite or key is missing.
    static bool hiddenFilesShown();

    // lurkel beside this program, else the bare name (searched in PATH).
    static BytePath applicationProgram();
    // Whether the owner of the application's bus name has exported its bus object, which it
    // does once every observer is in place.
    static bool applicationAnswers();

    struct SendOptions {
        BytePath application = applicationProgram();
        int waitMs = 10000; // how long a launched Lurkel has to answer
    };
    // Makes sure Lurkel runs and answers, then posts the request (hide and unhide: the
    // paths joined with ", " as object, the exact paths under "paths"). The error says why
    // nothing was sent.
    static std::optional<Error> send(Request request, const BytePathList &paths, const SendOptions &options);
};

} // namespace lurkel
