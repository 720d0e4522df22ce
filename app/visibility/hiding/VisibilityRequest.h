#pragma once

#include "BytePath.h"
#include "NotificationCenter.h"

#include <optional>

namespace lurkel {

// A hide or unhide request from another program: the items it names. The exact paths of
// "paths" (aay) when the user info has them, less those that are not absolute or hold a NUL
// byte; otherwise the object split on ", ", refused whole when any piece is not an absolute
// path. One log line at most per request. nullopt when the request is malformed or names
// nothing usable.
class VisibilityRequest {
public:
    static std::optional<BytePathList> pathsOfVisibilityRequest(const Notification &note);
};

} // namespace lurkel
