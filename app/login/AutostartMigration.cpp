#include "AutostartMigration.h"

#include "Log.h"
#include "SettingsKeys.h"
#include "UserDefaults.h"

namespace lurkel {

AutostartMigration::Outcome
AutostartMigration::migrateAutostartIfNeeded(RunAtLoginManager &manager, UserDefaults &defaults,
                                             const RunAtLoginManager::FailedBlock &failedBlock)
{
    const QString toggledKey = SettingsKeys::kAutoStartToggledByUser;
    const QString autoStartKey = SettingsKeys::kAutoStart;
    const bool toggled = defaults.contains(toggledKey) || defaults.contains(autoStartKey);

    Outcome outcome = Outcome::NotNeeded;
    if (!toggled && manager.isLaunchAtStartup()) {
        // The launcher's entry first: when it cannot be written, the older entry stays and
        // the application still starts at login (and the move is tried again next time).
        bool enabled = true;
        manager.setIsEnabledForHelperAppFailedBlock(true, [&](const Error &error) {
            enabled = false;
            if (failedBlock) failedBlock(error);
        });
        if (!enabled) {
            outcome = Outcome::Failed;
        } else if (const auto error = manager.toggleLaunchAtLoginValue_WithoutHelperApp()) {
            // Both entries start lurkel now; the second copy hands over to the first.
            outcome = Outcome::Failed;
        } else {
            outcome = Outcome::Migrated;
            qCInfo(lcLogin, "moved the login entry of the application to the launcher");
        }
    }

    for (const QString &key : {toggledKey, autoStartKey}) {
        if (!defaults.contains(key)) continue;
        defaults.removeObject(key);
        if (!defaults.synchronize()) qCWarning(lcLogin, "could not store the removal of %s", qUtf8Printable(key));
    }
    return outcome;
}

} // namespace lurkel
