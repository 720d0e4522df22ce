#include "RateStarButton.h"

#include "RateDialogView.h"

#include <QPainter>
#include <QSvgRenderer>

namespace lurkel {

RateStarButton::RateStarButton(RateDialogView *rateDialog, QWidget *parent)
    : QAbstractButton(parent), m_pRateDialog(rateDialog)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
}

void RateStarButton::setImageName(const QString &name)
{
    if (name == m_imageName) return;
    m_imageName = name;
    update();
}

QSize RateStarButton::sizeHint() const
{
    return {36, 36};
}

void RateStarButton::paintEvent(QPaintEvent * /*event*/)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QSvgRenderer renderer(QStringLiteral(":/promo-rate/%1.svg").arg(m_imageName));
    const int side = qMin(width(), height()) - 4;
    const QRect target((width() - side) / 2, (height() - side) / 2, side, side);
    renderer.render(&painter, target);
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1.5));
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 4, 4);
    }
}

void RateStarButton::enterEvent(QEnterEvent *event)
{
    QAbstractButton::enterEvent(event);
    if (m_pRateDialog != nullptr) m_pRateDialog->onMouseEnteredButton(this);
}

void RateStarButton::leaveEvent(QEvent *event)
{
    QAbstractButton::leaveEvent(event);
    if (m_pRateDialog != nullptr) m_pRateDialog->onMouseExitButton(this);
}

} // namespace lurkel
