#include "PanelWindow.h"
#include "DesktopAnchor.h"
#include "DiskUsageSection.h"
#include "MessageNames.h"
#include "SearchFolder.h"

#include "AdsDialogWC.h"
#include "CleanMemoryButton.h"
#include "ClickableLabel.h"
#include "FramelessWindowChrome.h"
#include "HiddenManager.h"
#include "Identity.h"
#include "LevelIndicator.h"
#include "LinkButton.h"
#include "NewsManager.h"
#include "NotificationCenter.h"
#include "OnOffSwitch.h"
#include "PanelImages.h"
#include "PanelView.h"
#include "PanelWindowInfoLabel.h"
#include "PanelWindowStrings.h"
#include "PromoDialogServices.h"
#include "PromoManager.h"
#include "PromoWindowPlacement.h"
#include "ScriptsManager.h"
#include "SearchManager.h"
#include "SearchResultWindowInterface.h"
#include "SettingsKeys.h"
#include "TrackingButton.h"
#include "UiImages.h"
#include "UserDefaults.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QScreen>
#include <QVariantAnimation>

#include <algorithm>

namespace lurkel {
namespace {

namespace Keys = SettingsKeys;

// Layout of the main view (panel coordinates).
constexpr int kMargin = 14;
constexpr int kSearchFieldHeight = 24;
constexpr int kDisclosureTop = 124;
// Between the search field and a notice, and under a notice that makes the panel taller.
constexpr int kNoticeMargin = 4;
// The memory section's own height and layout (section coordinates).
constexpr int kMemorySectionHeight = PanelWindow::kExtraHeightWithoutDiskUsage;

QFont pixelFont(int pixels, QFont::Weight weight = QFont::Normal)
{
    QFont font = QGuiApplication::font();
    font.setPixelSize(pixels);
    font.setWeight(weight);
    return font;
}

} // namespace

QString PanelWindow::PanelWindowDidBecomeActiveNotification()
{
    return QString::fromLatin1(MessageNames::kPanelWindowDidBecomeActive);
}

PanelWindow::PanelWindow(PanelWindowServices services, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_hidden(services.hiddenManager != nullptr ? *services.hiddenManager : HiddenManager::sharedManager()),
      m_search(services.searchManager != nullptr ? *services.searchManager : SearchManager::sharedManager()),
      m_settings(services.defaults != nullptr ? Settings(*services.defaults) : Settings()),
      m_center(services.notificationCenter != nullptr ? *services.notificationCenter
                                                      : NotificationCenter::defaultCenter()),
      m_clock(services.clock != nullptr ? *services.clock : Clock::instance()),
      m_isApplicationActive(std::move(services.isApplicationActive)),
      m_makeDiskUsageSection(std::move(services.diskUsageSection)), m_newsManager(std::move(services.newsManager)),
      m_lock(m_settings.isWindowLocked()), m_positionWait(m_clock),
      m_shouldDiskUsageBeShown(static_cast<bool>(m_makeDiskUsageSection))
{
    initPanelResources();
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QString::fromLatin1(Identity::kBundleDisplayName));
    buildContent();

    // Load.
    updateIsHiddenShown();
    m_center.addObserver(
        HiddenManager::stateUpdateNotificationName(), m_hidden.notificationObject(),
        [this](const Notification &) { updateIsHiddenShown(); }, this);
    m_center.addObserver(
        HiddenManager::switchFailedNotificationName(), m_hidden.notificationObject(),
        [this](const Notification &note) {
            updateIsHiddenShown();
            showNotice(note.userInfo.value(QStringLiteral("description")).toString());
        },
        this);
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state != Qt::ApplicationActive) windowDidResignKey();
    });

    m_chrome = new FramelessWindowChrome(this);
    m_chrome->setOnAllWorkspaces(true);
    connect(m_chrome, &FramelessWindowChrome::dragStarted, this, &PanelWindow::positionDidChanged);
    connect(m_chrome, &FramelessWindowChrome::dragFinished, this,
            [this](QPoint) { m_settings.saveWindowFramePosition(QRectF(frameGeometry())); });
    connect(m_panelView, &PanelView::outlineChanged, this, [this] { m_chrome->setOutline(m_panelView->outline()); });

    m_resizeAnimation = new QVariantAnimation(this);
    m_resizeAnimation->setEasingCurve(QEasingCurve::InOutCubic);
    connect(m_resizeAnimation, &QVariantAnimation::valueChanged, this,
            [this](const QVariant &value) { setPanelHeight(value.toInt()); });
    connect(m_resizeAnimation, &QVariantAnimation::finished, this, [this] {
        std::function<void()> completion = std::move(m_resizeCompletion);
        m_resizeCompletion = nullptr;
        if (completion) completion();
    });

    changeWindowStateTo(WindowStateCompact, false);
    showTriangle(m_lock.isLocked());
    m_panelView->setControllerWindow(this);
    m_memoryLevelIndicator->setFillColor(
        QColor::fromRgbF(0.9568627450980393f, 0.7254901960784313f, 0.27450980392156865f, 1.0f));

    // The subtitle line: disabled and without tracking until a purge has freed something.
    m_pInfoSubtitleLastUsedMemorySize->setDrawsDisabled(true);
    m_pInfoSubtitleLastUsedMemorySize->setTrackingEnabled(false);
    m_pInfoSubtitleLastUsedMemorySize->setTag(SubtitleUsedSize);
    connect(m_pInfoSubtitleLastUsedMemorySize, &ClickableLabel::clicked, this, &PanelWindow::subtitleLabelClicked);

    // The promotion window; the detailed state is restored when there is an advertisement.
    PromoDialogServices adsServices;
    adsServices.defaults = &m_settings.defaults();
    adsServices.notificationCenter = &m_center;
    adsServices.urlOpener = services.urlOpener;
    m_adsContent = services.adsContent ? services.adsContent() : PromoManager::GetInstance().adsContent();
    m_adsDialog = std::make_unique<AdsDialogWC>(m_adsContent, adsServices);
    m_center.addObserver(
        m_adsContent.changedNotificationName.isEmpty() ? AdsDialogWC::adsDialogHtmlChangedNotificationName()
                                                       : m_adsContent.changedNotificationName,
        {},
        [this](const Notification &) {
            MainQueue::async([self = QPointer<PanelWindow>(this)] {
                if (self) self->adPackageWasLoaded();
            });
        },
        this);
    if (isCanShowAds() && m_settings.getBoolValueForKeyWithDefaultValue(Keys::kPanelWindowStateIsDetailed, true))
        expandDisclosureButton();

    m_searchBar->setPlaceholderText(PanelWindowStrings::hiddenFilesSearchFieldTitle());
    showHiddenFilesLabel->setText(PanelWindowStrings::switcherHiddenFilesVisibilityTitle());
    memoryUsageTitle->setText(PanelWindowStrings::memoryUsage());
    m_pBtnFree->setTitle(PanelWindowStrings::cleanButtonStateReadyForCleanUp());
    openDetailedViewButtonTitle->setText(PanelWindowStrings::expandSystemUsageButton());
    // What screen readers announce for the controls that show a picture, or whose title
    // stands beside them.
    m_closeButton->setAccessibleName(tr("Close"));
    m_preferencesButton->setAccessibleName(tr("Preferences"));
    m_preferencesButton->setToolTip(tr("Preferences"));
    m_newsButton->setAccessibleName(tr("News"));
    m_newsButton->setToolTip(tr("News"));
    showHiddenFilesLabel->setBuddy(m_showHiddenControl);
    m_searchBar->setAccessibleName(PanelWindowStrings::hiddenFilesSearchFieldTitle());
    openDetailedViewButton->setAccessibleName(PanelWindowStrings::expandSystemUsageButton());
    updateWindowFrameAndItems();
    applyTheme();
}

