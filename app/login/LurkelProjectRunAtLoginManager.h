#pragma once

#include "RunAtLoginManager.h"

namespace lurkel {

// The run-at-login manager of Lurkel: its launcher is "com.brendix.Lurkel-SII.launcher",
// the program lurkel-launcher.
class LurkelProjectRunAtLoginManager : public RunAtLoginManager {
public:
    // The instance the application uses, created on first use.
    static LurkelProjectRunAtLoginManager &shared();

    using RunAtLoginManager::RunAtLoginManager;

    std::optional<BytePath> helperProgramPath(const QString &bundleIdentifier) const override;

protected:
    QString _launcherAppBundleIdentifier() const override;
};

} // namespace lurkel
