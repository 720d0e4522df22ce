#pragma once

#include "AdBasedOnSpotlightView.h"
#include "LargeAndOldFilesViewInfo.h"

#include <cstdint>
#include <optional>

namespace lurkel {

// The detail view of large files not used for 90 days (view type 3).
class LargeAndOldFilesView final : public AdBasedOnSpotlightView {
    Q_OBJECT

public:
    explicit LargeAndOldFilesView(UrlOpener &urlOpener, QWidget *parent = nullptr);

    int getType() const override { return 3; }
    bool isCanShow() const override { return m_pInfo.has_value(); }
    void setInfo(std::optional<LargeAndOldFilesViewInfo> info) { m_pInfo = info; }
    const std::optional<LargeAndOldFilesViewInfo> &info() const { return m_pInfo; }
    // The size the overview shows for the category (0 without a result).
    std::uint64_t getTotalLargeAndOldSize() const;

protected:
    void fillLabels() override;

private:
    std::optional<LargeAndOldFilesViewInfo> m_pInfo;
};

} // namespace lurkel
