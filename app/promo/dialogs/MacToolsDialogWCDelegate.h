#pragma once

#include "PromoContentSource.h"

namespace lurkel {

class MacToolsDialogWC;

// The owner of the tools page: gives it its feed and hears when it is shown and closed.
class MacToolsDialogWCDelegate {
public:
    virtual ~MacToolsDialogWCDelegate() = default;

    // Where the page comes from (asked each time the window shows).
    virtual PromoContentSource toolsDialogWCDownloader(MacToolsDialogWC &dialog) = 0;
    // The window has been shown.
    virtual void toolsDialogWCWasPreseted(MacToolsDialogWC &dialog) = 0;
    // The window is closing.
    virtual void toolsDialogWCWillClose(MacToolsDialogWC &dialog) = 0;
};

} // namespace lurkel
