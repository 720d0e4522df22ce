#pragma once

#include <QString>

namespace lurkel {

// The panel's clean-memory button as MemoryController drives it during a purge.
class CleanMemoryButtonInterface {
public:
    virtual ~CleanMemoryButtonInterface() = default;

    // Hover tracking off, drawn disabled, ready to show progress.
    virtual void beginProgressUpdate() = 0;
    // Tracking on, drawn enabled, its main image back.
    virtual void endProgressUpdate() = 0;
    // Fills the button to the fraction progress (0..1).
    virtual void setProgess(float progress) = 0;
    virtual void setTitle(const QString &title) = 0;
    virtual void setEnabled(bool enabled) = 0;
};

} // namespace lurkel
