#pragma once

#include "DiskUsageSource.h"

namespace lurkel {

class SearcherManager;

// The disk-usage section's figures from a SearcherManager (the process's own by default).
class SearcherManagerSource final : public DiskUsageSource {
public:
    explicit SearcherManagerSource(std::shared_ptr<SearcherManager> manager = nullptr);

    void startSearchWithDelegate(std::weak_ptr<SpotlightManagerDelegate> delegate, bool forced) override;
    void startSearchForType(int scanType) override;
    std::optional<QVariantMap> resultForType(int scanType) const override;

private:
    std::shared_ptr<SearcherManager> m_manager;
};

} // namespace lurkel
