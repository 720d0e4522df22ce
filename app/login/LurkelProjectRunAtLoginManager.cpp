#include "LurkelProjectRunAtLoginManager.h"

#include "Identity.h"

namespace lurkel {

LurkelProjectRunAtLoginManager &LurkelProjectRunAtLoginManager::shared()
{
    // Never destroyed: it may be asked from anywhere until the process ends.
    static auto *instance = new LurkelProjectRunAtLoginManager;
    return *instance;
}

std::optional<BytePath> LurkelProjectRunAtLoginManager::helperProgramPath(const QString &bundleIdentifier) const
{
    if (bundleIdentifier == QLatin1StringView(Identity::kLauncherIdentifier)) {
        return programDirectory() / "lurkel-launcher";
    }
    return RunAtLoginManager::helperProgramPath(bundleIdentifier);
}

QString LurkelProjectRunAtLoginManager::_launcherAppBundleIdentifier() const
{
    return QString::fromLatin1(Identity::kLauncherIdentifier);
}

} // namespace lurkel
