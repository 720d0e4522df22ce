#pragma once

#include "Clock.h"
#include "MainQueue.h"
#include "MemoryInfoPanel.h"
#include "NamedColors.h"
#include "PanelLockState.h"
#include "PanelPlacement.h"
#include "PromoContentSource.h"
#include "Settings.h"
#include "StatusItemPositionWait.h"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QAbstractButton;
class QLabel;
class QLineEdit;
class QVariantAnimation;

namespace lurkel {

class CleanMemoryButton;
class DiskUsageSection;
class ClickableLabel;
class FramelessWindowChrome;
class HiddenManager;
class LevelIndicator;
class LinkButton;
class AdsDialogWC;
class NewsManager;
class UrlOpener;
class NotificationCenter;
class OnOffSwitch;
class PanelView;
class PanelWindowInfoLabel;
class SearchManager;
class SearchResultWindowInterface;
class TrackingButton;
class UserDefaults;

// What the panel works with. Every member left empty means the process's own: the shared
// hidden manager and search manager, the standard defaults, the default notification
// centre, the process's clock, and "the application is active" as Qt tells it.
struct PanelWindowServices {
    HiddenManager *hiddenManager = nullptr;
    SearchManager *searchManager = nullptr;
    UserDefaults *defaults = nullptr;
    NotificationCenter *notificationCenter = nullptr;
    Clock *clock = nullptr;
    std::function<bool()> isApplicationActive;
    // Makes the disk-usage section (parented to the given widget); without it the panel has
    // none and expands to the memory section only.
    std::function<DiskUsageSection *(QWidget *parent)> diskUsageSection;
    // The news (empty: the promotion manager's).
    std::function<NewsManager *()> newsManager;
    // The advertisement page (empty: the promotion manager's) and where its links go
    // (nullptr: the desktop's browser).
    std::function<PromoContentSource()> adsContent;
    UrlOpener *urlOpener = nullptr;
};

// The main panel under the tray icon: the application's name, the switch that shows or
// hides hidden files in the file manager, the search field, and behind the disclosure the
// memory section (used-memory percentage, level bar, subtitle, clean-memory button).
//
// A frameless window that floats above the others on every workspace. Locked (attached,
// the default) it opens under the tray icon with a triangle pointing at it and closes when
// the application loses the focus; dragged away it is detached: no triangle, it stays
// where it was put, and it is shown there again at the next start. The lock and the
// position are stored in the settings ("main_window:state:lock", "main_window:state:x/y").
//
// Window states: 3 compact (at creation), 4 after any disclosure action (expanded or
// collapsed, remembered in "PanelWindowSateIsDetailed"), 2 and 1 with and without the
// promotion window. With a disk-usage section (PanelWindowServices::diskUsageSection) the
// expanded panel shows it below the memory section, created on the first expansion; without
// one the panel behaves as with shouldDiskUsageBeShown() false. The promotion window floats
// under the panel while it is open and not expanded; with an advertisement page the last
// expanded state is restored at creation.
//
// Main thread only.
class PanelWindow : public QWidget, public MemoryInfoPanel {
    Q_OBJECT

public:
    static constexpr int kWidth = 250;
    static constexpr int kMainViewHeight = 155;
    static constexpr int kExtraHeightWithDiskUsage = 384;
    static constexpr int kExtraHeightWithoutDiskUsage = 134;
    // The memory section's distance from the container's bottom with the disk-usage
    // section shown (which fills the rest below it).
    static constexpr int kMemorySectionOffsetWithDiskUsage = 250;
    static constexpr int kSearchFieldY = 45; // from the main view's bottom to the field's bottom
    static constexpr std::int64_t kSearchStartDelayMs = 100;
    // How long a notice (a failed switch, a refused search) stays unless clicked away.
    static constexpr std::int64_t kNoticeMs = 15000;
    static constexpr std::int64_t kCleanedSubtitleMs = 30000;
    static constexpr int kDefaultResizeAnimationMs = 200;

    enum WindowState : int {
        WindowStateWithoutPromotion = 1,
        WindowStateWithPromotion = 2,
        WindowStateCompact = 3,
        WindowStateDetailedOrCollapsed = 4,
    };

    // What the subtitle line shows (its tag).
    enum SubtitleTag : int { SubtitleUsedSize = 1, SubtitleCleanedSize = 2 };

