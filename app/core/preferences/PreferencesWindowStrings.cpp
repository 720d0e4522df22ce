#include "PreferencesWindowStrings.h"

#include "Localized.h"

namespace lurkel {
namespace {

QString text(const char *key, const char *defaultText)
{
    return Localized::string(QLatin1String(PreferencesWindowStrings::kTable), QString::fromLatin1(key),
                             QString::fromUtf8(defaultText));
}

} // namespace

QString PreferencesWindowStrings::launchAtSystemStartup(const QString &appName)
{
    // Only the first "%@" is the name, as in the other tables' templates.
    QString result = text("Launch_at_system_startup_template", "Launch %@ at system startup");
    const qsizetype at = result.indexOf(QStringLiteral("%@"));
    if (at >= 0) result.replace(at, 2, appName);
    return result;
}

QString PreferencesWindowStrings::enableFinderIntegration()
{
    return text("Enable_finder_integration", "Enable file manager integration");
}

QString PreferencesWindowStrings::forceSwitchHiddenVisibility()
{
    return text("Force_switch_hidden_visibility", "Restart file managers when switching hidden files");
}

QString PreferencesWindowStrings::showPanelAtStart()
{
    return text("Show_panel_at_start", "Show the panel at start");
}

QString PreferencesWindowStrings::purgeAfterHugeAppQuit()
{
    return text("Purge_after_huge_app_quit", "Free memory after a large application quits");
}

QString PreferencesWindowStrings::autoFree()
{
    return text("Auto_free", "Free memory automatically");
}

QString PreferencesWindowStrings::usageLimit()
{
    return text("Usage_limit", "Memory usage limit:");
}

QString PreferencesWindowStrings::purgeInterval()
{
    return text("Purge_interval", "Free memory every:");
}

QString PreferencesWindowStrings::panelStyle()
{
    return text("Panel_style", "Panel style:");
}

QString PreferencesWindowStrings::visionCompact()
{
    return text("Vision_compact", "Compact");
}

QString PreferencesWindowStrings::visionStandard()
{
    return text("Vision_standard", "Standard");
}

QString PreferencesWindowStrings::visionDetailed()
{
    return text("Vision_detailed", "Detailed");
}

} // namespace lurkel
