#pragma once

#include "AccessErrorCase.h"

#include <functional>

namespace lurkel {

// How the hidden manager (which has no widgets) puts up its two permission dialogs. The
// application installs the widget implementation (WidgetAccessAlertsPresenter); tests of
// the hidden manager can install their own.
class AccessAlertsPresenter {
public:
    virtual ~AccessAlertsPresenter() = default;

    // The information sheet before the first switch. completion(granted) runs once, when
    // the sheet has ended (granted: "Grant Access"). When the sheet cannot be shown (no main
    // window, or one is already on screen) nothing is shown and completion never runs.
    virtual void displayInformationAboutAccessibilityAlerts(std::function<void(bool granted)> completion) = 0;

    // The access-error alert for a case; nothing without a main window.
    virtual void displayAccessError(AccessErrorCase accessCase) = 0;
};

} // namespace lurkel
