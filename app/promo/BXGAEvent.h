#pragma once

#include <QString>

#include <optional>

namespace lurkel {

// The events usage analytics can report: a category ("ec") and an action ("ea"), and a label
// ("el") that none of them has today. The raw values are part of the reports' meaning.
enum class BXGAEvent : int {
    Unknown = 0,
    LurkelSorvel = 1,
    LurkelVantorScope = 2,
    LurkelQuenbyLab = 3,
    LurkelPairly = 4,
    LurkelCloseUser = 5,
    ShowHiddenFilesTidora = 6,
    ShowHiddenFilesVantorScope = 7,
    ShowHiddenFilesQuenbyLab = 8,
    ShowHiddenFilesPairly = 9,
    ShowHiddenFilesCloseUser = 10,
    FindFilesTidora = 11,
    FindFilesVantorScope = 12,
    FindFilesQuenbyLab = 13,
    FindFilesPairly = 14,
    FindFilesCloseUser = 15,
};

struct BXGAEventData {
    QString category;
    QString action;
    std::optional<QString> label;
};

// The event of a raw value; nullopt outside 0-15.
std::optional<BXGAEvent> bxGAEventFromRawValue(int rawValue);
BXGAEventData bxGAEventData(BXGAEvent event);

} // namespace lurkel
