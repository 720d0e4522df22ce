#pragma once

#include "BytePath.h"
#include "Error.h"

#include <vector>

namespace lurkel {

struct VisibilityFailure {
    BytePath path; // the path as it was given (or the new path, for a step after the rename)
    Error error;
};

struct VisibilityUpdate {
    // Where each item whose flag or name changed is now: what the file manager has to re-read.
    BytePathList changed;
    // One entry per failed step, in order; each was logged.
    std::vector<VisibilityFailure> failures;
};

// The hide/unhide rule of single items, shared by the application, lurkelctl and the helper
// service. The callers check folder access before and refresh the file manager after.
class HiddenItemsUpdater {
public:
    // For each path in order: set (visible == false) or clear the item's hidden flag. When
    // unhiding an item whose name begins with ".", rename it in its folder to the name without
    // that dot (never replacing an existing item) and drop a stale line for the new name from
    // the folder's ".hidden". A failed step is logged and the next path is taken; nothing is
    // undone (a failed rename leaves the flag cleared under the dotted name).
    static VisibilityUpdate performSetVisibilityForFilesArray(bool visible, const BytePathList &paths);
};

} // namespace lurkel
