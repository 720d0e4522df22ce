#include "Settings.h"

#include "MacOSVersion.h"
#include "SettingsKeys.h"
#include "TestEnvironment.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <memory>

using lurkel::BytePath;
using lurkel::MacOSVersion;
using lurkel::Settings;
using lurkel::UserDefaults;
namespace Keys = lurkel::SettingsKeys;

namespace {

class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override { lurkel::test::TestEnvironment::freshHome(); }
    // Another store object of the same domain: it sees only what reached the disk.
    std::unique_ptr<UserDefaults> reopen() const { return std::make_unique<UserDefaults>(m_defaults->domain()); }

    std::unique_ptr<UserDefaults> m_defaults = std::make_unique<UserDefaults>(QStringLiteral("com.example.settings"));
    const MacOSVersion m_v13{QStringLiteral("10.13")};
    const MacOSVersion m_v14{QStringLiteral("10.14")};
};

} // namespace

TEST_F(SettingsStore, AbsentKeysAndVersionDefaults)
{
    const Settings settings(*m_defaults, m_v13);
    EXPECT_EQ(settings.cleanedSize(), 0u);
    EXPECT_TRUE(settings.isWindowLocked());
    EXPECT_TRUE(settings.shouldCheckHiddenFilesVisibility());
    EXPECT_FALSE(settings.shouldShowInformationAboutAccessibilityAlerts());
    EXPECT_EQ(settings.getSearchLocation(), std::nullopt);
    EXPECT_EQ(settings.getCustomFolderButtonSearchLocation(), std::nullopt);
    EXPECT_EQ(settings.getUnsignedLongLongValueForKeyWithDefaultValue(QStringLiteral("none"), 77), 77u);
    EXPECT_EQ(settings.getArrayValueForKeyWithDefaultValue(QStringLiteral("none"), {1}), QVariantList{1});

    Settings newer(*m_defaults, m_v14);
    EXPECT_FALSE(newer.shouldCheckHiddenFilesVisibility());
    EXPECT_TRUE(newer.shouldShowInformationAboutAccessibilityAlerts());
    newer.setShouldCheckHiddenFilesVisibility(true);
    EXPECT_TRUE(newer.shouldCheckHiddenFilesVisibility());
}

TEST_F(SettingsStore, SettersSynchronize)
{
    Settings settings(*m_defaults);
    const std::uint64_t big = 0xFFFF'FFFF'FFFF'FFF0ull; // beyond the signed range
    settings.setCleanedSize(123456789012ull);
    settings.saveUnsignedLongLongValueForKey(big, QStringLiteral("big"));
    settings.saveWindowLockedState(false);
    settings.saveArrayValueForKey({QStringLiteral("a"), 2}, QStringLiteral("list"));

    const auto fresh = reopen();
    const Settings reread(*fresh);
    EXPECT_EQ(reread.cleanedSize(), 123456789012ull);
    EXPECT_EQ(reread.getUnsignedLongLongValueForKeyWithDefaultValue(QStringLiteral("big"), 0), big);
    EXPECT_FALSE(reread.isWindowLocked());
    EXPECT_EQ(reread.getArrayValueForKeyWithDefaultValue(QStringLiteral("list"), {}),
              (QVariantList{QStringLiteral("a"), 2}));
}

TEST_F(SettingsStore, OtherKindsConvertAndTestOverridesNeedNumbers)
{
    const Settings settings(*m_defaults);
    const auto boolOf = [&](const QVariant &stored, bool fallback) {
        m_defaults->setObject(QStringLiteral("k"), stored);
        return settings.getBoolValueForKeyWithDefaultValue(QStringLiteral("k"), fallback);
    };
    EXPECT_TRUE(boolOf(QStringLiteral("1"), false));
    EXPECT_TRUE(boolOf(QStringLiteral("yes"), false));
    EXPECT_FALSE(boolOf(QStringLiteral("no"), true));
    EXPECT_TRUE(boolOf(2, false));
    EXPECT_FALSE(boolOf(QDateTime::currentDateTimeUtc(), true));
    m_defaults->setObject(QStringLiteral("k"), QStringLiteral("42"));
    EXPECT_EQ(settings.getUnsignedLongLongValueForKeyWithDefaultValue(QStringLiteral("k"), 7), 42u);
    EXPECT_EQ(settings.getArrayValueForKeyWithDefaultValue(QStringLiteral("k"), {1}), QVariantList());

    const auto overrideOf = [&](const QVariant &stored) {
        m_defaults->setObject(QStringLiteral("ATEST:X"), stored);
        return settings.getUnsignedLongLongValueForKeyWithDefaultValue(QStringLiteral("ATEST:X"), 7200);
    };
    EXPECT_EQ(overrideOf(QStringLiteral("5")), 7200u);
    EXPECT_EQ(overrideOf(true), 7200u);
    EXPECT_EQ(overrideOf(5), 5u);
}

