#pragma once

#include "BytePath.h"
#include "NotificationCenter.h"

#include <optional>

namespace lurkel {

// A hide or unhide request from another program: the items it names. The exact paths of
// "paths" (aay) when the user info has them; otherwise the object split on ", ". Every
// piece that is not an absolute path is refused (logged). nullopt when the request is
// malformed or names nothing.
class VisibilityRequest {
public:
    static std::optional<BytePathList> pathsOfVisibilityRequest(const Notification &note);
};

} // namespace lurkel
