#pragma once

#include <QWidget>

namespace lurkel {

// The disk-usage section shown below the memory section of the expanded panel. The panel
// creates it through PanelWindowServices::diskUsageSection on its first expansion, places
// it, shows and hides it, and tells it each time it becomes visible.
class DiskUsageSection : public QWidget {
    Q_OBJECT

public:
    using QWidget::QWidget;
    // The section has become visible: it fills itself in as its scans report (returns at once).
    virtual void sectionDidAppear() = 0;
};

} // namespace lurkel
