#pragma once

#include <QString>

namespace lurkel {

// The disk-usage section's texts, looked up in the string table "AdBasedOnSpotlightVC" with
// the English default given here. Texts marked "+ ':'" come with a colon after them.
class AdBasedOnSpotlightVCStrings {
public:
    AdBasedOnSpotlightVCStrings() = delete;

    static inline constexpr const char kTable[] = "AdBasedOnSpotlightVC";

    static QString diskUsageMainViewButtonStateReview();         // "Main_View_review_button"
    static QString diskUsageMainViewButtonStateScanning();       // "Main_View_review_button_state_scanning" + "..."
    static QString getAppLabelWithAppName(const QString &name);  // "Tab_View_get_app_template": "Get %@"
    static QString openAppLabelWithAppName(const QString &name); // "Tab_View_open_app_template": "Open %@"

    // The text of key, or defaultText when the table lacks it; with a colon after it when asked.
    static QString string(const char *key, const char *defaultText, bool colon = false);
    // "%@" of a template replaced with the argument.
    static QString format(const QString &templateText, const QString &argument);
};

} // namespace lurkel
