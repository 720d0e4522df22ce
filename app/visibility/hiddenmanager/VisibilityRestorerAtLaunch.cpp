#include "VisibilityRestorerAtLaunch.h"

#include "HiddenManager.h"
#include "ScriptsManager.h"

namespace lurkel {

VisibilityRestorerAtLaunch::VisibilityRestorerAtLaunch() : VisibilityRestorerAtLaunch(HiddenManager::sharedManager()) {}

VisibilityRestorerAtLaunch::VisibilityRestorerAtLaunch(HiddenManager &manager) : m_manager(&manager)
{
    manager.setListener(this);
}

VisibilityRestorerAtLaunch::~VisibilityRestorerAtLaunch()
{
    if (m_manager->listener() == this) m_manager->setListener(nullptr);
}

void VisibilityRestorerAtLaunch::hiddenManagerAttemptToChangeVisibilityCompleted(HiddenManager &manager)
{
    if (manager.scriptType() != HiddenManagerScriptTypeSingleSwitch) return;
    const char *script =
        manager.isHiddenShown() ? HiddenManager::kWriteShownScriptName : HiddenManager::kWriteHiddenScriptName;
    manager.scriptsManager().executeAppleScriptCompletion(QString::fromLatin1(script));
}

} // namespace lurkel
