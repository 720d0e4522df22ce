#pragma once

#include "BytePath.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace lurkel {

// The private applications folder: sibling tools copied into Lurkel's own data folder
// ($XDG_DATA_HOME/com.brendix.Lurkel-SII/Applications), each as a desktop entry named after
// its bundle identifier ("com.brendix.Pairly-Desk-SII.desktop").
class CopyApplicationsTask {
public:
    // The folder, or nullopt without a data folder.
    static std::optional<BytePath> createDestinationPath();
    // The first entry of the folder (in name order) that is a desktop entry of one of the
    // identifiers, and that identifier; nullopt when the folder or such an entry is missing.
    static std::optional<BytePath> findAppPathForBundleIDsWithSelectedBundleID(const QStringList &bundleIds,
                                                                               QString *selectedBundleId);
};

} // namespace lurkel
