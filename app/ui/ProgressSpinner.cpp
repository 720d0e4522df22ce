#include "ProgressSpinner.h"

#include "NamedColors.h"

#include <QPainter>
#include <QTimerEvent>

#include <algorithm>

namespace lurkel {

ProgressSpinner::ProgressSpinner(QWidget *parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void ProgressSpinner::startAnimation()
{
    if (!m_timer.isActive()) m_timer.start(kFrameMs, this);
    update();
}

void ProgressSpinner::stopAnimation()
{
    m_timer.stop();
    update();
}

void ProgressSpinner::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_timer.timerId()) {
        QWidget::timerEvent(event);
        return;
    }
    m_frame = (m_frame + 1) % kSpokes;
    update();
}

void ProgressSpinner::paintEvent(QPaintEvent *)
{
    if (!isAnimating()) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal side = std::min(width(), height());
    const qreal outer = side / 2.0;
    const qreal inner = outer * 0.45;
    const qreal thickness = std::max<qreal>(1.5, side / 10.0);
    const QColor ink = NamedColors::color(NamedColor::SpinnerInk, palette());
    painter.translate(width() / 2.0, height() / 2.0);
    for (int i = 0; i < kSpokes; ++i) {
        // The spoke of the current frame is solid; the ones behind it fade out.
        const int age = (m_frame - i + kSpokes) % kSpokes;
        QColor color = ink;
        color.setAlphaF(std::max(0.15, 1.0 - age / static_cast<double>(kSpokes)));
        QPen pen(color, thickness, Qt::SolidLine, Qt::RoundCap);
        painter.setPen(pen);
        painter.save();
        painter.rotate(360.0 * i / kSpokes);
        painter.drawLine(QPointF(0, -inner), QPointF(0, -outer + thickness / 2.0));
        painter.restore();
    }
}

} // namespace lurkel
