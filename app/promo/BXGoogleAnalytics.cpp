#include "BXGoogleAnalytics.h"

#include "BXGooglePayload.h"
#include "Log.h"
#include "PromoManager.h"
#include "PromoSettings.h"
#include "SettingsKeys.h"
#include "UserDefaults.h"

#include <QLocale>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRandomGenerator>
#include <QUuid>

namespace lurkel {
namespace {

// A hit that has not gone out by then is dropped.
constexpr int kTransferTimeoutMs = 10000;

QString storedOrNewClientId(UserDefaults &defaults)
{
    const QString key = SettingsKeys::kGoogleAnalyticsUserId;
    QString id = defaults.stringForKey(key);
    if (!id.isEmpty()) return id;
    id = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    defaults.setString(key, id);
    defaults.synchronize();
    return id;
}

QString preferredLanguage()
{
    const QStringList languages = QLocale::system().uiLanguages();
    return languages.isEmpty() ? QLocale::system().name() : languages.first();
}

} // namespace

BXGoogleAnalytics &BXGoogleAnalytics::shared()
{
    // Never destroyed: a network manager must not outlive the application object, which is
    // gone by the time function statics are.
    static auto *instance = new BXGoogleAnalytics(UserDefaults::standardUserDefaults());
    return *instance;
}

BXGoogleAnalytics::BXGoogleAnalytics(UserDefaults &defaults)
    : m_clientID(storedOrNewClientId(defaults)), m_applicationName(PromoManager::getAppName()),
      m_applicationVersion(PromoManager::getAppReleaseVersionWithBuildNumber())
{
    if (m_applicationName.isEmpty()) m_applicationName = QStringLiteral("App Name");
    if (m_applicationVersion.isEmpty()) m_applicationVersion = QStringLiteral("App Version");
    m_fetch = [this](const QUrl &address) { fetchInBackground(address); };
}

BXGoogleAnalytics::~BXGoogleAnalytics() = default;

QString BXGoogleAnalytics::payloadFor(BXGAEvent event) const
{
    const BXGAEventData data = bxGAEventData(event);
    BXGooglePayload payload;
    payload.addParameter(QStringLiteral("v"), m_protocolVersion);
    payload.addParameter(QStringLiteral("tid"), m_trackingID);
    payload.addParameter(QStringLiteral("cid"), m_clientID);
    payload.addParameter(QStringLiteral("ds"), QStringLiteral("app"));
    payload.addParameter(QStringLiteral("an"), m_applicationName);
    payload.addParameter(QStringLiteral("av"), m_applicationVersion);
    payload.addParameter(QStringLiteral("ul"), preferredLanguage());
    payload.addParameter(QStringLiteral("t"), QStringLiteral("event"));
    payload.addParameter(QStringLiteral("ec"), data.category);
    payload.addParameter(QStringLiteral("ea"), data.action);
    if (data.label) payload.addParameter(QStringLiteral("el"), *data.label);
    return payload.data();
}

void BXGoogleAnalytics::send(BXGAEvent event)
{
    QString query = payloadFor(event);
    query += QStringLiteral("&z=") + QString::number(QRandomGenerator::global()->generate());
    const QUrl address(PromoSettings::webHost() + QLatin1String(kCollectPath) + QLatin1Char('?') + query,
                       QUrl::StrictMode);
    if (!address.isValid() || address.host().isEmpty()) {
        qCWarning(lcPromo, "analytics: no valid address for the hit, nothing sent");
        return;
    }
    m_fetch(address);
}

void BXGoogleAnalytics::fetchInBackground(const QUrl &address)
{
    // Qt carries HTTP requests on its own network thread; the reply deletes itself.
    if (!m_network) m_network = std::make_unique<QNetworkAccessManager>();
    QNetworkRequest request(address);
    request.setTransferTimeout(kTransferTimeoutMs);
    QNetworkReply *reply = m_network->get(request);
    ++m_inFlight;
    // The answer and any error are of no interest.
    QObject::connect(reply, &QNetworkReply::finished, reply, [this, reply]() {
        --m_inFlight;
        reply->deleteLater();
    });
}

} // namespace lurkel
