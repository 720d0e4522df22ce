#pragma once

#include "UrlOpener.h"

namespace lurkel {

// Opens addresses with the desktop's handler for their scheme (QDesktopServices).
class DesktopUrlOpener final : public UrlOpener {
public:
    // The process's opener.
    static DesktopUrlOpener &shared();

    bool openUrl(const QUrl &url) override;
};

} // namespace lurkel