PanelWindow::~PanelWindow()
{
    m_showRequest.cancel();
    m_searchStart.cancel();
    m_subtitleReturn.cancel();
    m_noticeEnd.cancel();
}

void PanelWindow::buildContent()
{
    m_panelView = new PanelView(this);

    // Title band: close, name, settings.
    const int titleTop = PanelView::kTitleBandTop;
    m_closeButton = new TrackingButton(QStringLiteral("close"), QStringLiteral("close_hover"),
                                       QStringLiteral("close_click"), m_panelView);
    m_closeButton->setImageSize(QSize(14, 14));
    m_closeButton->setGeometry(8, titleTop + 6, 18, 18);
    m_closeButton->setToolTip(tr("Close"));
    connect(m_closeButton, &QAbstractButton::clicked, this, &PanelWindow::closeButtonPressed);

    appNameLabel = new QLabel(m_panelView);
    appNameLabel->setAlignment(Qt::AlignCenter);
    appNameLabel->setFont(pixelFont(13, QFont::DemiBold));
    appNameLabel->setGeometry(56, titleTop, kWidth - 112, PanelView::kTitleBandHeight);

    m_preferencesButton = new TrackingButton(QStringLiteral("settings"), QStringLiteral("settings_hover"),
                                             QStringLiteral("settings_click"), m_panelView);
    m_preferencesButton->setImageSize(QSize(16, 16));
    m_preferencesButton->setGeometry(kWidth - 8 - 20, titleTop + 5, 20, 20);
    connect(m_preferencesButton, &QAbstractButton::clicked, this, &PanelWindow::preferencesButtonPressed);
    m_newsButton = new TrackingButton(m_panelView);
    m_newsButton->setImageSize(QSize(14, 14));
    m_newsButton->setGeometry(kWidth - 8 - 20 - 24, titleTop + 5, 20, 20);
    connect(m_newsButton, &QAbstractButton::clicked, this, &PanelWindow::newsButtonPressed);
    setHasFreshNews(false);

    // The switch band.
    showHiddenFilesLabel = new QLabel(m_panelView);
    showHiddenFilesLabel->setFont(pixelFont(13));
    showHiddenFilesLabel->setGeometry(kMargin, PanelView::kSwitchBandTop, 170, PanelView::kSwitchBandHeight);
    m_showHiddenControl = new OnOffSwitch(m_panelView);
    const QSize switchSize = m_showHiddenControl->sizeHint();
    m_showHiddenControl->setGeometry(kWidth - kMargin - switchSize.width(),
                                     PanelView::kSwitchBandTop +
                                         (PanelView::kSwitchBandHeight - switchSize.height()) / 2,
                                     switchSize.width(), switchSize.height());
    connect(m_showHiddenControl, &QAbstractButton::clicked, this, &PanelWindow::showHiddenControlChanged);

    // The search field.
    m_searchBar = new QLineEdit(m_panelView);
    m_searchBar->setObjectName(QStringLiteral("searchBar"));
    m_searchBar->setClearButtonEnabled(true);
    m_searchBar->addAction(UiImages::icon(QStringLiteral("search")), QLineEdit::LeadingPosition);
    m_searchBar->setFont(pixelFont(13));
    connect(m_searchBar, &QLineEdit::returnPressed, this, &PanelWindow::searchFieldEditingEnded);

    // The notice line over the disclosure row, in front of it while shown.
    m_noticeLabel = new ClickableLabel(m_panelView);
    m_noticeLabel->setObjectName(QStringLiteral("notice"));
    m_noticeLabel->setWordWrap(true);
    m_noticeLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_noticeLabel->setFont(pixelFont(11));
    m_noticeLabel->setAutoFillBackground(true);
    m_noticeLabel->setTextColor(QColor(0xb0, 0x2a, 0x1e));
    m_noticeLabel->hide();
    connect(m_noticeLabel, &ClickableLabel::clicked, this, [this] { showNotice({}); });

    // The disclosure of the memory section.
    openDetailedViewButton =
        new TrackingButton(QStringLiteral("disclosure"), QStringLiteral("disclosure_hover"), {}, m_panelView);
    openDetailedViewButton->setImageSize(QSize(14, 14));
    openDetailedViewButton->setGeometry(kMargin - 4, kDisclosureTop + 2, 18, 18);
    openDetailedViewButtonTitle = new LinkButton(m_panelView);
    openDetailedViewButtonTitle->setTitleColor(NamedColor::SecondaryText);
    openDetailedViewButtonTitle->setFont(pixelFont(12, QFont::DemiBold));
    openDetailedViewButtonTitle->setGeometry(kMargin + 16, kDisclosureTop, 150, 22);
    const auto disclosureClicked = [this] {
        // The button's own state flips with the click, then the action runs.
        setDisclosureState(m_disclosureState == 0 ? 1 : 0);
        openDetailedModeButtonPressed();
    };
    connect(openDetailedViewButton, &QAbstractButton::clicked, this, disclosureClicked);
    connect(openDetailedViewButtonTitle, &QAbstractButton::clicked, this, disclosureClicked);

    // The container below the main view, with the memory section.
    wndInfoContentView = new QWidget(m_panelView);
    memoryUsageView = new QWidget(wndInfoContentView);
    memoryUsageView->setGeometry(0, 0, kWidth, kMemorySectionHeight);
    memoryUsageTitle = new QLabel(memoryUsageView);
    memoryUsageTitle->setFont(pixelFont(13, QFont::DemiBold));
    memoryUsageTitle->setGeometry(kMargin, 10, 130, 22);
    m_pInfoTitleLabel = new QLabel(memoryUsageView);
    m_pInfoTitleLabel->setFont(pixelFont(17, QFont::DemiBold));
    m_pInfoTitleLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_pInfoTitleLabel->setGeometry(kWidth - kMargin - 90, 9, 90, 24);
    m_memoryLevelIndicator = new LevelIndicator(memoryUsageView);
    m_memoryLevelIndicator->setGeometry(kMargin, 38, kWidth - 2 * kMargin, 10);
    m_pInfoSubtitleLastUsedMemorySize = new PanelWindowInfoLabel(memoryUsageView);
    m_pInfoSubtitleLastUsedMemorySize->setGeometry(kMargin, 52, kWidth - 2 * kMargin, 20);
    m_pInfoSubtitleLastUsedMemorySize->setOnClick([this] { onClickOnInfoStatusLabel(); });
    m_pBtnFree = new CleanMemoryButton(memoryUsageView);
    const QSize buttonSize = m_pBtnFree->sizeHint();
    m_pBtnFree->setGeometry((kWidth - buttonSize.width()) / 2, 80, buttonSize.width(), buttonSize.height());
    connect(m_pBtnFree, &QAbstractButton::clicked, this, &PanelWindow::cleanMemoryButtonPressed);
    m_cleanedSizeLabel = new QLabel(memoryUsageView);
    m_cleanedSizeLabel->setFont(pixelFont(11));
    m_cleanedSizeLabel->setAlignment(Qt::AlignCenter);
    // From the button to the section's bottom: room for the longer outcome on two lines.
    m_cleanedSizeLabel->setWordWrap(true);
    const int cleanedTop = 80 + buttonSize.height() - 1;
    m_cleanedSizeLabel->setGeometry(kMargin, cleanedTop, kWidth - 2 * kMargin, kMemorySectionHeight - cleanedTop);
    memoryUsageView->hide();
    wndInfoContentView->hide();
}

