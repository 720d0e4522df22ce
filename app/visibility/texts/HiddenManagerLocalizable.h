#pragma once

#include <QString>

namespace lurkel {

// The texts of the permission sheet and the access-error alert, looked up in the string
// table "HiddenManagerLocalizable" with the English text as default.
class HiddenManagerLocalizable {
public:
    static inline constexpr const char kTable[] = "HiddenManagerLocalizable";

    // The information sheet shown before the first switch.
    static QString informationAboutAccessAlertsTitle();
    static QString informationAboutAccessAlertsMessage();
    static QString informationAboutAccessAlertsButtonGrantAccess();
    static QString informationAboutAccessAlertsButtonCancel();
    static QString informationAboutAccessAlertsButtonReadMore();

    // The access-error alert, one title and message per case.
    static QString accessNotGrantedForFinderAutomationTitle();
    static QString accessNotGrantedForFinderAutomationMessage();
    static QString accessNotGrantedForSystemEventsAutomationTitle();
    static QString accessNotGrantedForSystemEventsAutomationMessage();
    static QString accessNotGrantedForAccessibilityTitle();
    static QString accessNotGrantedForAccessibilityMessage();
    static QString accessNotGrantedButtonOpenSystemPreferences();
    static QString accessNotGrantedButtonReadMore();
};

} // namespace lurkel
