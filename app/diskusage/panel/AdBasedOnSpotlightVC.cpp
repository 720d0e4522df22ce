#include "AdBasedOnSpotlightVC.h"

#include "AdBasedOnSpotlightVCStrings.h"
#include "ApplicationsUnusedView.h"
#include "ClickableLabel.h"
#include "DesktopUrlOpener.h"
#include "DiskUsageReview.h"
#include "DuplicateFilesView.h"
#include "JunkFilesView.h"
#include "LargeAndOldFilesView.h"
#include "LevelIndicator.h"
#include "LinkButton.h"
#include "NotificationCenter.h"
#include "ProgressSpinner.h"
#include "SearcherManagerSource.h"
#include "SearchResultWC.h"
#include "SvgTrackingButton.h"
#include "UserDefaults.h"
#include "VolumeName.h"

#include <QGraphicsOpacityEffect>
#include <QGuiApplication>
#include <QLabel>
#include <QPropertyAnimation>

#include <mutex>

// Q_INIT_RESOURCE must be used outside any namespace.
static void initDiskUsagePanelQrc()
{
    Q_INIT_RESOURCE(diskusagepanel);
}

static void lurkelInitDiskUsagePanelResources()
{
    static std::once_flag once;
    std::call_once(once, initDiskUsagePanelQrc);
}

