#include "AdsDialogWC.h"

#include "NotificationCenter.h"
#include "PromoSettings.h"
#include "Settings.h"
#include "SettingsKeys.h"
#include "TrackingButton.h"
#include "UrlOpener.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

namespace lurkel {

namespace {

constexpr int kCloseButtonSize = 24;
constexpr int kCloseButtonMargin = 8;

} // namespace

QString AdsDialogWC::brokenPageHtml()
{
    return QStringLiteral("<center><br><br>Oops. Something broken...<br><h1>") + QChar(0x25D5) + QChar(0xFE35) +
           QChar(0x25D5);
}

AdsDialogWC::AdsDialogWC(PromoContentSource source, PromoDialogServices services, QObject *parent)
    : QObject(parent), m_source(std::move(source)), m_services(services.resolved()),
      m_window(std::make_unique<QWidget>())
{
    m_window->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    m_window->setWindowTitle(tr("Advertisement"));
    m_window->setObjectName(QStringLiteral("AdsDialog"));
    m_window->setStyleSheet(QStringLiteral("#AdsDialog { border: 1px solid palette(mid); }"
                                           "#AdsCloseBackdrop { background: palette(window); border-radius: %1px; }")
                                .arg(kCloseButtonSize / 2));
    m_window->installEventFilter(this);

    auto *layout = new QVBoxLayout(m_window.get());
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
    m_browser = new PromoBrowser(m_window.get());
    m_browser->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    layout->addWidget(m_browser, 1);

    auto *bar = new QWidget(m_window.get());
    bar->setFixedHeight(kButtonBarHeight);
    auto *barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(12, 8, 12, 8);
    barLayout->addStretch(1);
    m_adsButton = new QPushButton(tr("Get It Now"), bar);
    m_adsButton->setDefault(true);
    barLayout->addWidget(m_adsButton);
    layout->addWidget(bar);
    connect(m_adsButton, &QPushButton::clicked, this, &AdsDialogWC::adsButtonPressed);

    // The close button sits on the page, whatever its colours: on a disc of its own.
    m_closeBackdrop = new QWidget(m_window.get());
    m_closeBackdrop->setObjectName(QStringLiteral("AdsCloseBackdrop"));
    m_closeBackdrop->setAttribute(Qt::WA_StyledBackground);
    m_closeBackdrop->setFixedSize(kCloseButtonSize, kCloseButtonSize);
    auto *backdropLayout = new QHBoxLayout(m_closeBackdrop);
    backdropLayout->setContentsMargins(2, 2, 2, 2);
    m_closeButton = new TrackingButton(QStringLiteral("close"), QStringLiteral("close_hover"),
                                       QStringLiteral("close_click"), m_closeBackdrop);
    m_closeButton->setToolTip(tr("Close"));
    backdropLayout->addWidget(m_closeButton);
    connect(m_closeButton, &TrackingButton::clicked, this, &AdsDialogWC::closeButtonPressed);

    m_fadeIn = new QPropertyAnimation(m_window.get(), "windowOpacity", this);
    m_fadeIn->setDuration(kFadeInMs);
    m_fadeIn->setStartValue(0.0);
    m_fadeIn->setEndValue(1.0);

    reloadContent();
    const QString name = m_source.changedNotificationName.isEmpty() ? adsDialogHtmlChangedNotificationName()
                                                                    : m_source.changedNotificationName;
    m_observer = m_services.notificationCenter->addObserver(
        name, {}, [this](const Notification &) { QMetaObject::invokeMethod(this, [this]() { onHtmlChanged(); }); });
}

AdsDialogWC::~AdsDialogWC()
{
    m_services.notificationCenter->removeObserver(m_observer);
}

void AdsDialogWC::reloadContent()
{
    m_browser->setNavigationPolicy([this](const QUrl &url) { return decideNavigation(url); });
    const HTMLContentData data = m_source.content ? m_source.content() : HTMLContentData{};
    if (data.hasPage())
        m_browser->loadPage(data.htmlURL);
    else
        m_browser->showHtml(brokenPageHtml());
    if (!data.size.isEmpty()) m_window->resize(data.size + QSize(2, 2 + kButtonBarHeight));
    placeCloseButton();
}

void AdsDialogWC::onHtmlChanged()
{
    Settings settings(*m_services.defaults);
    settings.saveBoolValueForKey(false, QString(SettingsKeys::kAdsDialogBeenClosed));
    settings.saveBoolValueForKey(false, QString(SettingsKeys::kAdsBannerBeenClosed));
    reloadContent();
}

void AdsDialogWC::closeButtonPressed()
{
    Settings(*m_services.defaults).saveBoolValueForKey(true, QString(SettingsKeys::kAdsDialogBeenClosed));
    m_fadeIn->stop();
    m_window->close();
    Q_EMIT closed();
}

void AdsDialogWC::adsButtonPressed()
{
    m_services.urlOpener->openAddress(PromoSettings::getQuenbyLabProductURLonAppStore());
}

PromoBrowser::Navigation AdsDialogWC::decideNavigation(const QUrl &url)
{
    if (url.toString() == QLatin1String("about:blank") || url.isLocalFile()) return PromoBrowser::Navigation::Load;
    if (url.toString() != QLatin1String("app://close")) m_services.urlOpener->openUrl(url);
    closeButtonPressed();
    return PromoBrowser::Navigation::Ignore;
}

void AdsDialogWC::showAt(QPoint topLeft)
{
    moveTo(topLeft);
    if (m_window->isVisible()) return;
    m_window->setWindowOpacity(0.0);
    m_window->show();
    m_fadeIn->start();
}

void AdsDialogWC::moveTo(QPoint topLeft)
{
    m_window->move(topLeft);
}

void AdsDialogWC::hide()
{
    m_fadeIn->stop();
    m_window->hide();
}

bool AdsDialogWC::isVisible() const
{
    return m_window->isVisible();
}

void AdsDialogWC::placeCloseButton()
{
    m_closeBackdrop->move(m_window->width() - kCloseButtonSize - kCloseButtonMargin, kCloseButtonMargin);
    m_closeBackdrop->raise();
}

bool AdsDialogWC::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window.get() && event->type() == QEvent::Resize) placeCloseButton();
    return QObject::eventFilter(watched, event);
}

} // namespace lurkel
