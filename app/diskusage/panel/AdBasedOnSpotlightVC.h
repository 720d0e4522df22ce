#pragma once

#include "DiskFill.h"
#include "DiskUsageSection.h"
#include "SpotlightManagerDelegate.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QPropertyAnimation;

namespace lurkel {

class AdBasedOnSpotlightView;
class ApplicationsUnusedView;
class ClickableLabel;
class DiskUsageReview;
class DiskUsageSource;
class DuplicateFilesView;
class JunkFilesView;
class LargeAndOldFilesView;
class LevelIndicator;
class NotificationCenter;
class ProgressSpinner;
class SearchManager;
class SvgTrackingButton;
class UrlOpener;
class UserDefaults;

// What the section works with. Every member left empty means the process's own.
struct AdBasedOnSpotlightVCServices {
    DiskUsageSource *source = nullptr; // the process's SearcherManager
    UserDefaults *defaults = nullptr;
    NotificationCenter *notificationCenter = nullptr;
    UrlOpener *urlOpener = nullptr; // the desktop's browser
    DiskFill::StatVfs statVfs;      // ::statvfs
    // Where "Show Files" shows a category's files: this manager's results window.
    SearchManager *searchManager = nullptr;
    // "Show Files" of a detail view (its view type); by default DiskUsageReview.
    std::function<void(int viewType)> showFiles;
};

// The disk-usage section of the panel: how full "/" is, the four categories (junk,
// duplicates, large and old files, applications) with "..." and a spinner while their scans
// run and their sizes as they arrive, the total once all four are known, and a detail view
// per category that slides in over the overview.
//
// When the section becomes visible it asks for the results without forcing a scan: results
// younger than the rescan interval show at once, and a scan that is running goes on. Only
// the total (every category) and a category's size (that one) force a scan.
//
// The panel's states: 0 overview, 1 junk, 2 duplicates, 3 large and old, 4 applications; the
// last detail view opened is kept in "LastViewedSearchResults". Opening one slides it in
// over 1 s from the overview, at once from another detail view, and nothing opens while the
// scans run or a slide is under way. Main thread only.
class AdBasedOnSpotlightVC final : public DiskUsageSection {
    Q_OBJECT

public:
    static constexpr int kSlideMs = 1000;
    static QString showDetailedDiskUsagePressedNotificationName();
    static QString lastViewedSearchResultsKey();

    explicit AdBasedOnSpotlightVC(AdBasedOnSpotlightVCServices services = {}, QWidget *parent = nullptr);
    ~AdBasedOnSpotlightVC() override;

    void sectionDidAppear() override;
    // A full rescan: every category forced (the total's action).
    void rescan();
    void totalSizeLabelPressed() { rescan(); }
    // One category again (scan types 0, 3, 2, 1).
    void junkFilesSizeLabelPressed();
    void duplicatesSizeLabelPressed();
    void largeAndOldSizeLabelPressed();
    void unusedApplicationsSizeLabelPressed();
    // The category buttons: the detail views of states 1, 2, 3, 4.
    void showJunkFilesPressed();
    void showDuplicatesPressed();
    void showUnusedFilesPressed();
    void showApplicationsUnusedPressed();
    // "Review & Clean Up": the last detail view opened, else the first with a result.
    void detailsButtonPressed();
    void backButtonPressed();
    // Posts "showDetailedDiskUsagePressedNotification" (no object) on the centre.
    void showDetailedDiskUsagePressed();
    void showDetailedDiskUsagePressedBlueButton();
    void showView(AdBasedOnSpotlightView *view, unsigned state);
    // "Show Files" of a detail view.
    void showFilesPressed(int viewType);

    void setIsScanning(bool scanning);

    // The results, as the scan coordinator reports them.
    void onSpotlightManagerFoundJunkFilesInfo(const JunkFilesViewInfo &info);
    void onSpotlightManagerFoundDuplicatesInfo(const DuplicateFilesViewInfo &info);
    void onSpotlightManagerFoundLargetAndOldFilesInfo(const LargeAndOldFilesViewInfo &info);
    void onSpotlightManagerFoundApplicationsInfo(const ApplicationsUnusedViewInfo &info);

