#include "Preferences.h"

#include "SettingsKeys.h"

namespace lurkel {

Preferences &Preferences::shared()
{
    static Preferences instance(UserDefaults::standardUserDefaults());
    return instance;
}

Preferences::Preferences(UserDefaults &defaults) : m_defaults(&defaults) {}

SwitchHiddenFilesVisibilityOption Preferences::switchHiddenFilesVisibilityOption() const
{
    const qint64 raw = m_defaults->integerForKey(SettingsKeys::kSwitchHiddenFilesVisibilityOption, 0);
    if (raw < 0 || raw > 2) return SwitchHiddenFilesVisibilityOption::NotChosen;
    return static_cast<SwitchHiddenFilesVisibilityOption>(raw);
}

void Preferences::setSwitchHiddenFilesVisibilityOption(SwitchHiddenFilesVisibilityOption option)
{
    m_defaults->setInteger(SettingsKeys::kSwitchHiddenFilesVisibilityOption, static_cast<qint64>(option));
    m_defaults->synchronize();
}

} // namespace lurkel