void PanelWindow::applyTheme()
{
    const QPalette pal = palette();
    const bool dark = NamedColors::isDark(pal);
    const QColor base = dark ? NamedColors::color(NamedColor::LevelTrack, pal) : QColor(Qt::white);
    const QColor border = NamedColors::color(NamedColor::PanelBorder, pal);
    const QColor accent = NamedColors::color(NamedColor::SwitchOnFill, pal);
    const QColor text = pal.color(QPalette::Active, QPalette::Text);
    m_searchBar->setStyleSheet(QStringLiteral("QLineEdit#searchBar { border: 1px solid %1; border-radius: %5px; "
                                              "padding: 0px 4px; background: %2; color: %3; }"
                                              "QLineEdit#searchBar:focus { border: 1px solid %4; }")
                                   .arg(border.name(), base.name(), text.name(), accent.name())
                                   .arg(kSearchFieldHeight / 2));
    QPalette secondary = m_cleanedSizeLabel->palette();
    secondary.setColor(QPalette::WindowText, NamedColors::color(NamedColor::SecondaryText, pal));
    m_cleanedSizeLabel->setPalette(secondary);
    const bool cleaned = subtitleTag() == SubtitleCleanedSize;
    m_pInfoSubtitleLastUsedMemorySize->setTextColor(
        NamedColors::color(cleaned ? NamedColor::PanelCleanedText : NamedColor::PanelSubtitleText, pal));
}

