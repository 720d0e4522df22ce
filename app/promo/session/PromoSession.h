#pragma once

#include "MacToolsDialogWCDelegate.h"
#include "NewsManagerConfigurator.h"
#include "NewsManagerDelegate.h"
#include "PromoManager.h"

#include <memory>

namespace lurkel {

class UserNotificationCenter;

// The promotion manager in the running application: its news popup and tools page, the
// desktop's notifications (a click comes back to PromoManager::processNotification), the
// desktop's browser, applications started by desktop entry, and the maker's feeds.
//
// install() before the first PromoManager::GetInstance(); the session then lives as long as
// the process. Main thread only.
class PromoSession final : public NewsManagerConfigurator, public NewsManagerDelegate, public MacToolsDialogWCDelegate {
public:
    // Makes the process's session on the session bus, configures the process's promotion
    // manager with it and creates the manager.
    static void install();

    explicit PromoSession(std::unique_ptr<UserNotificationCenter> notifications);
    ~PromoSession() override;
    // What the promotion manager gets from the desktop: the browser, applications by desktop
    // entry, these notifications, the news popup, the tools page, the feeds. Callers may
    // replace members (tests).
    PromoManagerServices services();
    // The manager this session serves: its news manager's feed, and the clicks on this
    // session's notifications (processNotification).
    void attach(PromoManager &manager);
    UserNotificationCenter &notifications() const { return *m_notifications; }

    PromoSession(const PromoSession &) = delete;
    PromoSession &operator=(const PromoSession &) = delete;

    // NewsManagerConfigurator
    PromoContentSource newsManagerCreateDownloder() override;
    FreshChecker &newsManagerFreshChecker() override;
    // NewsManagerDelegate
    bool canNewsBeAutoShown(AbstractNewsManager &manager) override;
    void newsWereShown(AbstractNewsManager &manager) override;
    // MacToolsDialogWCDelegate
    PromoContentSource toolsDialogWCDownloader(MacToolsDialogWC &dialog) override;
    void toolsDialogWCWasPreseted(MacToolsDialogWC &dialog) override;
    void toolsDialogWCWillClose(MacToolsDialogWC &dialog) override;

private:
    PromoManager *m_manager = nullptr; // set when the manager makes its news manager
    std::unique_ptr<UserNotificationCenter> m_notifications;
};

} // namespace lurkel