    // State and parts, for tests.
    unsigned state() const { return m_state; }
    bool isAnimating() const { return m_animating; }
    bool isScanning() const { return m_bIsScanning; }
    std::optional<float> diskFill() const { return m_diskFill; }
    QPropertyAnimation *slideAnimation() const { return m_slide; }
    QWidget *overallView() const { return m_overallView; }
    QWidget *integralStatisticView() const { return m_integralStatisticView; }
    QLabel *volumeLabel() const { return m_volumeLabel; }
    QLabel *hddUsedPercentageLabel() const { return m_hddUsedPecentageLabel; }
    LevelIndicator *hddLevelIndicator() const { return m_hddLevelIndicator; }
    ClickableLabel *totalSizeLabel() const { return m_overallTotalSizeLabel; }
    QLabel *totalSizeSubLabel() const { return m_overallTotalSizeSubLabel; }
    ProgressSpinner *progressIndicator() const { return m_pTotalSizeProgressIndicator; }
    SvgTrackingButton *detailsButton() const { return m_overallDetailsButton; }
    // By panel state 1-4: the category's button and its size label.
    ClickableLabel *categoryButton(unsigned state) const;
    ClickableLabel *sizeLabel(unsigned state) const;
    AdBasedOnSpotlightView *viewForState(unsigned state) const;
    JunkFilesView *junkFilesView() const { return m_pJunkFilesView; }
    DuplicateFilesView *duplicatesView() const { return m_pDuplicatesFilesView; }
    LargeAndOldFilesView *largeAndOldView() const { return m_pLargerAndOldFilesView; }
    ApplicationsUnusedView *applicationsView() const { return m_pApplicationsUnusedView; }

private:
    class DelegateBridge;

    void buildOverview();
    void setLabelsActions();
    void setUpHddLevelIndicator();
    void startSearch(bool forced);
    void rescanCategory(unsigned state);
    void resetLabel(ClickableLabel *label);
    void updateOverallViewContent();
    void finishSlide(const std::function<void()> &done);

    DiskUsageSource *m_source;
    std::unique_ptr<DiskUsageSource> m_ownSource;
    UserDefaults &m_defaults;
    NotificationCenter &m_center;
    UrlOpener &m_urlOpener;
    DiskFill::StatVfs m_statVfs;
    SearchManager *m_searchManager;
    std::function<void(int)> m_showFiles;
    std::unique_ptr<DiskUsageReview> m_review;
    std::shared_ptr<DelegateBridge> m_delegate;

    unsigned m_state = 0;
    bool m_animating = false;
    bool m_bIsScanning = false;
    // The "show detailed disk usage" button's state (set once it has been pressed).
    bool m_detailedDiskUsageShown = false;
    std::optional<float> m_diskFill;

    QWidget *m_overallView = nullptr;
    QWidget *m_integralStatisticView = nullptr;
    QLabel *m_volumeLabel = nullptr;
    QLabel *m_hddUsedPecentageLabel = nullptr;
    LevelIndicator *m_hddLevelIndicator = nullptr;
    ClickableLabel *m_overallTotalSizeLabel = nullptr;
    QLabel *m_overallTotalSizeSubLabel = nullptr;
    ProgressSpinner *m_pTotalSizeProgressIndicator = nullptr;
    // By state - 1: junk, duplicates, large and old, applications.
    std::array<ClickableLabel *, 4> m_categoryButtons{};
    std::array<ClickableLabel *, 4> m_sizeLabels{};
    SvgTrackingButton *m_overallDetailsButton = nullptr;
    JunkFilesView *m_pJunkFilesView = nullptr;
    DuplicateFilesView *m_pDuplicatesFilesView = nullptr;
    LargeAndOldFilesView *m_pLargerAndOldFilesView = nullptr;
    ApplicationsUnusedView *m_pApplicationsUnusedView = nullptr;
    QPropertyAnimation *m_slide = nullptr;
    std::function<void()> m_slideDone;
};

} // namespace lurkel
