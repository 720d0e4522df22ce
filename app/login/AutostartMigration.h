#pragma once

#include "RunAtLoginManager.h"

namespace lurkel {

class UserDefaults;

// The start-up step that moves the older kind of login entry (the application's own) to
// the launcher, once.
//
// The older versions wrote "AutoStartToggledByUser" or "AutoStart" into the defaults when
// the user chose; with either present nothing is moved. Otherwise, when the application's
// own entry is on, the launcher's entry is written and then the application's own removed.
// Both keys are removed afterwards in any case (the store is synchronized after each).
class AutostartMigration {
public:
    enum class Outcome {
        NotNeeded, // one of the keys was there, or the older entry was not on
        Migrated,  // the launcher's entry is on and the older entry gone
        Failed,    // something could not be written; failedBlock was called
    };

    // failedBlock is what the application shows when the launcher's entry cannot be
    // written (the same block as for the preferences checkbox).
    static Outcome migrateAutostartIfNeeded(RunAtLoginManager &manager, UserDefaults &defaults,
                                            const RunAtLoginManager::FailedBlock &failedBlock);
};

} // namespace lurkel