QAbstractButton *PanelWindow::preferencesButton() const
{
    return m_preferencesButton;
}

NewsManager *PanelWindow::newsManager() const
{
    return m_newsManager ? m_newsManager() : PromoManager::GetInstance().newsManager();
}

QAbstractButton *PanelWindow::newsButton() const
{
    return m_newsButton;
}

void PanelWindow::setHasFreshNews(bool fresh)
{
    m_hasFreshNews = fresh;
    if (fresh) {
        m_preferencesButton->setImages(QStringLiteral("settings_news"), QStringLiteral("settings_news_hover"),
                                       QStringLiteral("settings_news_click"));
        m_newsButton->setImages(QStringLiteral("rss_1"), QStringLiteral("rss_1_hover"), QStringLiteral("rss_1_click"));
    } else {
        m_preferencesButton->setImages(QStringLiteral("settings"), QStringLiteral("settings_hover"),
                                       QStringLiteral("settings_click"));
        m_newsButton->setImages(QStringLiteral("rss"), QStringLiteral("rss_hover"), QStringLiteral("rss_click"));
    }
}

QAbstractButton *PanelWindow::disclosureButton() const
{
    return openDetailedViewButton;
}

// ---- Tray icon, showing and placing.

void PanelWindow::processActionOfStatusItem(StatusItemPositionWait::Source anchor, bool canBeClosed, bool trayClick)
{
    if (isVisible()) {
        if (NewsManager *news = newsManager(); news != nullptr && news->isNewsDialogVisible()) news->hideNewsDialog();
    }
    switch (m_lock.statusItemClicked(isVisible(), canBeClosed, trayClick, m_clock.nowMs())) {
    case PanelLockState::ClickAction::Close:
        close();
        return;
    case PanelLockState::ClickAction::Nothing:
        return;
    case PanelLockState::ClickAction::CloseLockAndShow:
        closeAndMakeItLocked();
        break;
    case PanelLockState::ClickAction::Show:
        break;
    }
    // One request at a time: a newer click replaces one that has not run yet.
    m_showRequest.cancel();
    m_positionWait.cancel();
    m_showRequest = MainQueue::after(
        0,
        [this, anchor = std::move(anchor)] {
            m_positionWait.request(anchor, [this](const StatusItemAnchor &where) { showWindowIfPosible(where); });
        },
        m_clock);
}

void PanelWindow::showWindowIfPosible(const StatusItemAnchor &anchor)
{
    if (isLocked()) {
        const PanelPlacement::Result placement = PanelPlacement::place(DesktopAnchor::requestFor(size(), anchor));
        m_lastPlacement = placement;
        m_growsUpward = placement.growsUpward;
        m_panelView->setTriangleX(placement.arrowX);
        move(placement.topLeft);
    }
    presentWindow();
}

