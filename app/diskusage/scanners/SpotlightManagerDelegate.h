#pragma once

#include "ApplicationsUnusedViewInfo.h"
#include "DuplicateFilesViewInfo.h"
#include "JunkFilesViewInfo.h"
#include "LargeAndOldFilesViewInfo.h"

namespace lurkel {

// Who shows the disk-usage figures (the panel). Called on the main thread.
class SpotlightManagerDelegate {
public:
    virtual ~SpotlightManagerDelegate() = default;
    virtual void onSpotlightManagerFoundJunkFilesInfo(const JunkFilesViewInfo &info) = 0;
    virtual void onSpotlightManagerFoundDuplicatesInfo(const DuplicateFilesViewInfo &info) = 0;
    virtual void onSpotlightManagerFoundLargetAndOldFilesInfo(const LargeAndOldFilesViewInfo &info) = 0;
    virtual void onSpotlightManagerFoundApplicationsInfo(const ApplicationsUnusedViewInfo &info) = 0;
};

} // namespace lurkel
