#include "PromoSession.h"

#include "AbstractNewsManager.h"
#include "DesktopEntryLauncher.h"
#include "DesktopUrlOpener.h"
#include "MacToolsDialogWC.h"
#include "PromoManager.h"
#include "UserNotificationCenter.h"

#include <QObject>

namespace lurkel {

PromoSession::PromoSession(std::unique_ptr<UserNotificationCenter> notifications)
    : m_notifications(std::move(notifications))
{}

PromoSession::~PromoSession() = default;

PromoManagerServices PromoSession::services()
{
    PromoManagerServices services;
    services.urlOpener = &DesktopUrlOpener::shared();
    services.openApplication = [](const QString &id) { return DesktopEntryLauncher::launch(id); };
    services.postUserNotification = [this](const QString &title, const QString &body, const QVariantMap &userInfo) {
        m_notifications->post(title, body, userInfo);
    };
    services.makeNewsManager = [this](PromoManager &manager) -> std::unique_ptr<NewsManager> {
        m_manager = &manager;
        auto news = std::make_unique<AbstractNewsManager>(*this);
        news->setDelegate(this);
        return news;
    };
    services.showToolsWindow = [] { MacToolsDialogWC::sharedController().pleaseShowWindow(); };
    services.withFeeds = true;
    return services;
}

void PromoSession::attach(PromoManager &manager)
{
    m_manager = &manager;
    QObject::connect(m_notifications.get(), &UserNotificationCenter::activated, m_notifications.get(),
                     [&manager](const QVariantMap &userInfo, bool) { manager.processNotification(userInfo); });
}

void PromoSession::install()
{
    // Never destroyed: the manager, its windows and the bus may call on it while the
    // process ends.
    static PromoSession *session = new PromoSession(std::make_unique<UserNotificationCenter>());
    PromoManager::configure(session->services());
    MacToolsDialogWC::sharedController().setDelegate(session);
    session->attach(PromoManager::GetInstance());
}

PromoContentSource PromoSession::newsManagerCreateDownloder()
{
    return (m_manager != nullptr ? *m_manager : PromoManager::GetInstance()).newsContent();
}

FreshChecker &PromoSession::newsManagerFreshChecker()
{
    return (m_manager != nullptr ? *m_manager : PromoManager::GetInstance()).freshChecker();
}

bool PromoSession::canNewsBeAutoShown(AbstractNewsManager &)
{
    return true;
}

void PromoSession::newsWereShown(AbstractNewsManager &)
{
    // The popup floats above the panel by itself.
}

PromoContentSource PromoSession::toolsDialogWCDownloader(MacToolsDialogWC &)
{
    return (m_manager != nullptr ? *m_manager : PromoManager::GetInstance()).macToolsContent();
}

void PromoSession::toolsDialogWCWasPreseted(MacToolsDialogWC &) {}

void PromoSession::toolsDialogWCWillClose(MacToolsDialogWC &) {}

} // namespace lurkel
