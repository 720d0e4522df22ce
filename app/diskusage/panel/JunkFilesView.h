#pragma once

#include "AdBasedOnSpotlightView.h"
#include "JunkFilesViewInfo.h"

#include <cstdint>
#include <optional>

namespace lurkel {

// The detail view of the junk found: caches, downloads and the Trash not emptied (view type 1).
class JunkFilesView final : public AdBasedOnSpotlightView {
    Q_OBJECT

public:
    explicit JunkFilesView(UrlOpener &urlOpener, QWidget *parent = nullptr);

    int getType() const override { return 1; }
    bool isCanShow() const override { return m_pInfo.has_value(); }
    void setInfo(std::optional<JunkFilesViewInfo> info) { m_pInfo = info; }
    const std::optional<JunkFilesViewInfo> &info() const { return m_pInfo; }
    // The size the overview shows for the category (0 without a result).
    std::uint64_t getTotalJunkSize() const;

protected:
    void fillLabels() override;

private:
    std::optional<JunkFilesViewInfo> m_pInfo;
};

} // namespace lurkel