namespace lurkel {

namespace {

using Strings = AdBasedOnSpotlightVCStrings;

constexpr int kWidth = 250;
constexpr int kMargin = 14;
constexpr int kIntegralHeight = 58;
constexpr int kRowTop = 30;
constexpr int kRowHeight = 24;
const QString kPlaceholder = QStringLiteral("...");

QFont pixelFont(int pixels, QFont::Weight weight = QFont::Normal, bool underline = false)
{
    QFont font = QGuiApplication::font();
    font.setPixelSize(pixels);
    font.setWeight(weight);
    font.setUnderline(underline);
    return font;
}

// The scan type behind a panel state (1 junk, 2 duplicates, 3 large and old, 4 applications).
int scanTypeForState(unsigned state)
{
    constexpr int types[] = {-1, 0, 3, 2, 1};
    return state >= 1 && state <= 4 ? types[state] : -1;
}

QString reviewTag(int viewType)
{
    return QStringLiteral("disk-usage:%1").arg(viewType);
}

} // namespace

// The coordinator holds its delegate weakly: this shared object stands for the section and
// is cut off when the section goes.
class AdBasedOnSpotlightVC::DelegateBridge final : public SpotlightManagerDelegate {
public:
    explicit DelegateBridge(AdBasedOnSpotlightVC *owner) : m_owner(owner) {}
    void detach() { m_owner = nullptr; }
    void onSpotlightManagerFoundJunkFilesInfo(const JunkFilesViewInfo &info) override
    {
        if (m_owner != nullptr) m_owner->onSpotlightManagerFoundJunkFilesInfo(info);
    }
    void onSpotlightManagerFoundDuplicatesInfo(const DuplicateFilesViewInfo &info) override
    {
        if (m_owner != nullptr) m_owner->onSpotlightManagerFoundDuplicatesInfo(info);
    }
    void onSpotlightManagerFoundLargetAndOldFilesInfo(const LargeAndOldFilesViewInfo &info) override
    {
        if (m_owner != nullptr) m_owner->onSpotlightManagerFoundLargetAndOldFilesInfo(info);
    }
    void onSpotlightManagerFoundApplicationsInfo(const ApplicationsUnusedViewInfo &info) override
    {
        if (m_owner != nullptr) m_owner->onSpotlightManagerFoundApplicationsInfo(info);
    }

private:
    AdBasedOnSpotlightVC *m_owner;
};

QString AdBasedOnSpotlightVC::showDetailedDiskUsagePressedNotificationName()
{
    return QStringLiteral("showDetailedDiskUsagePressedNotification");
}

QString AdBasedOnSpotlightVC::lastViewedSearchResultsKey()
{
    return QStringLiteral("LastViewedSearchResults");
}

AdBasedOnSpotlightVC::AdBasedOnSpotlightVC(AdBasedOnSpotlightVCServices services, QWidget *parent)
    : DiskUsageSection(parent), m_source(services.source),
      m_defaults(services.defaults != nullptr ? *services.defaults : UserDefaults::standardUserDefaults()),
      m_center(services.notificationCenter != nullptr ? *services.notificationCenter
                                                      : NotificationCenter::defaultCenter()),
      m_urlOpener(services.urlOpener != nullptr ? *services.urlOpener : DesktopUrlOpener::shared()),
      m_statVfs(services.statVfs ? std::move(services.statVfs) : DiskFill::StatVfs(&::statvfs)),
      m_searchManager(services.searchManager), m_showFiles(std::move(services.showFiles)),
      m_delegate(std::make_shared<DelegateBridge>(this))
{
    lurkelInitDiskUsagePanelResources();
    if (m_source == nullptr) {
        m_ownSource = std::make_unique<SearcherManagerSource>();
        m_source = m_ownSource.get();
    }
    resize(kWidth, AdBasedOnSpotlightView::kHeight);
    buildOverview();

    m_pJunkFilesView = new JunkFilesView(m_urlOpener, this);
    m_pDuplicatesFilesView = new DuplicateFilesView(m_urlOpener, this);
    m_pLargerAndOldFilesView = new LargeAndOldFilesView(m_urlOpener, this);
    m_pApplicationsUnusedView = new ApplicationsUnusedView(m_urlOpener, this);
    for (unsigned state = 1; state <= 4; ++state) {
        AdBasedOnSpotlightView *view = viewForState(state);
        view->hide();
        connect(view, &AdBasedOnSpotlightView::backPressed, this, &AdBasedOnSpotlightVC::backButtonPressed);
        connect(view, &AdBasedOnSpotlightView::showFilesPressed, this,
                [this, view] { showFilesPressed(view->getType()); });
        connect(view, &AdBasedOnSpotlightView::tabPressed, this,
                [this](int tab) { showView(viewForState(static_cast<unsigned>(tab)), static_cast<unsigned>(tab)); });
    }
    m_slide = new QPropertyAnimation(this);
    m_slide->setPropertyName("pos");
    connect(m_slide, &QAbstractAnimation::finished, this, [this] {
        auto done = std::move(m_slideDone);
        m_slideDone = nullptr;
        if (done) done();
    });

    setLabelsActions();
    setUpHddLevelIndicator();
    setIsScanning(false);

    // Items moved to the Trash from a review count again after that category's next scan.
    m_center.addObserver(
        SearchResultWC::ReviewItemsMovedToTrashNotification(), {},
        [this](const Notification &note) {
            for (unsigned state = 1; state <= 4; ++state) {
                if (note.object.toString() == reviewTag(viewForState(state)->getType())) rescanCategory(state);
            }
        },
        this);
}

AdBasedOnSpotlightVC::~AdBasedOnSpotlightVC()
{
    m_delegate->detach();
}

void AdBasedOnSpotlightVC::buildOverview()
{
    m_integralStatisticView = new QWidget(this);
    m_integralStatisticView->setGeometry(0, 0, kWidth, kIntegralHeight);
    m_volumeLabel = new QLabel(Strings::string("Disc_Usage_Title", "Disk Usage"), m_integralStatisticView);
    m_volumeLabel->setFont(pixelFont(13, QFont::DemiBold));
    m_volumeLabel->setGeometry(kMargin, 10, 130, 22);
    m_hddUsedPecentageLabel = new QLabel(m_integralStatisticView);
    m_hddUsedPecentageLabel->setFont(pixelFont(17, QFont::DemiBold));
    m_hddUsedPecentageLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_hddUsedPecentageLabel->setGeometry(kWidth - kMargin - 90, 9, 90, 24);
    m_hddLevelIndicator = new LevelIndicator(m_integralStatisticView);
    m_hddLevelIndicator->setGeometry(kMargin, 38, kWidth - 2 * kMargin, 10);

    m_overallView = new QWidget(this);
    m_overallView->setGeometry(0, kIntegralHeight, kWidth, AdBasedOnSpotlightView::kHeight - kIntegralHeight);
    m_overallTotalSizeSubLabel =
        new QLabel(Strings::string("Main_View_removable_files", "Removable Files", true), m_overallView);
    m_overallTotalSizeSubLabel->setFont(pixelFont(12, QFont::DemiBold));
    m_overallTotalSizeSubLabel->setGeometry(kMargin, 2, 130, 22);
    m_overallTotalSizeLabel = new ClickableLabel(m_overallView);
    m_overallTotalSizeLabel->setObjectName(QStringLiteral("totalSize"));
    m_overallTotalSizeLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_overallTotalSizeLabel->setGeometry(kWidth - kMargin - 100, 2, 100, 22);
    m_pTotalSizeProgressIndicator = new ProgressSpinner(m_overallView);
    m_pTotalSizeProgressIndicator->setGeometry(kWidth - kMargin - 16, 5, 16, 16);

    const std::array<QString, 4> titles{
        Strings::string("Main_View_show_junk_files_button", "Junk Files", true),
        Strings::string("Main_View_show_duplicate_files_button", "Duplicates", true),
        Strings::string("Main_View_show_large_and_old_files_button", "Large & Old Files", true),
        Strings::string("Main_View_show_applications_button", "Applications", true),
    };
    for (std::size_t i = 0; i < m_categoryButtons.size(); ++i) {
        const int top = kRowTop + static_cast<int>(i) * kRowHeight;
        auto *button = new ClickableLabel(m_overallView);
        button->setText(titles[i]);
        button->setGeometry(kMargin, top, 140, kRowHeight);
        button->setCursor(Qt::PointingHandCursor);
        m_categoryButtons[i] = button;
        auto *label = new ClickableLabel(m_overallView);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->setGeometry(kWidth - kMargin - 90, top, 90, kRowHeight);
        label->setText(kPlaceholder);
        m_sizeLabels[i] = label;
    }
    connect(m_categoryButtons[0], &ClickableLabel::clicked, this, &AdBasedOnSpotlightVC::showJunkFilesPressed);
    connect(m_categoryButtons[1], &ClickableLabel::clicked, this, &AdBasedOnSpotlightVC::showDuplicatesPressed);
    connect(m_categoryButtons[2], &ClickableLabel::clicked, this, &AdBasedOnSpotlightVC::showUnusedFilesPressed);
    connect(m_categoryButtons[3], &ClickableLabel::clicked, this, &AdBasedOnSpotlightVC::showApplicationsUnusedPressed);

    m_overallDetailsButton = new SvgTrackingButton(m_overallView);
    m_overallDetailsButton->setFont(pixelFont(12, QFont::DemiBold));
    m_overallDetailsButton->setTitleColor(QColor(0x12, 0x5a, 0x8b));
    m_overallDetailsButton->setSvgImages(QStringLiteral("btn_renew_and_cleaup"));
    const QSize size = m_overallDetailsButton->sizeHint();
    m_overallDetailsButton->setGeometry((kWidth - size.width()) / 2, kRowTop + 4 * kRowHeight + 14, size.width(),
                                        size.height());
    m_overallDetailsButton->setText(Strings::diskUsageMainViewButtonStateReview());
    connect(m_overallDetailsButton, &QAbstractButton::clicked, this, &AdBasedOnSpotlightVC::detailsButtonPressed);
}

void AdBasedOnSpotlightVC::setLabelsActions()
{
    m_overallTotalSizeLabel->setFonts(pixelFont(12), pixelFont(12, QFont::Medium));
    connect(m_overallTotalSizeLabel, &ClickableLabel::clicked, this, &AdBasedOnSpotlightVC::totalSizeLabelPressed);
    for (ClickableLabel *label : m_sizeLabels) {
        label->setFonts(pixelFont(12), pixelFont(12, QFont::Bold));
        label->setDrawsDisabled(true);
        label->setTrackingEnabled(false);
    }
    connect(m_sizeLabels[0], &ClickableLabel::clicked, this, &AdBasedOnSpotlightVC::junkFilesSizeLabelPressed);
    connect(m_sizeLabels[1], &ClickableLabel::clicked, this, &AdBasedOnSpotlightVC::duplicatesSizeLabelPressed);
    connect(m_sizeLabels[2], &ClickableLabel::clicked, this, &AdBasedOnSpotlightVC::largeAndOldSizeLabelPressed);
    connect(m_sizeLabels[3], &ClickableLabel::clicked, this, &AdBasedOnSpotlightVC::unusedApplicationsSizeLabelPressed);
}

void AdBasedOnSpotlightVC::setUpHddLevelIndicator()
{
    m_hddLevelIndicator->setFillColor(
        QColor::fromRgbF(0.9568627450980393F, 0.7254901960784313F, 0.27450980392156865F, 1.0F));
    // "/" that cannot be read shows an empty bar, a dash and says why in the tool tip.
    m_diskFill = DiskFill::usedFraction("/", m_statVfs);
    m_hddLevelIndicator->setDoubleValue(m_diskFill ? static_cast<double>(*m_diskFill) : 0.0);
    m_hddUsedPecentageLabel->setText(DiskFill::percentText(m_diskFill));
    const QString tip = m_diskFill ? QString() : QStringLiteral("The figures of the disk \"/\" cannot be read.");
    m_hddUsedPecentageLabel->setToolTip(tip);
    m_hddLevelIndicator->setToolTip(tip);
}

ClickableLabel *AdBasedOnSpotlightVC::categoryButton(unsigned state) const
{
    return state >= 1 && state <= 4 ? m_categoryButtons[state - 1] : nullptr;
}

ClickableLabel *AdBasedOnSpotlightVC::sizeLabel(unsigned state) const
{
    return state >= 1 && state <= 4 ? m_sizeLabels[state - 1] : nullptr;
}

AdBasedOnSpotlightView *AdBasedOnSpotlightVC::viewForState(unsigned state) const
{
    switch (state) {
    case 1:
        return m_pJunkFilesView;
    case 2:
        return m_pDuplicatesFilesView;
    case 3:
        return m_pLargerAndOldFilesView;
    case 4:
        return m_pApplicationsUnusedView;
    default:
        return nullptr;
    }
}

// ---- Scans.

void AdBasedOnSpotlightVC::sectionDidAppear()
{
    startSearch(false);
}

void AdBasedOnSpotlightVC::rescan()
{
    startSearch(true);
}

void AdBasedOnSpotlightVC::startSearch(bool forced)
{
    if (!m_detailedDiskUsageShown) showDetailedDiskUsagePressed();
    m_pJunkFilesView->setInfo(std::nullopt);
    m_pDuplicatesFilesView->setInfo(std::nullopt);
    m_pLargerAndOldFilesView->setInfo(std::nullopt);
    m_pApplicationsUnusedView->setInfo(std::nullopt);
    for (ClickableLabel *label : m_sizeLabels) {
        label->setText(kPlaceholder);
        label->setDrawsDisabled(true);
        label->setTrackingEnabled(false);
    }
    setIsScanning(true);
    // Results the coordinator keeps come back at once, from within this call.
    m_source->startSearchWithDelegate(m_delegate, forced);
}

void AdBasedOnSpotlightVC::rescanCategory(unsigned state)
{
    resetLabel(sizeLabel(state));
    m_source->startSearchForType(scanTypeForState(state));
}

void AdBasedOnSpotlightVC::resetLabel(ClickableLabel *label)
{
    label->setText(kPlaceholder);
    label->setDrawsDisabled(true);
    label->setTrackingEnabled(false);
    setIsScanning(true);
}

void AdBasedOnSpotlightVC::junkFilesSizeLabelPressed()
{
    rescanCategory(1);
}

void AdBasedOnSpotlightVC::duplicatesSizeLabelPressed()
{
    rescanCategory(2);
}

void AdBasedOnSpotlightVC::largeAndOldSizeLabelPressed()
{
    rescanCategory(3);
}

void AdBasedOnSpotlightVC::unusedApplicationsSizeLabelPressed()
{
    rescanCategory(4);
}

void AdBasedOnSpotlightVC::setIsScanning(bool scanning)
{
    m_bIsScanning = scanning;
    m_overallTotalSizeLabel->setVisible(!scanning);
    m_overallTotalSizeSubLabel->setVisible(!scanning);
    m_pTotalSizeProgressIndicator->setVisible(scanning);
    if (scanning) {
        m_pTotalSizeProgressIndicator->startAnimation();
        m_overallDetailsButton->setText(Strings::diskUsageMainViewButtonStateScanning());
        m_overallDetailsButton->setSvgImages(QStringLiteral("btn_renew_and_cleaup"));
    } else {
        m_pTotalSizeProgressIndicator->stopAnimation();
        m_overallDetailsButton->setText(Strings::diskUsageMainViewButtonStateReview());
        m_overallDetailsButton->setSvgImages(QStringLiteral("btn_renew_and_cleaup"),
                                             QStringLiteral("btn_renew_and_cleaup_hover"),
                                             QStringLiteral("btn_renew_and_cleaup_click"));
    }
    // The category buttons are underlined exactly when they can be pressed.
    for (ClickableLabel *button : m_categoryButtons) {
        button->setFonts(pixelFont(12, QFont::Normal, !scanning), pixelFont(12, QFont::DemiBold, !scanning));
    }
    m_overallDetailsButton->setEnabled(!scanning);
    m_overallDetailsButton->setTrackingEnabled(!scanning);
    // Its alpha: half while scanning.
    auto *effect = qobject_cast<QGraphicsOpacityEffect *>(m_overallDetailsButton->graphicsEffect());
    if (effect == nullptr) {
        effect = new QGraphicsOpacityEffect(m_overallDetailsButton);
        m_overallDetailsButton->setGraphicsEffect(effect);
    }
    effect->setOpacity(scanning ? 0.5 : 1.0);
}

void AdBasedOnSpotlightVC::onSpotlightManagerFoundJunkFilesInfo(const JunkFilesViewInfo &info)
{
    m_pJunkFilesView->setInfo(info);
    updateOverallViewContent();
}

void AdBasedOnSpotlightVC::onSpotlightManagerFoundDuplicatesInfo(const DuplicateFilesViewInfo &info)
{
    m_pDuplicatesFilesView->setInfo(info);
    updateOverallViewContent();
}

void AdBasedOnSpotlightVC::onSpotlightManagerFoundLargetAndOldFilesInfo(const LargeAndOldFilesViewInfo &info)
{
    m_pLargerAndOldFilesView->setInfo(info);
    updateOverallViewContent();
}

void AdBasedOnSpotlightVC::onSpotlightManagerFoundApplicationsInfo(const ApplicationsUnusedViewInfo &info)
{
    m_pApplicationsUnusedView->setInfo(info);
    updateOverallViewContent();
}

void AdBasedOnSpotlightVC::updateOverallViewContent()
{
    const std::array<std::uint64_t, 4> sizes{
        m_pJunkFilesView->getTotalJunkSize(), m_pDuplicatesFilesView->getDuplicatesSize(),
        m_pLargerAndOldFilesView->getTotalLargeAndOldSize(), m_pApplicationsUnusedView->getTotalSize()};
    std::uint64_t sum = 0;
    bool all = true;
    for (unsigned state = 1; state <= 4; ++state) {
        if (!viewForState(state)->isCanShow()) {
            all = false;
            continue;
        }
        ClickableLabel *label = sizeLabel(state);
        label->setText(VolumeName::stringFromSize(static_cast<std::int64_t>(sizes[state - 1])));
        label->setDrawsDisabled(false);
        label->setTrackingEnabled(true);
        sum += sizes[state - 1];
    }
    if (!all) return;
    m_overallTotalSizeLabel->setText(VolumeName::stringFromSize(static_cast<std::int64_t>(sum)));
    setIsScanning(false);
}

// ---- Views.

void AdBasedOnSpotlightVC::showJunkFilesPressed()
{
    showView(m_pJunkFilesView, 1);
}

void AdBasedOnSpotlightVC::showDuplicatesPressed()
{
    showView(m_pDuplicatesFilesView, 2);
}

void AdBasedOnSpotlightVC::showUnusedFilesPressed()
{
    showView(m_pLargerAndOldFilesView, 3);
}

void AdBasedOnSpotlightVC::showApplicationsUnusedPressed()
{
    showView(m_pApplicationsUnusedView, 4);
}

void AdBasedOnSpotlightVC::detailsButtonPressed()
{
    m_overallDetailsButton->setSvgImages(QStringLiteral("btn_renew_and_cleaup"),
                                         QStringLiteral("btn_renew_and_cleaup_hover"),
                                         QStringLiteral("btn_renew_and_cleaup_click"));
    const auto last = static_cast<unsigned>(m_defaults.integerForKey(lastViewedSearchResultsKey(), 0));
    if (AdBasedOnSpotlightView *view = viewForState(last); view != nullptr && view->isCanShow()) {
        showView(view, last);
        return;
    }
    for (unsigned state = 1; state <= 4; ++state) {
        if (viewForState(state)->isCanShow()) {
            showView(viewForState(state), state);
            return;
        }
    }
}

void AdBasedOnSpotlightVC::showView(AdBasedOnSpotlightView *view, unsigned state)
{
    if (m_bIsScanning || m_animating || view == nullptr || !view->isCanShow()) return;
    const QRect bounds = rect();
    const bool fromOverview = m_state == 0;
    if (!fromOverview) {
        AdBasedOnSpotlightView *shown = viewForState(m_state);
        if (shown == view) return;
        shown->move(bounds.width(), 0);
        shown->hide();
        view->setGeometry(bounds);
    } else {
        view->setGeometry(bounds.translated(bounds.width(), 0));
    }
    view->show();
    view->raise();
    view->prepareForAppearance();
    m_animating = true;
    const auto done = [this, state] {
        m_overallView->hide();
        m_integralStatisticView->hide();
        m_state = state;
        m_defaults.setInteger(lastViewedSearchResultsKey(), state);
        m_animating = false;
    };
    if (!fromOverview) {
        // From one detail view to another: at once, no slide.
        view->move(bounds.topLeft());
        done();
        return;
    }
    m_slide->setTargetObject(view);
    m_slide->setDuration(kSlideMs);
    m_slide->setStartValue(view->pos());
    m_slide->setEndValue(bounds.topLeft());
    finishSlide(done);
}

void AdBasedOnSpotlightVC::backButtonPressed()
{
    if (m_state == 0 || m_animating) return;
    AdBasedOnSpotlightView *view = viewForState(m_state);
    m_overallView->show();
    m_integralStatisticView->show();
    view->raise();
    m_animating = true;
    m_slide->setTargetObject(view);
    m_slide->setDuration(kSlideMs);
    m_slide->setStartValue(view->pos());
    m_slide->setEndValue(QPoint(rect().width(), 0));
    finishSlide([this, view] {
        m_state = 0;
        view->hide();
        m_animating = false;
    });
}

void AdBasedOnSpotlightVC::finishSlide(const std::function<void()> &done)
{
    m_slideDone = done;
    m_slide->start();
}

void AdBasedOnSpotlightVC::showDetailedDiskUsagePressed()
{
    m_detailedDiskUsageShown = true;
    m_center.post(showDetailedDiskUsagePressedNotificationName());
}

void AdBasedOnSpotlightVC::showDetailedDiskUsagePressedBlueButton()
{
    showDetailedDiskUsagePressed();
}

void AdBasedOnSpotlightVC::showFilesPressed(int viewType)
{
    if (m_showFiles) {
        m_showFiles(viewType);
        return;
    }
    if (!m_review)
        m_review = std::make_unique<DiskUsageReview>(m_searchManager, &DiskScanLocations::current, &m_center);
    const int scanType = viewType - 1; // view types 1-4 are scan types 0-3
    m_review->show(viewType, m_source->resultForType(scanType), reviewTag(viewType));
}

} // namespace lurkel
