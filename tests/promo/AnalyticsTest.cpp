#include "BXGoogleAnalytics.h"
#include "BXGooglePayload.h"
#include "PromoManager.h"
#include "PromoSettings.h"
#include "SettingsKeys.h"
#include "UserDefaults.h"

#include "EventWait.h"
#include "FeedServer.h"
#include "QtPrinters.h"

#include <QLocale>
#include <QUrlQuery>
#include <QUuid>

#include <gtest/gtest.h>

#include <set>

using namespace lurkel;

namespace {

const QString kDomain = QStringLiteral("com.brendix.Lurkel-SII.analytics-test");

// What "ul" carries: the first preferred language, encoded as every value is.
QString encodedLanguage()
{
    const QStringList languages = QLocale::system().uiLanguages();
    BXGooglePayload language;
    language.addParameter(QStringLiteral("ul"), languages.isEmpty() ? QLocale::system().name() : languages.first());
    return language.data();
}

} // namespace

TEST(Analytics, ValuesAreEncodedButLettersDigitsAndKeysAreNot)
{
    BXGooglePayload payload;
    payload.addParameter(QStringLiteral("an"), QStringLiteral("My App & Co"));
    payload.addParameter(QStringLiteral("x"), QStringLiteral("a-b.c_d~é/9"));
    EXPECT_EQ(payload.data(), QStringLiteral("an=My%20App%20%26%20Co&x=a%2Db%2Ec%5Fd%7E%C3%A9%2F9"));
}

TEST(Analytics, TheDuplicatesHitCarriesEveryParameterInOrderAndTheClientIdSurvivesARestart)
{
    QString clientId;
    {
        UserDefaults defaults(kDomain);
        defaults.setObject(SettingsKeys::kGoogleAnalyticsUserId, QVariant());
        BXGoogleAnalytics analytics(defaults);
        clientId = analytics.clientID();
        // An upper-case UUID with hyphens, kept in the settings file.
        EXPECT_EQ(QUuid::fromString(clientId).toString(QUuid::WithoutBraces).toUpper(), clientId);
        EXPECT_EQ(clientId, clientId.toUpper());
        EXPECT_EQ(analytics.payloadFor(BXGAEvent::LurkelPairly),
                  QStringLiteral("v=1&tid=UA%2D48291730%2D1&cid=") +
                      QString(clientId).replace(u'-', QStringLiteral("%2D")) + QStringLiteral("&ds=app&an=Lurkel&av=") +
                      QString::fromLatin1(QByteArray(PromoManager::getAppReleaseVersionWithBuildNumber().toUtf8())
                                              .toPercentEncoding({}, "-._~")) +
                      QStringLiteral("&") + encodedLanguage() + QStringLiteral("&t=event&ec=Lurkel&ea=Pairly%5FApp"));
    }
    UserDefaults afterRestart(kDomain);
    EXPECT_EQ(BXGoogleAnalytics(afterRestart).clientID(), clientId);
    EXPECT_EQ(afterRestart.stringForKey(SettingsKeys::kGoogleAnalyticsUserId), clientId);

    EXPECT_FALSE(bxGAEventFromRawValue(16).has_value());
    EXPECT_FALSE(bxGAEventFromRawValue(-1).has_value());
    EXPECT_EQ(bxGAEventData(*bxGAEventFromRawValue(0)).action, QStringLiteral("unknoen"));
}

TEST(Analytics, EachHitIsOneGetOfCollectWithItsOwnCacheBuster)
{
    test::FeedServer server;
    UserDefaults defaults(kDomain);
    defaults.setString(SettingsKeys::kWebHost, server.host());
    PromoSettings::reloadFromDefaults(defaults);
    BXGoogleAnalytics analytics(defaults);

    analytics.send(BXGAEvent::LurkelSorvel);
    analytics.send(BXGAEvent::LurkelSorvel);
    ASSERT_TRUE(test::waitUntil([&] { return server.requests == 2 && analytics.requestsInFlight() == 0; }));
    // On the wire the parameters come in the hit's order with the hit's values; Qt writes the
    // marks "-._~" unencoded, which RFC 3986 makes the same value.
    QUrlQuery built(analytics.payloadFor(BXGAEvent::LurkelSorvel));
    std::set<QString> busters;
    for (const QByteArray &line : server.requestLines) {
        const QList<QByteArray> parts = line.split(' ');
        ASSERT_EQ(parts.size(), 3) << line.toStdString();
        EXPECT_EQ(parts[0], "GET");
        const QUrl target(QString::fromLatin1(parts[1]));
        EXPECT_EQ(target.path(), QStringLiteral("/collect"));
        QList<QPair<QString, QString>> sent = QUrlQuery(target).queryItems(QUrl::FullyDecoded);
        ASSERT_FALSE(sent.isEmpty());
        const auto [key, z] = sent.takeLast();
        EXPECT_EQ(key, QStringLiteral("z"));
        bool number = false;
        z.toUInt(&number);
        EXPECT_TRUE(number) << z.toStdString();
        busters.insert(z);
        EXPECT_EQ(sent, built.queryItems(QUrl::FullyDecoded));
    }
    EXPECT_EQ(busters.size(), 2u);
    PromoSettings::reloadFromDefaults(UserDefaults::standardUserDefaults());
}
