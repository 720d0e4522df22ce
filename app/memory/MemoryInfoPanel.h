#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace lurkel {

// The memory section of the main panel as MemoryController sees it. The controller
// computes every figure and text; the panel only shows them.
class MemoryInfoPanel {
public:
    // One refresh of the used-memory display.
    struct UsedMemory {
        double usedFraction = 0.0;   // used pages / total pages
        std::uint64_t usedSize = 0;  // bytes
        std::uint64_t totalSize = 0; // free + used, bytes
        QString percentText;         // the title: the fraction as a percentage, "25%"
        QString usedText;            // the subtitle: "4.00 GB used of 16.0 GB"
        double levelValue = 0.0;     // the level bar: used size / total size
    };

    // What the last purge freed.
    struct LastCleaned {
        std::int64_t size = -1;                 // bytes freed by the last purge; -1 when there is no last purge
        std::optional<QString> timeDescription; // its time of day, when it was today
        // "Freed 310 MB of cache"; after a purge that freed nothing, the text that says so;
        // empty before any purge.
        QString text;
    };

    virtual ~MemoryInfoPanel() = default;

    // True while the panel is visible with its memory details expanded.
    virtual bool shouldUpdateTrackedSystemInfo() const = 0;
    virtual void fillInfoPanelWithUsedMemoryPercent(const UsedMemory &usage) = 0;
    virtual void fillLastCleanedLabelWithSize(const LastCleaned &lastCleaned) = 0;
    // A purge freed memory: the subtitle shows the cleaned text for a while.
    virtual void onPurgedMemory() = 0;
};

} // namespace lurkel
