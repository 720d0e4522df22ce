#pragma once

#include "AdBasedOnSpotlightView.h"
#include "DuplicateFilesViewInfo.h"

#include <cstdint>
#include <optional>

namespace lurkel {

// The detail view of files kept more than once (view type 4).
class DuplicateFilesView final : public AdBasedOnSpotlightView {
    Q_OBJECT

public:
    explicit DuplicateFilesView(UrlOpener &urlOpener, QWidget *parent = nullptr);

    int getType() const override { return 4; }
    bool isCanShow() const override { return m_pInfo.has_value(); }
    void setInfo(std::optional<DuplicateFilesViewInfo> info) { m_pInfo = info; }
    const std::optional<DuplicateFilesViewInfo> &info() const { return m_pInfo; }
    // The size the overview shows for the category (0 without a result).
    std::uint64_t getDuplicatesSize() const;

protected:
    void fillLabels() override;

private:
    std::optional<DuplicateFilesViewInfo> m_pInfo;
};

} // namespace lurkel
