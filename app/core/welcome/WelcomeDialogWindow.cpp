#include "WelcomeDialogWindow.h"

#include "FramelessWindowChrome.h"
#include "WelcomeDialogView.h"

#include <QCloseEvent>
#include <QKeyEvent>

namespace lurkel {

WelcomeDialogWindow::WelcomeDialogWindow(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::NoDropShadowWindowHint),
      m_view(new WelcomeDialogView(this)), m_chrome(new FramelessWindowChrome(this))
{
    setAttribute(Qt::WA_QuitOnClose, false);
    setFixedSize(WelcomeDialogView::kWidth, WelcomeDialogView::kHeight);
    m_view->setGeometry(rect());
    m_chrome->setDraggable(false);
    m_chrome->setOnAllWorkspaces(true);
    m_chrome->setOutline(m_view->outline());
    connect(m_view, &WelcomeDialogView::outlineChanged, this, [this] { m_chrome->setOutline(m_view->outline()); });
}

void WelcomeDialogWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        Q_EMIT escapePressed();
        return;
    }
    QWidget::keyPressEvent(event);
}

void WelcomeDialogWindow::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    if (event->isAccepted()) Q_EMIT closed();
}

} // namespace lurkel
