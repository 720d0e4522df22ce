#include "SearcherManagerSource.h"

#include "SearcherManager.h"

namespace lurkel {

SearcherManagerSource::SearcherManagerSource(std::shared_ptr<SearcherManager> manager)
    : m_manager(manager ? std::move(manager) : SearcherManager::sharedManager())
{}

void SearcherManagerSource::startSearchWithDelegate(std::weak_ptr<SpotlightManagerDelegate> delegate, bool forced)
{
    m_manager->startSearchWithDelegate(std::move(delegate), forced);
}

void SearcherManagerSource::startSearchForType(int scanType)
{
    m_manager->startSearchForType(scanType);
}

std::optional<QVariantMap> SearcherManagerSource::resultForType(int scanType) const
{
    return m_manager->resultForType(scanType);
}

} // namespace lurkel
