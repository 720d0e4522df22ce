#pragma once

#include "BytePath.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace lurkel {

class UrlOpener;

// What a disk-usage detail view's tool button does: each category (view type 1 junk, 2
// applications, 3 large and old files, 4 duplicates) names one of the maker's sibling tools.
// The button brings the running tool to the front, or launches the installed one and asks
// it to scan at once, or reports the event and opens the tool's download page.
//
// Running = the tool's bus name has an owner; installed = a desktop entry named after its
// bundle identifier in the XDG application folders, else in the private applications folder
// (CopyApplicationsTask). Main thread only.
class SiblingToolHandOff {
public:
    SiblingToolHandOff(int viewType, UrlOpener &urlOpener);

    int viewType() const { return m_viewType; }

    // The one bundle identifier of a view type's tool; empty outside 1-4.
    static QStringList convertAdAppTypeToBundleIDs(int viewType);
    // "Sorvel", "Quenby Lab", "Hollin", "Pairly"; "Application" outside 1-4.
    static QString buttonNameForType(int viewType);
    // The full product name of a bundle identifier (older identifiers of a product included);
    // "Application" for any other.
    static QString convertBundleIDtoAppName(const QString &bundleId);
    // The first identifier (in list order) whose tool runs, or nullopt.
    static std::optional<QString> findRunningAppForBundleIDsWithSelectedBundleID(const QStringList &bundleIds,
                                                                                 QString *selectedBundleId);
    // The desktop entry of the first identifier that has one in the application folders,
    // else the private folder's; nullopt when there is none (or no identifiers).
    static std::optional<BytePath> findAppPathForBundleIDsWithSelectedBundleID(const QStringList &bundleIds,
                                                                               QString *selectedBundleId);
    // The identifier to name when no tool is found: the last for view type 2, else the first.
    static QString getNotExistedDefaultBundleIDFromIDsForType(const QStringList &bundleIds, int viewType);
    // The product name of the running tool, else the installed one, else the default
    // identifier's; *exists tells whether a running or installed tool was found.
    static QString getWillOpenedAppNameIsExitedForType(bool *exists, int viewType);
    // The tool's download page on the maker's host; empty outside 1-4.
    static QString getAdvertisementURL(int viewType);
    // The analytics event value of a view type; 0 outside 1-4.
    static int eventWithType(int viewType);

    // The button: activate, or launch and arm the start-scanning handshake, or report and
    // open the download page.
    void getAppPressed();

    // How an installed tool is started; the default runs `gio launch ENTRY` (argument vector,
    // no shell). False when it could not be started (which is then only logged).
    using Launch = std::function<bool(const BytePath &entry)>;
    void setLaunch(Launch launch) { m_launch = std::move(launch); }
    static bool launchWithGio(const BytePath &entry);

private:
    int m_viewType;
    UrlOpener &m_urlOpener;
    Launch m_launch = &SiblingToolHandOff::launchWithGio;
};

} // namespace lurkel