void PanelWindow::showWindowIfNotLocked()
{
    if (!restoreDetachedPlace()) return;
    presentWindow();
}

bool PanelWindow::restoreDetachedPlace()
{
    if (isLocked()) return false;
    QScreen *screen = QGuiApplication::primaryScreen();
    const std::optional<QPointF> stored = m_settings.restoreWindowFramePosition(QSizeF(size()), std::nullopt);
    if (stored) {
        if (QScreen *under = QGuiApplication::screenAt(stored->toPoint())) screen = under;
    }
    const std::optional<QPointF> position = m_settings.restoreWindowFramePosition(
        QSizeF(size()), screen != nullptr ? std::optional<QRectF>(QRectF(screen->availableGeometry())) : std::nullopt);
    if (position) move(position->toPoint());
    m_growsUpward = false;
    return true;
}

void PanelWindow::presentWindow()
{
    const bool opening = !isVisible();
    if (opening) {
        m_chrome->prepareToShow();
        // The switch shows what the file manager says now, read at the next tick.
        m_hidden.setNeedsLoadVisibilityState();
    }
    show();
    makeKeyAndOrderFront();
    // An expanded panel that opens again shows its disk-usage section again.
    if (opening && m_adBasedOnSpotlightVC != nullptr && m_adBasedOnSpotlightVC->isVisibleTo(this))
        m_adBasedOnSpotlightVC->sectionDidAppear();
}

void PanelWindow::makeKeyAndOrderFront()
{
    raise();
    activateWindow();
    m_searchBar->setFocus(Qt::ActiveWindowFocusReason);
}

void PanelWindow::updateWindowFrameAndItems()
{
    appNameLabel->setText(QString::fromLatin1(Identity::kBundleDisplayName));
}

// ---- Lock.

void PanelWindow::setLocked(bool locked)
{
    m_lock.setLocked(locked);
    m_settings.saveWindowLockedState(locked);
}

void PanelWindow::showTriangle(bool locked)
{
    setLocked(locked);
    m_panelView->showTriangle(locked);
}

void PanelWindow::closeAndMakeItLocked()
{
    close();
    showTriangle(true);
}

void PanelWindow::closeButtonPressed()
{
    const bool wasVisible = isVisible();
    closeAndMakeItLocked();
    if (wasVisible) Q_EMIT panelClosedByUser();
}

void PanelWindow::positionDidChanged()
{
    if (isLocked()) showTriangle(false);
    m_growsUpward = false;
}

// ---- Focus.

bool PanelWindow::isApplicationActive() const
{
    if (m_isApplicationActive) return m_isApplicationActive();
    return QGuiApplication::applicationState() == Qt::ApplicationActive;
}

bool PanelWindow::hasSheet() const
{
    const QList<QWidget *> children = findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    for (QWidget *child : children) {
        if (child->isWindow() && child->isVisible()) return true;
    }
    return false;
}

void PanelWindow::windowDidResignKey()
{
    if (!isVisible() || isActiveWindow()) return;
    // The news popup took the focus: the panel stays for it.
    if (NewsManager *news = newsManager(); news != nullptr && news->isNewsDialogVisible()) return;
    PanelLockState::FocusLoss loss;
    loss.applicationActive = isApplicationActive();
    loss.scriptMayTakeFocus = m_hidden.scriptsManager().mightLoseFocusBecauseOfScript();
    loss.hasSheet = hasSheet();
    if (!m_lock.shouldCloseOnFocusLoss(loss)) return;
    close();
    m_lock.noteClosedOnFocusLoss(m_clock.nowMs());
}

bool PanelWindow::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::WindowActivate:
        m_center.post(PanelWindowDidBecomeActiveNotification());
        break;
    case QEvent::WindowDeactivate:
        // Qt tells the application's state after the window's: look once both are known.
        MainQueue::async([self = QPointer<PanelWindow>(this)] {
            if (self) self->windowDidResignKey();
        });
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void PanelWindow::closeEvent(QCloseEvent *event)
{
    // Dialogs of the panel end with it.
    const QList<QWidget *> children = findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    for (QWidget *child : children) {
        if (child->isWindow() && child->isVisible()) child->close();
    }
    m_showRequest.cancel();
    m_positionWait.cancel();
    if (isVisible()) Q_EMIT panelWillClose();
    QWidget::closeEvent(event);
}

void PanelWindow::hideEvent(QHideEvent *event)
{
    hideAdsDialog();
    // A resize still running ends where it was going.
    if (isResizeAnimationRunning()) {
        m_resizeAnimation->setCurrentTime(m_resizeAnimation->duration());
        m_resizeAnimation->stop();
        setPanelHeight(windowHeight());
        std::function<void()> completion = std::move(m_resizeCompletion);
        m_resizeCompletion = nullptr;
        if (completion) completion();
    }
    QWidget::hideEvent(event);
}

void PanelWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Once the panel has its place.
    MainQueue::async([self = QPointer<PanelWindow>(this)] {
        if (self) self->showAdsDialog();
    });
}

void PanelWindow::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    moveAdsDialog();
}

void PanelWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    moveAdsDialog();
    m_panelView->setGeometry(rect());
    layoutContainer();
    m_chrome->setOutline(m_panelView->outline());
}

void PanelWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PanelWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange) applyTheme();
    QWidget::changeEvent(event);
}

// ---- Window states and the disclosure.

void PanelWindow::changeWindowStateTo(int state, bool animated)
{
    m_windowState = state;
    const bool animate = animated && isVisible();
    switch (state) {
    case WindowStateCompact:
        removeMemorySection();
        updateWindowHeight(animate, [this] { updateSearchFieldFrame(); });
        break;
    case WindowStateDetailedOrCollapsed:
        if (m_disclosureState == 1) {
            hideAdsDialog();
            updateWindowHeight(animate, [this] {
                addMemorySection();
                showDiskUsageSection();
                m_settings.saveBoolValueForKey(true, Keys::kPanelWindowStateIsDetailed);
            });
        } else {
            removeMemorySection();
            updateWindowHeight(animate, [this] {
                showAdsDialog();
                m_settings.saveBoolValueForKey(false, Keys::kPanelWindowStateIsDetailed);
            });
        }
        break;
    default:
        // With and without the promotion window: only remembered.
        break;
    }
}

void PanelWindow::setDisclosureState(int state)
{
    m_disclosureState = state;
    if (state == 1)
        openDetailedViewButton->setImages(QStringLiteral("disclosure_open"), QStringLiteral("disclosure_open_hover"));
    else
        openDetailedViewButton->setImages(QStringLiteral("disclosure"), QStringLiteral("disclosure_hover"));
}

void PanelWindow::openDetailedModeButtonPressed()
{
    if (isResizeAnimationRunning()) {
        // A click during the panel's own resize is undone.
        setDisclosureState(m_disclosureState == 0 ? 1 : 0);
        return;
    }
    changeWindowStateTo(WindowStateDetailedOrCollapsed, true);
}

void PanelWindow::expandDisclosureButton()
{
    setDisclosureState(1);
    openDetailedModeButtonPressed();
}

bool PanelWindow::isResizeAnimationRunning() const
{
    return m_resizeAnimation->state() == QAbstractAnimation::Running;
}

void PanelWindow::setResizeAnimationDuration(int ms)
{
    m_resizeAnimationMs = ms < 0 ? 0 : ms;
}

int PanelWindow::windowHeight() const
{
    int height = kMainViewHeight;
    if (m_disclosureState == 1 && m_windowState != WindowStateCompact)
        height += m_shouldDiskUsageBeShown ? kExtraHeightWithDiskUsage : kExtraHeightWithoutDiskUsage;
    // A notice longer than the room under the search field makes the panel taller meanwhile.
    if (m_noticeLabel != nullptr && !m_noticeLabel->isHidden())
        height = std::max(height, m_noticeLabel->geometry().bottom() + 1 + kNoticeMargin);
    return height;
}

void PanelWindow::updateWindowHeight(bool animated, std::function<void()> completion)
{
    const int target = windowHeight();
    m_resizeAnimation->stop();
    if (!animated || m_resizeAnimationMs == 0 || height() == target) {
        setPanelHeight(target);
        if (completion) completion();
        return;
    }
    m_resizeCompletion = std::move(completion);
    m_resizeAnimation->setDuration(m_resizeAnimationMs);
    m_resizeAnimation->setStartValue(height());
    m_resizeAnimation->setEndValue(target);
    m_resizeAnimation->start();
}

void PanelWindow::setPanelHeight(int height)
{
    if (height == this->height() && width() == kWidth) return;
    const QRect before = geometry();
    setFixedSize(kWidth, height);
    // A hidden window gets its resize event only when shown; the content follows now.
    m_panelView->setGeometry(0, 0, kWidth, height);
    layoutContainer();
    m_chrome->setOutline(m_panelView->outline());
    // Above its anchor the panel keeps its bottom edge and grows upwards.
    if (m_growsUpward && isVisible()) move(before.x(), before.y() + before.height() - height);
}

bool PanelWindow::isMemorySectionShown() const
{
    return !memoryUsageView->isHidden();
}

void PanelWindow::addMemorySection()
{
    wndInfoContentView->show();
    memoryUsageView->show();
    layoutContainer();
}

void PanelWindow::showDiskUsageSection()
{
    if (!m_makeDiskUsageSection) return;
    if (m_adBasedOnSpotlightVC == nullptr) {
        m_adBasedOnSpotlightVC = m_makeDiskUsageSection(wndInfoContentView);
        if (m_adBasedOnSpotlightVC == nullptr) return;
        m_adBasedOnSpotlightVC->hide();
    }
    layoutContainer();
    if (!m_shouldDiskUsageBeShown || !m_adBasedOnSpotlightVC->isHidden()) return;
    m_adBasedOnSpotlightVC->show();
    m_adBasedOnSpotlightVC->sectionDidAppear();
}