TEST_F(SettingsStore, SearchLocationsKeepTheirBytes)
{
    Settings settings(*m_defaults);
    const BytePath odd("/home/u/caf\xe9/\xff\xfe dir");
    const BytePath plain("/home/u/\xc3\xa9t\xc3\xa9");
    settings.saveSearchLocation(odd);
    settings.saveCustomFolderButtonSearchLocation(plain);
    EXPECT_EQ(m_defaults->objectForKey(Keys::kCustomFolderButtonSearchLocation).typeId(), QMetaType::QString);
    // On the disk at once: nothing waits for a synchronize that a killed program never makes.
    const auto fresh = reopen();
    EXPECT_EQ(Settings(*fresh).getSearchLocation(), odd);
    EXPECT_EQ(Settings(*fresh).getCustomFolderButtonSearchLocation(), plain);
}

TEST_F(SettingsStore, WindowPosition)
{
    Settings(*m_defaults).saveWindowFramePosition(QRectF(10.5, 20, 300, 200));
    auto fresh = reopen();
    // the top edge is kept when the window has grown since
    EXPECT_EQ(Settings(*fresh).restoreWindowFramePosition(QSizeF(300, 400), std::nullopt), QPointF(10.5, 20));
    fresh->removeObject(Keys::kMainWindowY);
    EXPECT_EQ(Settings(*fresh).restoreWindowFramePosition(QSizeF(300, 400), QRectF(0, 0, 800, 600)), std::nullopt);

    const auto restored = [&](qreal x, qreal y, std::optional<QRectF> screen) {
        m_defaults->setDouble(Keys::kMainWindowX, x);
        m_defaults->setDouble(Keys::kMainWindowY, y);
        return Settings(*m_defaults).restoreWindowFramePosition(QSizeF(300, 200), screen);
    };
    const QRectF screen(0, 0, 1920, 1080);
    EXPECT_EQ(restored(2000, 100, screen), QPointF(1620, 100));   // right of the screen
    EXPECT_EQ(restored(-400, 100, screen), QPointF(0, 100));      // left
    EXPECT_EQ(restored(100, -250, screen), QPointF(100, 0));      // above
    EXPECT_EQ(restored(100, 1100, screen), QPointF(100, 880));    // below
    EXPECT_EQ(restored(1800, -150, screen), QPointF(1800, -150)); // partly visible: kept
    EXPECT_EQ(restored(2000, 100, std::nullopt), QPointF(2000, 100));
    const QRectF second(1920, 0, 1280, 1024); // its own edges count, not the origin
    EXPECT_EQ(restored(100, 100, second), QPointF(1920, 100));
    EXPECT_EQ(restored(3300, 100, second), QPointF(2900, 100));
}

TEST(SettingsSharedGroup, SuiteName)
{
    EXPECT_EQ(Settings::shfGroup().domain(), QStringLiteral("4QW7TR2MPL.group.com.brendix.Lurkel-SII"));
}

TEST_F(SettingsStore, RateDialogBookkeepingStartsOverOnlyWhenTheTwoNumberVersionChanges)
{
    Settings settings(*m_defaults);
    const QDateTime start(QDate(2026, 3, 1), QTime(9, 0), Qt::UTC);
    const auto nextShow = [&] { return reopen()->objectForKey(Keys::kRateDialogNextShowDate).toDateTime(); };
    const auto storedVersion = [&] { return reopen()->stringForKey(Keys::kRateDialogCurrentAppVersion); };
    const auto starClicked = [&] { return reopen()->boolForKey(Keys::kRateDialogIsUserSelectStar, true); };

    settings.notifyRateDialogDataThatAppStarted(QStringLiteral("3.4.1"), start);
    EXPECT_EQ(storedVersion(), QStringLiteral("3.4"));
    EXPECT_EQ(nextShow(), start.addDays(14));
    EXPECT_FALSE(starClicked());

    settings.notifyRateDialogDataThatRateDialogShowedAutomatically(true, start);
    settings.notifyRateDialogDataThatUserClickOnStar();
    settings.notifyRateDialogDataThatAppStarted(QStringLiteral("3.4.2"), start.addDays(1));
    EXPECT_EQ(settings.getCountOfRateDialogAutoShowed(), 1);
    EXPECT_TRUE(starClicked());
    EXPECT_EQ(nextShow(), start.addDays(30));

    // Shown by the user: the next offer moves, the count of automatic showings does not.
    settings.notifyRateDialogDataThatRateDialogShowedAutomatically(false, start.addDays(2));
    EXPECT_EQ(nextShow(), start.addDays(32));
    EXPECT_EQ(settings.getCountOfRateDialogAutoShowed(), 1);

    settings.notifyRateDialogDataThatAppStarted(QStringLiteral("3.5"), start.addDays(3));
    EXPECT_EQ(storedVersion(), QStringLiteral("3.5"));
    EXPECT_EQ(nextShow(), start.addDays(17));
    EXPECT_EQ(settings.getCountOfRateDialogAutoShowed(), 0);
    EXPECT_FALSE(starClicked());

    EXPECT_EQ(Settings::buildAppVersionWith2Numbers(QStringLiteral("3")), QStringLiteral("3"));
}
