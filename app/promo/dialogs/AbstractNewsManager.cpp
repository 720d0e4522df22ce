#include "AbstractNewsManager.h"

#include "FreshChecker.h"
#include "NewsDialogWC.h"
#include "NewsManagerConfigurator.h"
#include "NewsManagerDelegate.h"
#include "NotificationCenter.h"

namespace lurkel {

AbstractNewsManager::AbstractNewsManager(NewsManagerConfigurator &configurator, PromoDialogServices services)
    : m_configurator(configurator), m_services(services.resolved())
{}

AbstractNewsManager::~AbstractNewsManager()
{
    if (m_observer) m_services.notificationCenter->removeObserver(m_observer);
}

const PromoContentSource &AbstractNewsManager::source() const
{
    if (!m_source) {
        m_source = m_configurator.newsManagerCreateDownloder();
        if (!m_source->changedNotificationName.isEmpty()) {
            m_observer = m_services.notificationCenter->addObserver(m_source->changedNotificationName, {},
                                                                    [this](const Notification &) {
                                                                        if (m_dialog && m_dialog->isVisible())
                                                                            m_dialog->showContent(content());
                                                                    });
        }
    }
    return *m_source;
}

HTMLContentData AbstractNewsManager::content() const
{
    const PromoContentSource &feed = source();
    return feed.content ? feed.content() : HTMLContentData{};
}

bool AbstractNewsManager::hasFreshNews() const
{
    const HTMLContentData data = content();
    return !data.isEmbedded && m_configurator.newsManagerFreshChecker().isFresh(data.version);
}

bool AbstractNewsManager::isNewsContentEmbedded() const
{
    return content().isEmbedded;
}

QSize AbstractNewsManager::contentSize() const
{
    const QSize size = content().size;
    return size.isEmpty() ? kDefaultSize : size;
}

void AbstractNewsManager::showAtPosition(QPoint position, int /*anchor*/)
{
    const HTMLContentData data = content();
    if (!m_dialog) m_dialog = std::make_unique<NewsDialogWC>(*m_services.urlOpener);
    m_dialog->showAt(position, data.size.isEmpty() ? kDefaultSize : data.size, data);
    if (!data.isEmbedded) m_configurator.newsManagerFreshChecker().markAsRead(data.version);
    m_services.notificationCenter->post(NewsWasReadedNotificationName());
    if (m_delegate) m_delegate->newsWereShown(*this);
}

bool AbstractNewsManager::isNewsDialogVisible() const
{
    return m_dialog && m_dialog->isVisible();
}

void AbstractNewsManager::hideNewsDialog()
{
    if (m_dialog) m_dialog->hide();
}

bool AbstractNewsManager::canAutoShowNews()
{
    return hasFreshNews() && m_delegate && m_delegate->canNewsBeAutoShown(*this);
}

} // namespace lurkel
