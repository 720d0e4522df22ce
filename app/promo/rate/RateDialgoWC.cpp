#include "RateDialgoWC.h"

#include "Clock.h"
#include "FramelessWindowChrome.h"
#include "MainQueue.h"
#include "Settings.h"
#include "TrackingButton.h"

#include <QLabel>
#include <QPainterPath>
#include <QPointer>
#include <QVBoxLayout>

namespace lurkel {

namespace {

QPointer<RateDialgoWC> &shownDialog()
{
    static QPointer<RateDialgoWC> dialog;
    return dialog;
}

} // namespace

RateDialgoWC::RateDialgoWC(const RateDialogServices &services, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), m_view(new RateDialogView(services, this)),
      m_quitButton(new TrackingButton(QStringLiteral("btn_red"), QStringLiteral("btn_red_select"), QString(), m_view)),
      m_chrome(new FramelessWindowChrome(this))
{
    setWindowTitle(m_view->titleLabel()->text());
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);

    m_quitButton->setImageSize({14, 14});
    m_quitButton->setToolTip(tr("Close"));
    m_quitButton->setAccessibleName(tr("Close"));
    m_quitButton->setGeometry(8, (RateDialogView::kTopBandHeight - 20) / 2, 20, 20);
    connect(m_quitButton, &QAbstractButton::clicked, this, [this] { closeRateWindow(this); });
    connect(m_view, &RateDialogView::closeRequested, this, [this] { closeRateWindow(this); });
    connect(this, &QDialog::finished, this, &QObject::deleteLater);

    // The window itself holds the focus at first, so that no star opens with a focus ring;
    // Tab reaches the stars and the close button.
    setFocusPolicy(Qt::StrongFocus);
    setFocus();
    setFixedSize(kWidth,
                 layout->hasHeightForWidth() ? layout->totalHeightForWidth(kWidth) : layout->totalSizeHint().height());
    QPainterPath outline;
    outline.addRect(QRectF(rect()));
    m_chrome->setOutline(outline);
}

void RateDialgoWC::showWindowByUser()
{
    showWindowByUser(RateDialogServices::process());
}

void RateDialgoWC::showWindowByUser(const RateDialogServices &services)
{
    Settings(services.defaults)
        .notifyRateDialogDataThatRateDialogShowedAutomatically(false, services.clock.currentDateTime());
    pleaseShowWindow(services);
}

void RateDialgoWC::pleaseShowWindow(const RateDialogServices &services)
{
    MainQueue::async([services] { pleaseShowWindowSafe(services); });
}

RateDialgoWC *RateDialgoWC::pleaseShowWindowSafe(const RateDialogServices &services)
{
    if (RateDialgoWC *earlier = shownDialog()) closeRateWindow(earlier);
    auto *dialog = new RateDialgoWC(services);
    shownDialog() = dialog;
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->m_chrome->prepareToShow();
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
    return dialog;
}

void RateDialgoWC::closeRateWindow(QWidget *window)
{
    if (window == nullptr) return;
    if (auto *dialog = qobject_cast<QDialog *>(window)) {
        dialog->done(QDialog::Rejected);
    } else {
        window->close();
    }
}

RateDialgoWC *RateDialgoWC::current()
{
    RateDialgoWC *dialog = shownDialog();
    return dialog != nullptr && dialog->isVisible() ? dialog : nullptr;
}

} // namespace lurkel
