#include "OnOffSwitch.h"

#include "NamedColors.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVariantAnimation>

#include <algorithm>
#include <cmath>

namespace lurkel {

OnOffSwitch::OnOffSwitch(QWidget *parent) : QAbstractButton(parent), m_animation(new QVariantAnimation(this))
{
    setCheckable(true);
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_animation->setEasingCurve(QEasingCurve::InOutQuad);
    connect(m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        m_knob = value.toReal();
        update();
    });
}

void OnOffSwitch::setAnimationDuration(int ms)
{
    m_animationMs = ms < 0 ? 0 : ms;
}

bool OnOffSwitch::isAnimating() const
{
    return m_animation->state() == QAbstractAnimation::Running;
}

QSize OnOffSwitch::sizeHint() const
{
    return {38, 22};
}

void OnOffSwitch::checkStateSet()
{
    // setChecked() from code, and the end of a click (through nextCheckState()).
    moveKnob();
}

void OnOffSwitch::nextCheckState()
{
    QAbstractButton::nextCheckState();
    moveKnob();
}

void OnOffSwitch::moveKnob()
{
    const qreal target = isChecked() ? 1.0 : 0.0;
    m_animation->stop();
    if (m_animationMs == 0 || !isVisible() || qFuzzyCompare(m_knob + 1.0, target + 1.0)) {
        m_knob = target;
        update();
        return;
    }
    m_animation->setStartValue(m_knob);
    m_animation->setEndValue(target);
    // A knob half-way back takes half the time.
    m_animation->setDuration(std::max(1, static_cast<int>(m_animationMs * std::abs(target - m_knob))));
    m_animation->start();
}

bool OnOffSwitch::hitButton(const QPoint &pos) const
{
    return rect().contains(pos);
}

void OnOffSwitch::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::EnabledChange || event->type() == QEvent::PaletteChange) update();
    QAbstractButton::changeEvent(event);
}

void OnOffSwitch::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette &pal = palette();
    if (!isEnabled()) painter.setOpacity(0.45);

    // The track keeps the proportions of the size hint and is centred in the widget.
    const QSizeF hint = sizeHint();
    const qreal scale = std::min(width() / hint.width(), height() / hint.height());
    const QSizeF trackSize = hint * scale;
    const QRectF track(QPointF((width() - trackSize.width()) / 2.0, (height() - trackSize.height()) / 2.0), trackSize);
    const qreal radius = track.height() / 2.0;

    // Off and on colours blend while the knob slides.
    const QColor off = NamedColors::color(NamedColor::SwitchOffFill, pal);
    const QColor on = NamedColors::color(NamedColor::SwitchOnFill, pal);
    const auto mix = [this](int a, int b) { return static_cast<int>(std::lround(a + (b - a) * m_knob)); };
    const QColor fill(mix(off.red(), on.red()), mix(off.green(), on.green()), mix(off.blue(), on.blue()));
    QPainterPath trackPath;
    trackPath.addRoundedRect(track, radius, radius);
    painter.fillPath(trackPath, fill);

    const qreal inset = 2.0 * scale;
    const qreal knobDiameter = track.height() - 2.0 * inset;
    const qreal travel = track.width() - 2.0 * inset - knobDiameter;
    const QRectF knob(track.left() + inset + travel * m_knob, track.top() + inset, knobDiameter, knobDiameter);
    painter.setPen(QPen(QColor(0, 0, 0, 40), 0.8));
    painter.setBrush(NamedColors::color(NamedColor::SwitchKnob, pal));
    painter.drawEllipse(knob);

    if (hasFocus()) {
        painter.setOpacity(1.0);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(pal.color(QPalette::Highlight), 1.5));
        painter.drawRoundedRect(track.adjusted(-1.5, -1.5, 1.5, 1.5), radius + 1.5, radius + 1.5);
    }
}

} // namespace lurkel
