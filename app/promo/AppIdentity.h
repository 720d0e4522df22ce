#pragma once

#include "BytePath.h"

#include <QString>

namespace lurkel {

// The application's identity: its name and versions, its data folder and the campaign
// source of the addresses it opens. PromoManager hands them out under the names every
// caller knows; this class keeps them apart from the promotion pages, so that a program
// that needs only the name does not carry the pages' feeds.
class AppIdentity {
public:
    AppIdentity() = delete;

    // Compiled in from the build (Identity.h).
    static QString getAppName();         // "Lurkel"
    static QString getAppVersion();      // the short version, e.g. "1.0.0"
    static QString getAppBuildVersion(); // the build number, e.g. "100"

    // "version (build)" when both are known and differ, otherwise the version.
    static QString getAppReleaseVersionWithBuildNumber();
    static QString getAppReleaseVersionWithBuildNumber(const QString &version, const QString &build);

    // The first count dot-separated components of the version, joined with "." (fewer when
    // the version has fewer; empty for a count below 1).
    static QString buildAppVersionWithNumbersCount(int count);
    static QString buildAppVersionWithNumbersCount(int count, const QString &version);
    static QString buildAppVersionWith1Number();

    // The application's own data folder, $XDG_DATA_HOME/com.brendix.Lurkel-SII. It is not
    // created here.
    static BytePath getApplicationSupportAppFolder();

    // The campaign source of every address the application opens: "Lurkel".
    static QString utmSource();
    // The address followed by "?utm_source=Lurkel&utm_medium=from%20app". The address is
    // not looked at: one that already has a query gets a second "?", and a fragment ends
    // up in front of the query, so callers append their anchor after this.
    static QString appendUtmSourceAndUtmFromAppTo(const QString &address);

    // The folder the page packages are kept in: $XDG_DATA_HOME/com.brendix.Lurkel-SII.
    static BytePath subfolderNameInApplicationSupport();
};

} // namespace lurkel