void PanelWindow::removeMemorySection()
{
    if (m_adBasedOnSpotlightVC != nullptr) m_adBasedOnSpotlightVC->hide();
    memoryUsageView->hide();
    wndInfoContentView->hide();
    layoutContainer();
}

void PanelWindow::layoutContainer()
{
    const int containerHeight = m_shouldDiskUsageBeShown ? kExtraHeightWithDiskUsage : kExtraHeightWithoutDiskUsage;
    wndInfoContentView->setGeometry(0, kMainViewHeight, kWidth, containerHeight);
    // The memory section is kMemorySectionOffsetWithDiskUsage above the container's bottom
    // with the disk-usage section under it, at the bottom otherwise: the top either way.
    const int offset = m_shouldDiskUsageBeShown ? kMemorySectionOffsetWithDiskUsage : 0;
    memoryUsageView->move(0, containerHeight - kMemorySectionHeight - offset);
    if (m_adBasedOnSpotlightVC != nullptr) {
        const int top = memoryUsageView->y() + kMemorySectionHeight;
        m_adBasedOnSpotlightVC->setGeometry(0, top, kWidth, containerHeight - top);
    }
    std::vector<int> separators;
    if (!wndInfoContentView->isHidden()) separators.push_back(kMainViewHeight);
    m_panelView->setSeparators(std::move(separators));
}

void PanelWindow::updateSearchFieldFrame()
{
    // The field's bottom edge kSearchFieldY above the main view's bottom.
    const int top = kMainViewHeight - kSearchFieldY - kSearchFieldHeight;
    m_searchBar->setGeometry(kMargin, top, kWidth - 2 * kMargin, kSearchFieldHeight);
    const int noticeWidth = kWidth - 2 * kMargin;
    m_noticeLabel->setGeometry(kMargin, top + kSearchFieldHeight + kNoticeMargin, noticeWidth,
                               m_noticeLabel->heightForWidth(noticeWidth));
}

void PanelWindow::showNotice(const QString &text)
{
    m_noticeEnd.cancel();
    m_noticeLabel->setText(text);
    m_noticeLabel->setToolTip(text);
    m_noticeLabel->setVisible(!text.isEmpty());
    updateSearchFieldFrame();
    setPanelHeight(windowHeight());
    if (text.isEmpty()) return;
    m_noticeLabel->raise();
    m_noticeEnd = MainQueue::after(
        kNoticeMs, [this] { showNotice({}); }, m_clock);
}

void PanelWindow::setShouldDiskUsageBeShown(bool shown)
{
    m_shouldDiskUsageBeShown = shown;
    layoutContainer();
    setPanelHeight(windowHeight());
    if (!shown) {
        if (m_adBasedOnSpotlightVC != nullptr) m_adBasedOnSpotlightVC->hide();
    } else if (isMemorySectionShown()) {
        showDiskUsageSection();
    }
}

bool PanelWindow::isCanShowAds() const
{
    return m_adsContent.content && m_adsContent.content().hasPage();
}

void PanelWindow::showAdsDialog()
{
    if (!isVisible() || m_adsDialog->isVisible() || !isCanShowAds()) return;
    if (m_windowState == WindowStateDetailedOrCollapsed && m_disclosureState == 1) return;
    if (m_settings.getBoolValueForKeyWithDefaultValue(Keys::kAdsDialogBeenClosed, false)) return;
    m_adsDialog->showAt(adsDialogPosition());
}

void PanelWindow::hideAdsDialog()
{
    if (m_adsDialog->isVisible()) m_adsDialog->hide();
}

QPoint PanelWindow::adsDialogPosition() const
{
    QScreen *where = screen();
    const QRect screenRect = where != nullptr ? where->availableGeometry() : QRect(QPoint(), QSize(4096, 4096));
    return PromoWindowPlacement::adsFrame(frameGeometry(), m_adsDialog->window()->size(), screenRect).topLeft();
}

void PanelWindow::moveAdsDialog()
{
    if (m_adsDialog && m_adsDialog->isVisible()) m_adsDialog->moveTo(adsDialogPosition());
}

void PanelWindow::adPackageWasLoaded()
{
    if (!isCanShowAds()) return;
    setIsAdEnabled(true);
    if (m_settings.getBoolValueForKeyWithDefaultValue(Keys::kPanelWindowStateIsDetailed, true)) {
        if (m_disclosureState != 1) expandDisclosureButton();
    } else {
        showAdsDialog();
    }
}