    // "PanelWindowDidBecomeActiveNotification", posted on the local centre whenever the
    // panel becomes the active window.
    static QString PanelWindowDidBecomeActiveNotification();

    explicit PanelWindow(PanelWindowServices services = {}, QWidget *parent = nullptr);
    ~PanelWindow() override;

    // ---- The main controller.

    // A click on the tray icon. anchor tells where the icon is (asked again while the
    // placement waits for a tray that has not placed the icon yet). An open locked panel
    // closes when canBeClosed; an open detached one closes and opens again attached; a
    // closed one opens (under the icon when locked). trayClick: the user clicked the icon
    // (false: the panel was asked for, which opens it even right after a focus-loss close).
    void processActionOfStatusItem(StatusItemPositionWait::Source anchor, bool canBeClosed, bool trayClick = true);
    // A detached panel opens again at its stored place (kept on the screen).
    void showWindowIfNotLocked();
    // The same without opening it: a detached panel is moved to its stored place, where the
    // next request opens it (false when locked: it opens under the icon).
    bool restoreDetachedPlace();
    // Shows the application's display name.
    void updateWindowFrameAndItems();
    // Raises the open panel and gives it the focus, in the search field.
    void makeKeyAndOrderFront();
    void updateContentData() {}
    void appWillTerminate() {}
    void onClickOnInfoStatusLabel() {}

    // The results window's confirmation of a new search; not owned, may be nullptr.
    void setSearchResultWindow(SearchResultWindowInterface *window) { m_searchResultWindow = window; }

    CleanMemoryButton *cleanMemoryButton() const { return m_pBtnFree; }
    QAbstractButton *preferencesButton() const;
    // The news button, left of the settings button.
    QAbstractButton *newsButton() const;
    // Unread news: the settings button wears a badge and the news button is highlighted.
    void setHasFreshNews(bool fresh);
    bool hasFreshNews() const { return m_hasFreshNews; }

    // ---- Lock and position.

    bool isLocked() const { return m_lock.isLocked(); }
    void setLocked(bool locked);
    // Stores the lock and shows the triangle exactly when locked.
    void showTriangle(bool locked);
    void closeAndMakeItLocked();
    void closeButtonPressed();
    // The user has started dragging the panel: it is detached now.
    void positionDidChanged();

    // ---- States, disclosure, sections.

    int windowState() const { return m_windowState; }
    void changeWindowStateTo(int state, bool animated);
    // The disclosure button's state: 1 expanded, 0 collapsed.
    int disclosureState() const { return m_disclosureState; }
    void openDetailedModeButtonPressed();
    void expandDisclosureButton();
    bool isResizeAnimationRunning() const;
    // How long the resize takes when animated (0: at once).
    void setResizeAnimationDuration(int ms);
    // The height the panel has in its present state.
    int windowHeight() const;
    bool shouldDiskUsageBeShown() const { return m_shouldDiskUsageBeShown; }
    void setShouldDiskUsageBeShown(bool shown);
    void setIsAdEnabled(bool enabled);
    // The promotion window beside the panel: shown while the panel is open and not
    // expanded, when an advertisement page is there and the user has not closed it.
    bool isCanShowAds() const;
    void showAdsDialog();
    void hideAdsDialog();
    // A new advertisement page has arrived.
    void adPackageWasLoaded();
    AdsDialogWC *adsDialog() const { return m_adsDialog.get(); }
    bool isMemorySectionShown() const;

    // ---- Hidden files, search, memory.

    void updateIsHiddenShown();
    void showHiddenControlChanged();
    // The search field's text was committed (Return).
    void searchFieldEditingEnded();
    void subtitleLabelClicked();
    int subtitleTag() const;
    QString subtitleText() const;

    // MemoryInfoPanel
    bool shouldUpdateTrackedSystemInfo() const override;
    void fillInfoPanelWithUsedMemoryPercent(const UsedMemory &usage) override;
    void fillLastCleanedLabelWithSize(const LastCleaned &lastCleaned) override;
    void onPurgedMemory() override;

