#pragma once

namespace lurkel {

// Receives the purge callbacks of PurgeManager, always on the main thread. Every callback
// is optional: the defaults do nothing.
class PurgeManagerDelegate {
public:
    virtual ~PurgeManagerDelegate() = default;

    virtual void onPurgeManagerStartPurge() {}
    // 0 when the allocation pass starts, 0.5 when it ends, 1 when every block is released.
    virtual void onPurgeManagerPurgingProgress(float progress) { static_cast<void>(progress); }
    virtual void onPurgeManagerEndPurge() {}
};

} // namespace lurkel
