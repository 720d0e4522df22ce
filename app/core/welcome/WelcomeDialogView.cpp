#include "WelcomeDialogView.h"

#include "NamedColors.h"
#include "PanelImages.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QVariantAnimation>

#include <algorithm>
#include <cmath>

namespace lurkel {
namespace {

constexpr QSize kArrowSize(40, 64);

qreal cubic(qreal p0, qreal p1, qreal p2, qreal p3, qreal t)
{
    const qreal u = 1.0 - t;
    return u * u * u * p0 + 3.0 * u * u * t * p1 + 3.0 * u * t * t * p2 + t * t * t * p3;
}

} // namespace

WelcomeDialogView::WelcomeDialogView(QWidget *parent)
    : QWidget(parent), m_arrow(new QLabel(this)), m_animation(new QVariantAnimation(this))
{
    initPanelResources();
    setAttribute(Qt::WA_TranslucentBackground);
    m_arrow->setFixedSize(kArrowSize);
    m_arrow->setAttribute(Qt::WA_TranslucentBackground);
    m_arrow->setPixmap(PanelImages::pixmap(QStringLiteral("welcome_arrow"), kArrowSize, devicePixelRatioF()));
    m_animation->setStartValue(0.0);
    m_animation->setEndValue(1.0);
    connect(m_animation, &QVariantAnimation::valueChanged, this,
            [this](const QVariant &value) { placeArrow(arrowPathY(m_roundStartY, value.toReal())); });
    connect(m_animation, &QVariantAnimation::finished, this, [this] {
        // The first appearance keeps its end and hands over to the loop.
        if (m_inFirstAppearance) arrowContinuousAnimation();
    });
    // On load the arrow stands at its starting height.
    placeArrow(kFirstStartY);
}

qreal WelcomeDialogView::arrowPathY(qreal startY, qreal progress)
{
    const qreal p = std::clamp(progress, 0.0, 1.0);
    const qreal scaled = p * kCurveCount;
    const int curve = std::min(static_cast<int>(scaled), kCurveCount - 1);
    const qreal t = scaled - curve;
    const qreal from = curve == 0 ? startY : kEndY;
    return cubic(from, kControlY, kControlY, kEndY, t);
}

void WelcomeDialogView::setArrowX(int x)
{
    m_arrowX = std::clamp(x, kArrowSize.width() / 2, kWidth - kArrowSize.width() / 2);
    placeArrow(m_arrowUpwardY);
}

void WelcomeDialogView::setArrowShown(bool shown)
{
    m_arrowShown = shown;
    m_arrow->setVisible(shown);
    if (!shown) stopArrowAnimation();
    Q_EMIT outlineChanged();
}

QPointF WelcomeDialogView::arrowCenter() const
{
    return {static_cast<qreal>(m_arrowX), kHeight - m_arrowUpwardY};
}

void WelcomeDialogView::placeArrow(qreal upwardY)
{
    m_arrowUpwardY = upwardY;
    const QPointF centre = arrowCenter();
    m_arrow->move(static_cast<int>(std::lround(centre.x() - kArrowSize.width() / 2.0)),
                  static_cast<int>(std::lround(centre.y() - kArrowSize.height() / 2.0)));
    Q_EMIT outlineChanged();
}

void WelcomeDialogView::arrowFirstAppearanceAnimation()
{
    m_animation->stop();
    if (!m_arrowShown) return;
    m_inFirstAppearance = true;
    m_roundStartY = kFirstStartY;
    placeArrow(kFirstStartY);
    m_animation->setDuration(m_roundMs);
    m_animation->setLoopCount(1);
    m_animation->start();
}

void WelcomeDialogView::arrowContinuousAnimation()
{
    m_animation->stop();
    if (!m_arrowShown) return;
    m_inFirstAppearance = false;
    m_roundStartY = kEndY;
    m_animation->setDuration(m_roundMs);
    m_animation->setLoopCount(kBounceRounds);
    m_animation->start();
}

void WelcomeDialogView::stopArrowAnimation()
{
    m_inFirstAppearance = false;
    m_animation->stop();
}

void WelcomeDialogView::hideEvent(QHideEvent *event)
{
    stopArrowAnimation();
    QWidget::hideEvent(event);
}

void WelcomeDialogView::setRoundDuration(int ms)
{
    m_roundMs = std::max(1, ms);
}

QPainterPath WelcomeDialogView::outline() const
{
    QPainterPath path;
    path.addRoundedRect(QRectF(kCardRect), 10, 10);
    if (!m_arrowShown) return path;
    // The arrow's own shape (as drawn in "welcome_arrow"), a little wider for its stroke.
    const QPointF at = m_arrow->pos();
    QPolygonF arrow({{20, 0}, {40, 24.5}, {28, 24.5}, {28, 64}, {12, 64}, {12, 24.5}, {0, 24.5}});
    path.addPolygon(arrow.translated(at));
    return path.simplified();
}

void WelcomeDialogView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette &pal = palette();
    QPainterPath card;
    card.addRoundedRect(QRectF(kCardRect).adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);
    painter.fillPath(card, NamedColors::color(NamedColor::PanelBackground, pal));
    painter.setPen(QPen(NamedColors::color(NamedColor::PanelBorder, pal), 1.0));
    painter.drawPath(card);
}

} // namespace lurkel