    // The parts, for the controller's wiring and for tests.
    OnOffSwitch *showHiddenControl() const { return m_showHiddenControl; }
    QLineEdit *searchBar() const { return m_searchBar; }
    // What failed, said under the search field (over the disclosure row) for kNoticeMs or
    // until clicked; empty hides it.
    void showNotice(const QString &text);
    ClickableLabel *noticeLabel() const { return m_noticeLabel; }
    LevelIndicator *memoryLevelIndicator() const { return m_memoryLevelIndicator; }
    PanelWindowInfoLabel *subtitleLabel() const { return m_pInfoSubtitleLastUsedMemorySize; }
    PanelView *panelView() const { return m_panelView; }
    FramelessWindowChrome *chrome() const { return m_chrome; }
    QAbstractButton *disclosureButton() const;
    // The disk-usage section once made (nullptr before the first expansion or without one).
    DiskUsageSection *diskUsageSection() const { return m_adBasedOnSpotlightVC; }

Q_SIGNALS:
    // The settings button was pressed: the controller shows its menu under it.
    void preferencesButtonPressed();
    // The news button was pressed: the controller shows the news under it.
    void newsButtonPressed();
    // The clean-memory button was pressed: the controller starts a purge.
    void cleanMemoryButtonPressed();
    // The panel is closing (the controller's window-will-close).
    void panelWillClose();
    // The user closed the panel with its close button (not a close because the
    // application lost the focus).
    void panelClosedByUser();

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildContent();
    void applyTheme();
    void showWindowIfPosible(const StatusItemAnchor &anchor);
    void presentWindow();
    void windowDidResignKey();
    bool isApplicationActive() const;
    bool hasSheet() const;
    void setDisclosureState(int state);
    void updateWindowHeight(bool animated, std::function<void()> completion);
    void setPanelHeight(int height);
    void addMemorySection();
    void removeMemorySection();
    void showDiskUsageSection();
    void layoutContainer();
    void updateSearchFieldFrame();
    void showSubtitle(const QString &text, NamedColor color, int tag);
    void startSearchStep(const QString &text);
    NewsManager *newsManager() const;
    QPoint adsDialogPosition() const;
    void moveAdsDialog();

    HiddenManager &m_hidden;
    SearchManager &m_search;
    Settings m_settings;
    NotificationCenter &m_center;
    Clock &m_clock;
    std::function<bool()> m_isApplicationActive;
    std::function<DiskUsageSection *(QWidget *parent)> m_makeDiskUsageSection;
    std::function<NewsManager *()> m_newsManager;
    SearchResultWindowInterface *m_searchResultWindow = nullptr;

    PanelLockState m_lock;
    StatusItemPositionWait m_positionWait;
    DelayedCall m_showRequest;
    DelayedCall m_searchStart;
    DelayedCall m_subtitleReturn;
    DelayedCall m_noticeEnd;
    std::optional<PanelPlacement::Result> m_lastPlacement;
    bool m_growsUpward = false;

    int m_windowState = WindowStateCompact;
    int m_disclosureState = 0;
    bool m_shouldDiskUsageBeShown = false;
    std::unique_ptr<AdsDialogWC> m_adsDialog;
    PromoContentSource m_adsContent;
    QVariantAnimation *m_resizeAnimation = nullptr;
    std::function<void()> m_resizeCompletion;
    int m_resizeAnimationMs = kDefaultResizeAnimationMs;

    FramelessWindowChrome *m_chrome = nullptr;
    PanelView *m_panelView = nullptr;
    TrackingButton *m_closeButton = nullptr;
    TrackingButton *m_preferencesButton = nullptr;
    TrackingButton *m_newsButton = nullptr;
    bool m_hasFreshNews = false;
    QLabel *appNameLabel = nullptr;
    QLabel *showHiddenFilesLabel = nullptr;
    OnOffSwitch *m_showHiddenControl = nullptr;
    QLineEdit *m_searchBar = nullptr;
    TrackingButton *openDetailedViewButton = nullptr;
    LinkButton *openDetailedViewButtonTitle = nullptr;
    QWidget *wndInfoContentView = nullptr;
    QWidget *memoryUsageView = nullptr;
    QLabel *memoryUsageTitle = nullptr;
    QLabel *m_pInfoTitleLabel = nullptr;
    LevelIndicator *m_memoryLevelIndicator = nullptr;
    PanelWindowInfoLabel *m_pInfoSubtitleLastUsedMemorySize = nullptr;
    ClickableLabel *m_noticeLabel = nullptr;
    QLabel *m_cleanedSizeLabel = nullptr;
    CleanMemoryButton *m_pBtnFree = nullptr;
    DiskUsageSection *m_adBasedOnSpotlightVC = nullptr;
    QString m_pInfoUsedSizeString;
    QString m_pInfoCleanedSizeString;
};

} // namespace lurkel
