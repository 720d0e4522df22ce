#include "AdBasedOnSpotlightVCStrings.h"

#include "Localized.h"

namespace lurkel {

QString AdBasedOnSpotlightVCStrings::string(const char *key, const char *defaultText, bool colon)
{
    const QString text =
        Localized::string(QLatin1String(kTable), QString::fromLatin1(key), QString::fromUtf8(defaultText));
    return colon ? text + QLatin1Char(':') : text;
}

QString AdBasedOnSpotlightVCStrings::format(const QString &templateText, const QString &argument)
{
    QString text = templateText;
    return text.replace(QStringLiteral("%@"), argument);
}

QString AdBasedOnSpotlightVCStrings::diskUsageMainViewButtonStateReview()
{
    return string("Main_View_review_button", "Review & Clean Up");
}

QString AdBasedOnSpotlightVCStrings::diskUsageMainViewButtonStateScanning()
{
    return string("Main_View_review_button_state_scanning", "Scanning") + QStringLiteral("...");
}

QString AdBasedOnSpotlightVCStrings::getAppLabelWithAppName(const QString &name)
{
    return format(string("Tab_View_get_app_template", "Get %@"), name);
}

QString AdBasedOnSpotlightVCStrings::openAppLabelWithAppName(const QString &name)
{
    return format(string("Tab_View_open_app_template", "Open %@"), name);
}

} // namespace lurkel
