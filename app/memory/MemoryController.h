#pragma once

#include "BytePath.h"
#include "CleanMemoryButtonInterface.h"
#include "Clock.h"
#include "MainQueue.h"
#include "MemoryInfoPanel.h"
#include "MemoryPreferencesInterface.h"
#include "MemoryStatistics.h"
#include "PurgeManager.h"
#include "PurgeManagerDelegate.h"
#include "Settings.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace lurkel {

// The memory cleaner of the main controller: the used-memory figures and their one-second
// refresh, the purge started from the clean-memory button or the menu, what it freed, and
// the automatic-freeing settings with their preference actions.
//
// Main thread only. The panel, the button and the preferences controls are reached through
// interfaces, none of them owned; each may be absent (nullptr) and is then skipped.
class MemoryController final : public PurgeManagerDelegate {
public:
    // The automatic-freeing interval table: index 0 rarely, 1 normally, 2 often.
    struct PurgeInterval {
        std::int64_t seconds;
        QString word; // "8 hours", "4 hours", "2 hours"
    };

    explicit MemoryController(Settings settings, PurgeManager &purgeManager = PurgeManager::GetInstance(),
                              Clock &clock = Clock::instance(),
                              BytePath meminfoPath = BytePath(MemoryStatistics::kDefaultPath));
    ~MemoryController() override;
    MemoryController(const MemoryController &) = delete;
    MemoryController &operator=(const MemoryController &) = delete;

    void setInfoPanel(MemoryInfoPanel *panel) { m_panel = panel; }
    void setCleanButton(CleanMemoryButtonInterface *button) { m_btnFree = button; }
    void setPreferencesView(MemoryPreferencesInterface *view) { m_preferences = view; }
    // The main controller's status-item refresh (its tool tip), run after every memory
    // refresh, before the last-cleaned label is updated.
    void setStatusItemUpdate(std::function<void()> update) { m_statusItemUpdate = std::move(update); }

    // Start: the memory-cleaner settings ("AutoFree" is written NO first; the first start
    // writes the defaults), the interval, the page size, and the empty last-cleaned label.
    void initValues();

    // Figures.
    int updateMemoryStatictics(); // 0, or the errno value of the failed read
    std::uint64_t calculateTotalSize() const;
    std::uint64_t calculateTotalPages() const;
    std::uint64_t calculateUsedPages() const;
    std::uint64_t calculateFreePages() const;
    std::uint64_t calculateFreeSize() const;

    // One refresh (only when the panel shows the details or nothing was read yet; a purge
    // running does not stop it); with repeat, again one second later on the clock. A failed read ends
    // the schedule for good.
    void checkMemory(bool repeat);
    // Schedules checkMemory(repeat) after delayMs (the main controller starts the check with
    // scheduleCheckMemory(true, 0)). A check scheduled before is replaced.
    void scheduleCheckMemory(bool repeat, std::int64_t delayMs);
    // The automatic step of the check: automatic freeing is switched off in this version.
    void checkAutoPurge();
    void fillInfoPanel();
    void updateLastFreeLabel();

    // The purge: the button's and the menu item's action. Ignored while a purge runs.
    void onFreeMemory();
    void onTaskPurge();
    void notifyPurged(bool success);
    bool isPurging() const { return m_bPurging; }

    // PurgeManagerDelegate
    void onPurgeManagerStartPurge() override {}
    void onPurgeManagerPurgingProgress(float progress) override;
    void onPurgeManagerEndPurge() override {}

    // Automatic-freeing settings and the preference actions of the preferences window.
    void initPurgeFreq();
    void onPrefAutoFree(bool on);
    void onPrefMemUsage(double value);
    void onPrefFreq(int index);
    void onPrefPurgeAfterHugeApplicationQuit(bool on);
    void updatePrefDesc();
    QString prefDescription() const;

    bool autoFree() const { return m_bAutoFree; }
    double usageLimit() const { return m_dUsageLimit; }
    // The interval pop-up's choice: a stored value outside 0..2 acts as (and shows as) 1.
    int frequencyIndex() const;
    std::int64_t purgeFrequency() const { return m_lPurgeFreq; }
    bool purgeAfterHugeAppQuit() const { return m_bPrefPurgeAfterHugeAppQuit; }
    // "ShowInfo": the panel is shown. setShowInfo() stores it.
    bool showInfo() const { return m_bShowInfo; }
    void setShowInfo(bool show);

    std::uint32_t pageSize() const { return m_npagesize; }
    bool hasCheckedStatistics() const { return m_bChecked; }
    std::int64_t lastPurgedSize() const { return m_lLastPurgedSize; }
    QDateTime lastFreeTime() const;

    // Shared with lurkelctl.
    static MemoryInfoPanel::UsedMemory usedMemoryFor(const MemoryStatistics::Record &record, std::uint32_t pageSize);
    static QString usedPercentText(double fraction);
    // The last-cleaned label: "Freed 310 MB of cache" (empty for 0), the text for a purge
    // that freed nothing, and the one of the two that fits a purge's freed size.
    static QString cleanedMemoryText(std::int64_t size);
    static QString nothingFreedText();
    static QString purgeOutcomeText(std::uint64_t freed);
    static PurgeInterval builtInPurgeInterval(int index);

private:
    Settings m_settings;
    PurgeManager &m_purgeManager;
    Clock &m_clock;
    MemoryStatistics m_statistics;
    MemoryInfoPanel *m_panel = nullptr;
    CleanMemoryButtonInterface *m_btnFree = nullptr;
    MemoryPreferencesInterface *m_preferences = nullptr;
    std::function<void()> m_statusItemUpdate;
    DelayedCall m_checkCall;
    // Completions of the purge manager hold it weakly: they do nothing once this is gone.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);

    bool m_bShowInfo = true;

    // Memory statistics and purge.
    std::uint32_t m_npagesize;
    MemoryStatistics::Record m_vmstat64; // the last statistics read
    bool m_bChecked = false;
    bool m_bPurging = false;
    double m_tLastFreeTime = 0.0; // seconds since 2001-01-01 00:00 UTC
    std::int64_t m_lLastPurgedSize = 0;
    bool m_bLastPurgeFreedNothing = false; // the last purge ran and freed nothing measurable

    // Automatic freeing.
    double m_dUsageLimit = 0.8;
    std::int64_t m_lPurgeFreq = 14400;
    double m_dCPULimit = 0.2;
    bool m_bPrefPurgeAfterHugeAppQuit = true;
    bool m_bAutoFree = false;
    int m_nFreq = 1;
};

} // namespace lurkel
