#include "AccessErrorCase.h"

#include "HiddenManagerLocalizable.h"
#include "PromoManager.h"
#include "PromoSettings.h"

namespace lurkel {
namespace {

// Linux has no privacy panes to send the user to; the first button opens the entry of the
// README's Troubleshooting section that explains the problem and its remedy instead.
QUrl troubleshootingEntry(const QString &anchorName)
{
    return QUrl(PromoSettings::getReadmeURLonBrendix() + QLatin1Char('#') + anchorName);
}

} // namespace

std::optional<AccessErrorCase> accessErrorCaseForDescription(const QString &description)
{
    if (description.contains(QLatin1String("-1743"))) {
        if (description.contains(QLatin1String("Finder"))) return AccessErrorCase::FinderAutomation;
        if (description.contains(QLatin1String("System Events"))) return AccessErrorCase::SystemEventsAutomation;
        return std::nullopt;
    }
    if (description.contains(QLatin1String("1002"))) return AccessErrorCase::Accessibility;
    return std::nullopt;
}

QString gettingStartedReadMoreAddress()
{
    return PromoManager::appendUtmSourceAndUtmFromAppTo(PromoSettings::getGettingStartedURLonBrendix());
}

AccessErrorDetails accessErrorDetails(AccessErrorCase accessCase)
{
    AccessErrorDetails d;
    switch (accessCase) {
    case AccessErrorCase::FinderAutomation:
        d.title = HiddenManagerLocalizable::accessNotGrantedForFinderAutomationTitle();
        d.message = HiddenManagerLocalizable::accessNotGrantedForFinderAutomationMessage();
        d.settingsTarget = troubleshootingEntry(QStringLiteral("troubleshooting-finder"));
        d.anchor = QStringLiteral("#finder");
        break;
    case AccessErrorCase::SystemEventsAutomation:
        d.title = HiddenManagerLocalizable::accessNotGrantedForSystemEventsAutomationTitle();
        d.message = HiddenManagerLocalizable::accessNotGrantedForSystemEventsAutomationMessage();
        d.settingsTarget = troubleshootingEntry(QStringLiteral("troubleshooting-systemevents"));
        d.anchor = QStringLiteral("#systemevents");
        break;
    case AccessErrorCase::Accessibility:
        d.title = HiddenManagerLocalizable::accessNotGrantedForAccessibilityTitle();
        d.message = HiddenManagerLocalizable::accessNotGrantedForAccessibilityMessage();
        d.settingsTarget = troubleshootingEntry(QStringLiteral("troubleshooting-accessibility"));
        d.anchor = QStringLiteral("#accessibility");
        break;
    }
    // The campaign query goes before the anchor: after a "#" it would be part of the
    // fragment and never reach the server.
    d.readMoreAddress = gettingStartedReadMoreAddress() + d.anchor;
    return d;
}

} // namespace lurkel
