#pragma once

#include "BytePath.h"

#include <QString>

namespace lurkel {

// The promotion manager: the application's identity (name, versions, its data folder, the
// campaign source of the addresses it opens) and whether advertisements may be shown.
class PromoManager {
public:
    // The one promotion manager, created on first use (the maker's addresses are loaded
    // first). Later calls return the same object.
    static PromoManager &GetInstance();

    PromoManager(const PromoManager &) = delete;
    PromoManager &operator=(const PromoManager &) = delete;

    // The application's identity, compiled in from the build (Identity.h).
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

    // Advertisement pages: none in this version, so the panel never makes room for one.
    bool isCanShowAds() const { return false; }

private:
    PromoManager();
};

} // namespace lurkel
