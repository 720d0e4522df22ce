#include "NewsDialogWC.h"

#include "PromoBrowser.h"
#include "UrlOpener.h"

#include <QEvent>
#include <QGuiApplication>
#include <QKeySequence>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>
#include <QWidget>

namespace lurkel {

NewsDialogWC::NewsDialogWC(UrlOpener &urlOpener, QObject *parent)
    : QObject(parent), m_urlOpener(urlOpener), m_window(std::make_unique<QWidget>())
{
    m_window->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    m_window->setWindowTitle(tr("News"));
    m_window->setObjectName(QStringLiteral("NewsPopup"));
    m_window->setStyleSheet(QStringLiteral("#NewsPopup { border: 1px solid palette(mid); }"));
    m_window->installEventFilter(this);
    auto *layout = new QVBoxLayout(m_window.get());
    layout->setContentsMargins(1, 1, 1, 1);
    m_browser = new PromoBrowser(m_window.get());
    layout->addWidget(m_browser);
    m_browser->setNavigationPolicy([this](const QUrl &url) {
        m_urlOpener.openUrl(url);
        hide();
        return PromoBrowser::Navigation::Ignore;
    });
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), m_window.get());
    connect(escape, &QShortcut::activated, this, &NewsDialogWC::hide);
}

NewsDialogWC::~NewsDialogWC() = default;

void NewsDialogWC::showAt(QPoint topLeft, QSize size, const HTMLContentData &content)
{
    showContent(content);
    QRect frame(topLeft, size);
    if (const QScreen *screen = QGuiApplication::screenAt(topLeft)) {
        const QRect area = screen->availableGeometry();
        frame.moveRight(std::min(frame.right(), area.right()));
        frame.moveBottom(std::min(frame.bottom(), area.bottom()));
        frame.moveTopLeft(QPoint(std::max(frame.left(), area.left()), std::max(frame.top(), area.top())));
    }
    m_window->setGeometry(frame);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    m_browser->setFocus();
}

void NewsDialogWC::showContent(const HTMLContentData &content)
{
    if (content.hasPage())
        m_browser->loadPage(content.htmlURL);
    else
        m_browser->showHtml(QStringLiteral("<center><br><br>%1</center>").arg(tr("No news yet.")));
}

void NewsDialogWC::hide()
{
    m_window->hide();
}

bool NewsDialogWC::isVisible() const
{
    return m_window->isVisible();
}

bool NewsDialogWC::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window.get() && event->type() == QEvent::WindowDeactivate) hide();
    return QObject::eventFilter(watched, event);
}

} // namespace lurkel
