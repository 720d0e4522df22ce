#pragma once

#include "BytePath.h"
#include "UserDefaults.h"

#include <QDateTime>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QVariantList>

#include <cstdint>
#include <optional>

namespace lurkel {

class MacOSVersion;

// Typed access to the persistent settings of the application (the category on the
// defaults store). A Settings object is a light view over a UserDefaults store; every
// setter synchronizes the store after writing, so that a change survives any way the
// program ends.
//
// Reading: an absent key gives the caller's default (or the documented one). A stored
// object of another kind converts the way UserDefaults converts it, so that every reader
// of a key sees the same value:
//  - to bool: numbers are true when not zero; a string is true when, after white space,
//    a sign and leading zeros, it begins with Y, y, T, t or a digit 1-9 ("1", "yes",
//    "true" read true; "0", "no", "false", "" read false); dates, data, lists and
//    dictionaries read false;
//  - to integers and doubles: booleans give 1 or 0, numbers convert (doubles to integers
//    truncate), a string gives its leading number or 0, anything else reads 0;
//  - to arrays: a list (or string list) is returned, anything else reads as an empty list.
// Keys beginning "ATEST:" are set from outside to override built-in values; they count only
// when they hold a number (a boolean does not), otherwise the caller's default is used.
class Settings {
public:
    // A view over the given store (the standard defaults unless told otherwise); the
    // version defaults come from version (the process's MacOSVersion unless told).
    Settings();
    explicit Settings(UserDefaults &defaults);
    Settings(UserDefaults &defaults, const MacOSVersion &version);

    UserDefaults &defaults() const { return *m_defaults; }

    // The suite shared with the file-manager integration, created once per process.
    static UserDefaults &shfGroup();
    // Its name: the team prefix + "group." + the bundle identifier
    // ("4QW7TR2MPL.group.com.brendix.Lurkel-SII").
    static QString shfGroupName();

    // Generic accessors.
    std::uint64_t getUnsignedLongLongValueForKeyWithDefaultValue(const QString &key, std::uint64_t defaultValue) const;
    void saveUnsignedLongLongValueForKey(std::uint64_t value, const QString &key);
    std::int64_t getIntegerValueForKeyWithDefaultValue(const QString &key, std::int64_t defaultValue) const;
    void saveIntegerValueForKey(std::int64_t value, const QString &key);
    double getDoubleValueForKeyWithDefaultValue(const QString &key, double defaultValue) const;
    void saveDoubleValueForKey(double value, const QString &key);
    bool getBoolValueForKeyWithDefaultValue(const QString &key, bool defaultValue) const;
    void saveBoolValueForKey(bool value, const QString &key);
    QVariantList getArrayValueForKeyWithDefaultValue(const QString &key, const QVariantList &defaultValue) const;
    void saveArrayValueForKey(const QVariantList &value, const QString &key);

    // "KEY_cleanedSize": bytes freed so far, 0 when absent.
    std::uint64_t cleanedSize() const;
    void setCleanedSize(std::uint64_t size);

    // "CheckHiddenFilesVisibility": by default yes before 10.14, no from 10.14 on.
    bool shouldCheckHiddenFilesVisibility() const;
    void setShouldCheckHiddenFilesVisibility(bool value);

    // "ShowInformationAboutAccessibilityAlerts": by default no before 10.14, yes from 10.14 on.
    bool shouldShowInformationAboutAccessibilityAlerts() const;
    void setShouldShowInformationAboutAccessibilityAlerts(bool value);

    // "main_window:state:lock": the panel stays locked to the tray icon; yes by default.
    void saveWindowLockedState(bool locked);
    bool isWindowLocked() const;

    // Stores the panel's x and the y of its top edge (Qt screen coordinates) as floats.
    void saveWindowFramePosition(const QRectF &frame);
    // The top-left corner to restore the panel to, or nullopt unless both coordinates are
    // stored. With a screen the corner is moved so that the window is not entirely off it
    // (see keepWindowOriginOnScreen); without one the stored corner is returned unchanged.
    std::optional<QPointF> restoreWindowFramePosition(QSizeF windowSize, std::optional<QRectF> screen) const;
    // A window of windowSize at topLeft that lies entirely right of the screen ends flush
    // with its right edge, entirely left starts at its left edge, entirely above starts at
    // its top edge, entirely below ends at its bottom edge. Otherwise topLeft is kept.
    static QPointF keepWindowOriginOnScreen(QPointF topLeft, QSizeF windowSize, const QRectF &screen);

    // "KEY_SearchLocation" and "KEY_CustomFolderButtonSearchLocation": a folder path, stored
    // as a string when its bytes are valid UTF-8 and as data otherwise, so that the bytes
    // come back exactly. nullopt when absent (or when something other than a string or data
    // is stored).
    void saveSearchLocation(const BytePath &path);
    std::optional<BytePath> getSearchLocation() const;
    void saveCustomFolderButtonSearchLocation(const BytePath &path);
    std::optional<BytePath> getCustomFolderButtonSearchLocation() const;

    // The rate dialog's bookkeeping ("RATE_DIALOG_DATA:*"). At every start: when no version
    // is stored, or the first two components of appVersion differ from the stored ones,
    // the bookkeeping starts over (onFirstStartOrVersionChangedTo). A change of the third
    // component (3.4.1 -> 3.4.2) keeps it.
    void notifyRateDialogDataThatAppStarted(const QString &appVersion, const QDateTime &now);
    // Next offer 14 days from now, no star clicked, no automatic showing, version stored.
    void onFirstStartOrVersionChangedTo(const QString &twoNumberVersion, const QDateTime &now);
    // The dialog was shown: next offer 30 days from now; an automatic showing also counts.
    void notifyRateDialogDataThatRateDialogShowedAutomatically(bool automatically, const QDateTime &now);
    void notifyRateDialogDataThatUserClickOnStar();
    std::int64_t getCountOfRateDialogAutoShowed() const;
    // The first two dot-separated components of a version ("3.4.1" -> "3.4", "3" -> "3").
    static QString buildAppVersionWith2Numbers(const QString &version);

    // True when the key's stored value counts: it is present, and a number if the key is
    // an "ATEST:" override.
    bool hasUsableValue(const QString &key) const;

    // Path storage shared with other path-valued keys.
    static QVariant pathToObject(const BytePath &path);
    static std::optional<BytePath> objectToPath(const QVariant &object);

private:
    void savePath(const QString &key, const BytePath &path);
    std::optional<BytePath> pathForKey(const QString &key) const;
    void store(const QString &key, const QVariant &value);

    UserDefaults *m_defaults;
    const MacOSVersion *m_version;
};

} // namespace lurkel
