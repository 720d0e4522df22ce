#pragma once

#include <QString>

namespace lurkel {

// The texts of the tray menu, looked up in the string table "PanelWindowContextualMenu"
// with the English default given here. "%@" in a formatter stands for the application's
// name; the functions taking a name fill it in.
class PanelWindowContextualMenuStrings {
public:
    PanelWindowContextualMenuStrings() = delete;

    static inline constexpr const char kTable[] = "PanelWindowContextualMenu";

    static QString aboutFormatter(); // "Contextual_menu_about_formatter": "About %@"
    static QString quitFormatter();  // "Contextual_menu_quit_formatter": "Quit %@"
    static QString about(const QString &appName);
    static QString quit(const QString &appName);
    static QString preferencesWithoutDots(); // "Contextual_menu_preferences": "Preferences"
    static QString preferences();            // the same + "..."
    static QString helpDesk();               // "Contextual_menu_helpDesk": "Help Desk" + "..."
    static QString checkForUpdates();        // "Contextual_menu_CheckForUpdates": "Check for Updates" + "..."
    static QString news();                   // "Contextual_menu_news": "News" + "..."

    // A formatter with its "%@" replaced by the argument.
    static QString format(const QString &formatter, const QString &argument);
};

} // namespace lurkel
