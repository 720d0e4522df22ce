#pragma once

#include "NewsManager.h"
#include "PromoContentSource.h"
#include "PromoDialogServices.h"

#include <QSize>

#include <cstdint>
#include <memory>
#include <optional>

namespace lurkel {

class FreshChecker;
class NewsDialogWC;
class NewsManagerConfigurator;
class NewsManagerDelegate;

// The news: fresh when a downloaded news package (not the built-in page) is newer than
// the last version read. showAtPosition opens the popup (NewsDialogWC), marks its version
// read and posts NewsManager::NewsWasReadedNotificationName(); the news feed itself posts
// NewsHtmlChangedNotificationName() when a package arrives, and a visible popup then shows
// the new page.
//
// The feed is asked of the configurator the first time the news are needed.
// Main thread only.
class AbstractNewsManager final : public NewsManager {
public:
    static inline constexpr QSize kDefaultSize{400, 376};

    // configurator must outlive the manager.
    explicit AbstractNewsManager(NewsManagerConfigurator &configurator, PromoDialogServices services = {});
    ~AbstractNewsManager() override;
    AbstractNewsManager(const AbstractNewsManager &) = delete;
    AbstractNewsManager &operator=(const AbstractNewsManager &) = delete;

    // Not owned.
    void setDelegate(NewsManagerDelegate *delegate) { m_delegate = delegate; }

    bool hasFreshNews() const override;
    bool isNewsContentEmbedded() const override;
    QSize contentSize() const override;
    void showAtPosition(QPoint position, int anchor) override;
    bool isNewsDialogVisible() const override;
    void hideNewsDialog() override;

    // Fresh news that the delegate lets open without the user asking.
    bool canAutoShowNews() override;

    // The popup (nullptr until first shown).
    NewsDialogWC *dialog() const { return m_dialog.get(); }

private:
    HTMLContentData content() const;
    const PromoContentSource &source() const;

    NewsManagerConfigurator &m_configurator;
    PromoDialogServices m_services;
    NewsManagerDelegate *m_delegate = nullptr;
    mutable std::optional<PromoContentSource> m_source;
    mutable std::uint64_t m_observer = 0;
    std::unique_ptr<NewsDialogWC> m_dialog;
};

} // namespace lurkel
