#include "Settings.h"

#include "Identity.h"
#include "MacOSVersion.h"
#include "SettingsKeys.h"
#include "VolumeName.h"

#include <QByteArray>

namespace lurkel {

namespace Keys = SettingsKeys;

Settings::Settings() : Settings(UserDefaults::standardUserDefaults(), MacOSVersion::GetInstance()) {}

Settings::Settings(UserDefaults &defaults) : Settings(defaults, MacOSVersion::GetInstance()) {}

Settings::Settings(UserDefaults &defaults, const MacOSVersion &version) : m_defaults(&defaults), m_version(&version) {}

UserDefaults &Settings::shfGroup()
{
    // UserDefaults::suite keeps one object per name for the process.
    return UserDefaults::suite(shfGroupName());
}

QString Settings::shfGroupName()
{
    return VolumeName::shfTeamIdentifierPrefix() + QStringLiteral("group.") +
           QString::fromLatin1(Identity::kBundleIdentifier);
}

bool Settings::hasUsableValue(const QString &key) const
{
    if (key.startsWith(Keys::kTestOverridePrefix)) return m_defaults->isNumber(key);
    return m_defaults->contains(key);
}

void Settings::store(const QString &key, const QVariant &value)
{
    m_defaults->setObject(key, value);
    m_defaults->synchronize();
}

// ---- generic accessors

std::uint64_t Settings::getUnsignedLongLongValueForKeyWithDefaultValue(const QString &key,
                                                                       std::uint64_t defaultValue) const
{
    if (!hasUsableValue(key)) return defaultValue;
    // same bits: a stored unsigned value above the signed range comes back as it was
    return static_cast<std::uint64_t>(m_defaults->integerForKey(key, 0));
}

void Settings::saveUnsignedLongLongValueForKey(std::uint64_t value, const QString &key)
{
    store(key, QVariant(static_cast<qulonglong>(value)));
}

std::int64_t Settings::getIntegerValueForKeyWithDefaultValue(const QString &key, std::int64_t defaultValue) const
{
    if (!hasUsableValue(key)) return defaultValue;
    return m_defaults->integerForKey(key, defaultValue);
}

void Settings::saveIntegerValueForKey(std::int64_t value, const QString &key)
{
    store(key, QVariant(static_cast<qlonglong>(value)));
}

double Settings::getDoubleValueForKeyWithDefaultValue(const QString &key, double defaultValue) const
{
    if (!hasUsableValue(key)) return defaultValue;
    return m_defaults->doubleForKey(key, defaultValue);
}

void Settings::saveDoubleValueForKey(double value, const QString &key)
{
    store(key, QVariant(value));
}

bool Settings::getBoolValueForKeyWithDefaultValue(const QString &key, bool defaultValue) const
{
    if (!hasUsableValue(key)) return defaultValue;
    return m_defaults->boolForKey(key, defaultValue);
}

void Settings::saveBoolValueForKey(bool value, const QString &key)
{
    store(key, QVariant(value));
}

QVariantList Settings::getArrayValueForKeyWithDefaultValue(const QString &key, const QVariantList &defaultValue) const
{
    if (!hasUsableValue(key)) return defaultValue;
    const QVariant object = m_defaults->objectForKey(key);
    if (object.typeId() != QMetaType::QVariantList && object.typeId() != QMetaType::QStringList) return {};
    return object.toList();
}

void Settings::saveArrayValueForKey(const QVariantList &value, const QString &key)
{
    store(key, QVariant(value));
}

// ---- named accessors

std::uint64_t Settings::cleanedSize() const
{
    return getUnsignedLongLongValueForKeyWithDefaultValue(Keys::kCleanedSize, 0);
}

void Settings::setCleanedSize(std::uint64_t size)
{
    saveUnsignedLongLongValueForKey(size, Keys::kCleanedSize);
}

bool Settings::shouldCheckHiddenFilesVisibility() const
{
    return getBoolValueForKeyWithDefaultValue(Keys::kCheckHiddenFilesVisibility, !m_version->is_10_14_orHigher());
}

void Settings::setShouldCheckHiddenFilesVisibility(bool value)
{
    saveBoolValueForKey(value, Keys::kCheckHiddenFilesVisibility);
}

bool Settings::shouldShowInformationAboutAccessibilityAlerts() const
{
    return getBoolValueForKeyWithDefaultValue(Keys::kShowInformationAboutAccessibilityAlerts,
                                              m_version->is_10_14_orHigher());
}

void Settings::setShouldShowInformationAboutAccessibilityAlerts(bool value)
{
    saveBoolValueForKey(value, Keys::kShowInformationAboutAccessibilityAlerts);
}

void Settings::saveWindowLockedState(bool locked)
{
    saveBoolValueForKey(locked, Keys::kMainWindowLock);
}

bool Settings::isWindowLocked() const
{
    return getBoolValueForKeyWithDefaultValue(Keys::kMainWindowLock, true);
}

// ---- rate dialog bookkeeping

namespace {
constexpr qint64 kRateFirstOfferDelaySecs = qint64{14} * 24 * 60 * 60;
constexpr qint64 kRateNextOfferDelaySecs = qint64{30} * 24 * 60 * 60;
} // namespace

QString Settings::buildAppVersionWith2Numbers(const QString &version)
{
    return version.split(QLatin1Char('.')).mid(0, 2).join(QLatin1Char('.'));
}

void Settings::notifyRateDialogDataThatAppStarted(const QString &appVersion, const QDateTime &now)
{
    const QString version = buildAppVersionWith2Numbers(appVersion);
    const QString stored = m_defaults->stringForKey(Keys::kRateDialogCurrentAppVersion);
    if (stored.isNull() || (!version.isEmpty() && version != stored)) onFirstStartOrVersionChangedTo(version, now);
}

void Settings::onFirstStartOrVersionChangedTo(const QString &twoNumberVersion, const QDateTime &now)
{
    m_defaults->setObject(Keys::kRateDialogNextShowDate, now.addSecs(kRateFirstOfferDelaySecs));
    m_defaults->setBool(Keys::kRateDialogIsUserSelectStar, false);
    m_defaults->setString(Keys::kRateDialogCurrentAppVersion, twoNumberVersion);
    m_defaults->setInteger(Keys::kRateDialogCountOfAutoShow, 0);
    m_defaults->synchronize();
}

void Settings::notifyRateDialogDataThatRateDialogShowedAutomatically(bool automatically, const QDateTime &now)
{
    m_defaults->setObject(Keys::kRateDialogNextShowDate, now.addSecs(kRateNextOfferDelaySecs));
    if (automatically) m_defaults->setInteger(Keys::kRateDialogCountOfAutoShow, getCountOfRateDialogAutoShowed() + 1);
    m_defaults->synchronize();
}

void Settings::notifyRateDialogDataThatUserClickOnStar()
{
    saveBoolValueForKey(true, Keys::kRateDialogIsUserSelectStar);
}

std::int64_t Settings::getCountOfRateDialogAutoShowed() const
{
    return getIntegerValueForKeyWithDefaultValue(Keys::kRateDialogCountOfAutoShow, 0);
}

// ---- panel position

void Settings::saveWindowFramePosition(const QRectF &frame)
{
    // kept with float precision, like the values the panel was placed with
    m_defaults->setDouble(Keys::kMainWindowX, static_cast<double>(static_cast<float>(frame.x())));
    m_defaults->setDouble(Keys::kMainWindowY, static_cast<double>(static_cast<float>(frame.top())));
    m_defaults->synchronize();
}

std::optional<QPointF> Settings::restoreWindowFramePosition(QSizeF windowSize, std::optional<QRectF> screen) const
{
    if (!m_defaults->contains(Keys::kMainWindowX) || !m_defaults->contains(Keys::kMainWindowY)) return std::nullopt;
    const QPointF stored(m_defaults->doubleForKey(Keys::kMainWindowX), m_defaults->doubleForKey(Keys::kMainWindowY));
    if (!screen) return stored;
    return keepWindowOriginOnScreen(stored, windowSize, *screen);
}

QPointF Settings::keepWindowOriginOnScreen(QPointF topLeft, QSizeF windowSize, const QRectF &screen)
{
    qreal x = topLeft.x();
    qreal y = topLeft.y();
    const qreal width = windowSize.width();
    const qreal height = windowSize.height();

    if (x > screen.right()) {
        x = screen.right() - width;
    } else if (screen.left() > x + width) {
        x = screen.left();
    }
    // y grows downwards: a window above the screen has its bottom above the screen's top
    if (screen.top() > y + height) {
        y = screen.top();
    } else if (y > screen.bottom()) {
        y = screen.bottom() - height;
    }
    return {x, y};
}

// ---- search locations

QVariant Settings::pathToObject(const BytePath &path)
{
    if (path.isValidUtf8()) return QVariant(path.displayString());
    return QVariant(path.toByteArray());
}

std::optional<BytePath> Settings::objectToPath(const QVariant &object)
{
    switch (object.typeId()) {
    case QMetaType::QString:
        return BytePath::fromText(object.toString());
    case QMetaType::QByteArray:
        return BytePath::fromBytes(object.toByteArray());
    default:
        return std::nullopt;
    }
}

void Settings::savePath(const QString &key, const BytePath &path)
{
    store(key, pathToObject(path));
}

std::optional<BytePath> Settings::pathForKey(const QString &key) const
{
    return objectToPath(m_defaults->objectForKey(key));
}

void Settings::saveSearchLocation(const BytePath &path)
{
    savePath(Keys::kSearchLocation, path);
}

std::optional<BytePath> Settings::getSearchLocation() const
{
    return pathForKey(Keys::kSearchLocation);
}

void Settings::saveCustomFolderButtonSearchLocation(const BytePath &path)
{
    savePath(Keys::kCustomFolderButtonSearchLocation, path);
}

std::optional<BytePath> Settings::getCustomFolderButtonSearchLocation() const
{
    return pathForKey(Keys::kCustomFolderButtonSearchLocation);
}

} // namespace lurkel
