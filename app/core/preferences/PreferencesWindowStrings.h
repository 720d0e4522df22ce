#pragma once

#include <QString>

namespace lurkel {

// The preferences window's texts, looked up in the string table "PreferencesWindow" with the
// English default given here.
class PreferencesWindowStrings {
public:
    PreferencesWindowStrings() = delete;

    static inline constexpr const char kTable[] = "PreferencesWindow";

    // "Launch_at_system_startup_template": "Launch %@ at system startup", "%@" filled with appName.
    static QString launchAtSystemStartup(const QString &appName);
    static QString enableFinderIntegration(); // "Enable_finder_integration": "Enable file manager integration"
    // "Force_switch_hidden_visibility": "Restart file managers when switching hidden files"
    static QString forceSwitchHiddenVisibility();
    static QString showPanelAtStart(); // "Show_panel_at_start": "Show the panel at start"
    static QString
    purgeAfterHugeAppQuit();         // "Purge_after_huge_app_quit": "Free memory after a large application quits"
    static QString autoFree();       // "Auto_free": "Free memory automatically"
    static QString usageLimit();     // "Usage_limit": "Memory usage limit:"
    static QString purgeInterval();  // "Purge_interval": "Free memory every:"
    static QString panelStyle();     // "Panel_style": "Panel style:"
    static QString visionCompact();  // "Vision_compact": "Compact"
    static QString visionStandard(); // "Vision_standard": "Standard"
    static QString visionDetailed(); // "Vision_detailed": "Detailed"
};

} // namespace lurkel
