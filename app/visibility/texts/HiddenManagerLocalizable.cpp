#include "HiddenManagerLocalizable.h"

#include "Localized.h"

namespace lurkel {
namespace {

QString text(const QString &key, const QString &defaultText)
{
    return Localized::string(QString::fromLatin1(HiddenManagerLocalizable::kTable), key, defaultText);
}

// The Finder and System Events alerts share their title.
QString automationTitle()
{
    return QStringLiteral(
        "Lurkel could\u2019t switch hidden files visibility as the system requires a special permission");
}

} // namespace

QString HiddenManagerLocalizable::informationAboutAccessAlertsTitle()
{
    return text(QStringLiteral("InformationAboutAccessAlerts_Title"),
                QStringLiteral("The system requires special permissions for Lurkel to get access to System Events and "
                               "the file manager"));
}

QString HiddenManagerLocalizable::informationAboutAccessAlertsMessage()
{
    return text(QStringLiteral("InformationAboutAccessAlerts_Message"),
                QStringLiteral("It is necessary for the system to allow Lurkel switch the hidden files visibility and "
                               "to operate hidden files.\nPlease, allow the permission for the next system messages to "
                               "make Lurkel work correctly."));
}

QString HiddenManagerLocalizable::informationAboutAccessAlertsButtonGrantAccess()
{
    return text(QStringLiteral("InformationAboutAccessAlerts_Button_GrantAccess"), QStringLiteral("Grant Access"));
}

QString HiddenManagerLocalizable::informationAboutAccessAlertsButtonCancel()
{
    return text(QStringLiteral("InformationAboutAccessAlerts_Button_Cancel"), QStringLiteral("Cancel"));
}

QString HiddenManagerLocalizable::informationAboutAccessAlertsButtonReadMore()
{
    return text(QStringLiteral("InformationAboutAccessAlerts_Button_ReadMore"), QStringLiteral("Read More"));
}

QString HiddenManagerLocalizable::accessNotGrantedForFinderAutomationTitle()
{
    return text(QStringLiteral("AccessNotGrantedForFinderAutomation_Title"), automationTitle());
}

QString HiddenManagerLocalizable::accessNotGrantedForFinderAutomationMessage()
{
    return text(QStringLiteral("AccessNotGrantedForFinderAutomation_Message"),
                QStringLiteral("Please, allow Lurkel to get access to control the file manager to switch hidden files "
                               "visibility. Open Settings and enable the file manager for Lurkel in the Automation "
                               "section."));
}

QString HiddenManagerLocalizable::accessNotGrantedForSystemEventsAutomationTitle()
{
    return text(QStringLiteral("AccessNotGrantedForSystemEventsAutomation_Title"), automationTitle());
}

QString HiddenManagerLocalizable::accessNotGrantedForSystemEventsAutomationMessage()
{
    return text(QStringLiteral("AccessNotGrantedForSystemEventsAutomation_Message"),
                QStringLiteral("Please, allow Lurkel to get access to control System Events to interact with hidden "
                               "files and operate them. Open Settings and enable System Events for Lurkel "
                               "in the Automation section"));
}

QString HiddenManagerLocalizable::accessNotGrantedForAccessibilityTitle()
{
    return text(QStringLiteral("AccessNotGrantedForAccessibility_Title"),
                QStringLiteral("Lurkel needs to be switched in the Accessibility section"));
}

QString HiddenManagerLocalizable::accessNotGrantedForAccessibilityMessage()
{
    return text(QStringLiteral("AccessNotGrantedForAccessibility_Message"),
                QStringLiteral("To make Lurkel work correctly, open Settings, click the Lock icon for "
                               "further changes and enable Lurkel in the Accessibility section."));
}

QString HiddenManagerLocalizable::accessNotGrantedButtonOpenSystemPreferences()
{
    return text(QStringLiteral("AccessNotGranted_Button_OpenSystemPreferences"), QStringLiteral("Open Settings"));
}

QString HiddenManagerLocalizable::accessNotGrantedButtonReadMore()
{
    return text(QStringLiteral("AccessNotGranted_Button_ReadMore"), QStringLiteral("Read More"));
}

} // namespace lurkel
