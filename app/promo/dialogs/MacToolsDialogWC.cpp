#include "MacToolsDialogWC.h"

#include "MacToolsDialogWCDelegate.h"
#include "NotificationCenter.h"
#include "PromoBrowser.h"
#include "PromoManager.h"
#include "UrlOpener.h"

#include <QEvent>
#include <QVBoxLayout>
#include <QWidget>

namespace lurkel {

MacToolsDialogWC::MacToolsDialogWC(PromoDialogServices services, QObject *parent)
    : QObject(parent), m_services(services.resolved()), m_window(std::make_unique<QWidget>())
{
    m_window->setWindowTitle(tr("Tools from the makers of %1").arg(PromoManager::getAppName()));
    m_window->installEventFilter(this);
    auto *layout = new QVBoxLayout(m_window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    m_browser = new PromoBrowser(m_window.get());
    layout->addWidget(m_browser);
    m_browser->setNavigationPolicy([this](const QUrl &url) {
        m_services.urlOpener->openUrl(url);
        return PromoBrowser::Navigation::Ignore;
    });
    m_window->resize(kDefaultSize);
}

MacToolsDialogWC::~MacToolsDialogWC()
{
    if (m_observer) m_services.notificationCenter->removeObserver(m_observer);
}

MacToolsDialogWC &MacToolsDialogWC::sharedController()
{
    static auto *shared = new MacToolsDialogWC();
    return *shared;
}

void MacToolsDialogWC::pleaseShowWindow()
{
    reload();
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    if (m_delegate) m_delegate->toolsDialogWCWasPreseted(*this);
}

bool MacToolsDialogWC::isVisible() const
{
    return m_window->isVisible();
}

void MacToolsDialogWC::close()
{
    m_window->close();
}

void MacToolsDialogWC::reload()
{
    const PromoContentSource source = m_delegate ? m_delegate->toolsDialogWCDownloader(*this) : PromoContentSource{};
    observe(source.changedNotificationName);
    const HTMLContentData data = source.content ? source.content() : HTMLContentData{};
    if (data.hasPage())
        m_browser->loadPage(data.htmlURL);
    else
        m_browser->showHtml(QStringLiteral("<center><br><br>%1</center>").arg(tr("The tools page is not available.")));
    m_window->resize(data.size.isValid() && !data.size.isEmpty() ? data.size : kDefaultSize);
}

void MacToolsDialogWC::observe(const QString &notificationName)
{
    if (notificationName == m_observedName) return;
    if (m_observer) m_services.notificationCenter->removeObserver(m_observer);
    m_observer = 0;
    m_observedName = notificationName;
    if (notificationName.isEmpty()) return;
    m_observer = m_services.notificationCenter->addObserver(notificationName, {}, [this](const Notification &) {
        QMetaObject::invokeMethod(this, [this]() {
            if (isVisible()) reload();
        });
    });
}

bool MacToolsDialogWC::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window.get() && event->type() == QEvent::Close && m_delegate)
        m_delegate->toolsDialogWCWillClose(*this);
    return QObject::eventFilter(watched, event);
}

} // namespace lurkel