void PanelWindow::setIsAdEnabled(bool enabled)
{
    if (enabled) {
        if (m_windowState != WindowStateWithPromotion) changeWindowStateTo(WindowStateWithPromotion, true);
    } else if (m_windowState == WindowStateWithPromotion) {
        changeWindowStateTo(WindowStateWithoutPromotion, false);
    }
}

// ---- Hidden files.

void PanelWindow::updateIsHiddenShown()
{
    const bool updating = m_hidden.isUpdating();
    if (!updating) {
        m_showHiddenControl->setChecked(m_hidden.isHiddenShown());
        m_panelView->setIsHiddenShown(m_hidden.isHiddenShown());
    }
    m_showHiddenControl->setEnabled(!updating);
}

void PanelWindow::showHiddenControlChanged()
{
    m_hidden.switchHiddenFilesVisibility();
    // A request the manager did not take leaves the switch where the state is.
    updateIsHiddenShown();
}

// ---- Search.

void PanelWindow::searchFieldEditingEnded()
{
    const QString text = m_searchBar->text();
    // Nothing to look for: Return in an empty field neither searches nor closes the panel.
    if (text.trimmed().isEmpty()) return;
    // A text the search would refuse is refused here, where the user can mend it.
    if (const auto refusal = SearchManager::refusalForText(text)) {
        showNotice(*refusal);
        return;
    }
    if (m_searchResultWindow != nullptr && m_searchResultWindow->isSearchResultWindowVisible()) {
        QPointer<PanelWindow> self(this);
        m_searchResultWindow->showNewSearchAlertDialogWithCompletion([self, text](bool start) {
            if (self && start) self->startSearchStep(text);
        });
    } else {
        startSearchStep(text);
    }
    if (isLocked()) close();
}

void PanelWindow::startSearchStep(const QString &text)
{
    m_search.setSearchTemplate(text);
    m_search.cancelSearchByButton();
    m_searchStart.cancel();
    m_searchStart = MainQueue::after(
        kSearchStartDelayMs,
        [this, text] {
            const BytePath folder = SearchFolder::choose({}, m_settings);
            m_search.setSearchLocation(folder);
            m_search.performSearchWithTemplateAndFolder(text, folder);
        },
        m_clock);
}

// ---- Memory.

bool PanelWindow::shouldUpdateTrackedSystemInfo() const
{
    return isVisible() && m_disclosureState == 1;
}

void PanelWindow::fillInfoPanelWithUsedMemoryPercent(const UsedMemory &usage)
{
    m_pInfoTitleLabel->setText(usage.percentText);
    m_pInfoUsedSizeString = usage.usedText;
    if (subtitleTag() == SubtitleUsedSize) m_pInfoSubtitleLastUsedMemorySize->setText(m_pInfoUsedSizeString);
    m_memoryLevelIndicator->setDoubleValue(usage.levelValue);
}

void PanelWindow::fillLastCleanedLabelWithSize(const LastCleaned &lastCleaned)
{
    m_pInfoCleanedSizeString = lastCleaned.text;
    m_cleanedSizeLabel->setText(lastCleaned.text);
    if (subtitleTag() == SubtitleCleanedSize) m_pInfoSubtitleLastUsedMemorySize->setText(m_pInfoCleanedSizeString);
}

void PanelWindow::onPurgedMemory()
{
    m_pInfoSubtitleLastUsedMemorySize->setTrackingEnabled(true);
    m_pInfoSubtitleLastUsedMemorySize->setDrawsDisabled(false);
    m_pInfoSubtitleLastUsedMemorySize->setTag(SubtitleUsedSize);
    subtitleLabelClicked();
}

void PanelWindow::subtitleLabelClicked()
{
    m_subtitleReturn.cancel();
    if (subtitleTag() != SubtitleUsedSize) {
        showSubtitle(m_pInfoUsedSizeString, NamedColor::PanelSubtitleText, SubtitleUsedSize);
        return;
    }
    showSubtitle(m_pInfoCleanedSizeString, NamedColor::PanelCleanedText, SubtitleCleanedSize);
    m_subtitleReturn = MainQueue::after(
        kCleanedSubtitleMs, [this] { subtitleLabelClicked(); }, m_clock);
}

void PanelWindow::showSubtitle(const QString &text, NamedColor color, int tag)
{
    m_pInfoSubtitleLastUsedMemorySize->setTag(tag);
    m_pInfoSubtitleLastUsedMemorySize->setTextColor(NamedColors::color(color, palette()));
    m_pInfoSubtitleLastUsedMemorySize->setText(text);
    // The cleaned text is under the button unless the subtitle shows it already.
    m_cleanedSizeLabel->setVisible(tag == SubtitleUsedSize);
}

int PanelWindow::subtitleTag() const
{
    return m_pInfoSubtitleLastUsedMemorySize->tag();
}

QString PanelWindow::subtitleText() const
{
    return m_pInfoSubtitleLastUsedMemorySize->text();
}

} // namespace lurkel
