#pragma once

#include "BytePath.h"
#include "Error.h"

#include <QString>

#include <optional>

namespace lurkel {

// Whether the user elected Lurkel's file-manager integration: kept in
// $XDG_DATA_HOME/com.brendix.Lurkel-SII/plugins.json as {"ID": "use" | "ignore"}. An
// integration never elected is ignored. The integrations read this at run time.
class PluginElection {
public:
    enum class Choice { Use, Ignore };

    static BytePath filePath();
    // The integrations this installation has (the only identifiers the tool knows).
    static bool isKnownIdentifier(const QString &identifier);

    static Choice electionFor(const QString &identifier);
    // Written atomically, other identifiers kept.
    static std::optional<Error> setElection(const QString &identifier, Choice choice);
};

} // namespace lurkel
