#pragma once

#include "BytePath.h"
#include "Error.h"

#include <optional>

namespace lurkel {

// The write side of the is-hidden flag: an item is flagged when its name is a line of its
// folder's ".hidden" (the list GIO, the GTK file managers and KIO read).
//
// Every change happens under an exclusive lock per folder (flock on a lock file in
// $XDG_RUNTIME_DIR, or the cache folder without it), so that Lurkel processes writing the same
// folder never lose each other's names. ".hidden" is rewritten through a temporary file in the
// same folder and a rename: readers see the old or the new list, never half of one. Every
// other line stays as it was, byte for byte; a name is never listed twice; a list left without
// names is removed; the file keeps its mode (0644 for a new one) and, where allowed, its owner.
// A ".hidden" that is a symbolic link or not a regular file is never read through or replaced.
class HiddenFlag {
public:
    // Sets (hidden) or clears the flag of the item at path (absolute; the item must exist; a
    // trailing separator is ignored). A name with a line feed cannot be listed: setting the
    // flag is refused, clearing it has nothing to do. A name ending in a carriage return is
    // refused either way (readers disagree on such a line). changed, when given, tells whether
    // ".hidden" was written or removed.
    static std::optional<Error> setHidden(const BytePath &path, bool hidden, bool *changed = nullptr);

    // Where the per-folder lock files live: $XDG_RUNTIME_DIR/com.brendix.Lurkel-SII, else
    // $XDG_CACHE_HOME/com.brendix.Lurkel-SII. A lock file is removed by the process that
    // holds it, when it is done.
    static BytePath lockFolder();
};

} // namespace lurkel
