#include "PanelWindowContextualMenuStrings.h"

#include "Localized.h"

namespace lurkel {
namespace {

QString text(const char *key, const char *defaultText)
{
    return Localized::string(QLatin1String(PanelWindowContextualMenuStrings::kTable), QString::fromLatin1(key),
                             QString::fromUtf8(defaultText));
}

const QString kDots = QStringLiteral("...");

} // namespace

QString PanelWindowContextualMenuStrings::aboutFormatter()
{
    return text("Contextual_menu_about_formatter", "About %@");
}

QString PanelWindowContextualMenuStrings::quitFormatter()
{
    return text("Contextual_menu_quit_formatter", "Quit %@");
}

QString PanelWindowContextualMenuStrings::about(const QString &appName)
{
    return format(aboutFormatter(), appName);
}

QString PanelWindowContextualMenuStrings::quit(const QString &appName)
{
    return format(quitFormatter(), appName);
}

QString PanelWindowContextualMenuStrings::preferencesWithoutDots()
{
    return text("Contextual_menu_preferences", "Preferences");
}

QString PanelWindowContextualMenuStrings::preferences()
{
    return preferencesWithoutDots() + kDots;
}

QString PanelWindowContextualMenuStrings::helpDesk()
{
    return text("Contextual_menu_helpDesk", "Help Desk") + kDots;
}

QString PanelWindowContextualMenuStrings::checkForUpdates()
{
    return text("Contextual_menu_CheckForUpdates", "Check for Updates") + kDots;
}

QString PanelWindowContextualMenuStrings::news()
{
    return text("Contextual_menu_news", "News") + kDots;
}

QString PanelWindowContextualMenuStrings::format(const QString &formatter, const QString &argument)
{
    // Only the first "%@" is an argument, as in the string tables' formatters.
    QString result = formatter;
    const qsizetype at = result.indexOf(QStringLiteral("%@"));
    if (at >= 0) result.replace(at, 2, argument);
    return result;
}

} // namespace lurkel
