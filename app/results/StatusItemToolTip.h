#pragma once

#include <QString>

namespace lurkel {

// The main controller's side of the results window: the tray icon's tool tip, which tells
// the progress of the search when a search starts and when it ends.
class StatusItemToolTip {
public:
    virtual ~StatusItemToolTip() = default;
    virtual void updateStatusItemWithToolTip(const QString &toolTip) = 0;
};

} // namespace lurkel
