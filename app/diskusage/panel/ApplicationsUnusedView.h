#pragma once

#include "AdBasedOnSpotlightView.h"
#include "ApplicationsUnusedViewInfo.h"

#include <cstdint>
#include <optional>

namespace lurkel {

// The detail view of the applications the user installed (view type 2).
class ApplicationsUnusedView final : public AdBasedOnSpotlightView {
    Q_OBJECT

public:
    explicit ApplicationsUnusedView(UrlOpener &urlOpener, QWidget *parent = nullptr);

    int getType() const override { return 2; }
    bool isCanShow() const override { return m_pInfo.has_value(); }
    void setInfo(std::optional<ApplicationsUnusedViewInfo> info) { m_pInfo = info; }
    const std::optional<ApplicationsUnusedViewInfo> &info() const { return m_pInfo; }
    // The size the overview shows for the category (0 without a result).
    std::uint64_t getTotalSize() const;

protected:
    void fillLabels() override;

private:
    std::optional<ApplicationsUnusedViewInfo> m_pInfo;
};

} // namespace lurkel
