#pragma once

#include <QLabel>
#include <QRect>
#include <QWidget>

class QVariantAnimation;

namespace lurkel {

// The welcome dialog's content: a card with the texts and, above it, an arrow that bounces
// and points up at the tray icon. The view itself is see-through; only the card and the
// arrow are drawn.
//
// The arrow's path is given in upward coordinates (y grows upwards from the
// view's bottom; the arrow's centre is its position): the first appearance starts at
// y 350 and runs three cubic curves, each with both control points at y 500 and ending at
// y 440, in 1.7 s; then the same three curves from y 440 run again, 1.7 s a round, for
// kBounceRounds rounds, and the arrow rests at y 440: a dialog left open costs nothing.
// Hiding the view stops it too. The durations can be changed (tests step the animations
// by hand).
class WelcomeDialogView : public QWidget {
    Q_OBJECT

public:
    static constexpr int kWidth = 320;
    static constexpr int kHeight = 540;
    static constexpr qreal kFirstStartY = 350.0;
    static constexpr qreal kControlY = 500.0;
    static constexpr qreal kEndY = 440.0;
    static constexpr int kCurveCount = 3;
    static constexpr int kRoundMs = 1700;
    static constexpr int kBounceRounds = 4;
    // The card under the arrow (view coordinates).
    static constexpr QRect kCardRect{10, 232, kWidth - 20, kHeight - 232 - 10};

    explicit WelcomeDialogView(QWidget *parent = nullptr);

    QLabel *arrowImageView() const { return m_arrow; }

    // The arrow's upward y on the three-curve path that starts (and each curve ends) as
    // described, at progress 0..1 of a round.
    static qreal arrowPathY(qreal startY, qreal progress);

    // The x the arrow stands at (its centre, view coordinates); the view's middle unless set.
    void setArrowX(int x);
    // Whether the arrow is there at all: without a known place of the tray icon the dialog
    // points at nothing rather than at a guess.
    void setArrowShown(bool shown);
    bool isArrowShown() const { return m_arrowShown; }
    int arrowX() const { return m_arrowX; }
    // The arrow's centre now, in view coordinates.
    QPointF arrowCenter() const;

    void arrowFirstAppearanceAnimation();
    void arrowContinuousAnimation();
    void stopArrowAnimation();
    QVariantAnimation *arrowAnimation() const { return m_animation; }
    // Which animation runs: the first appearance, the loop, or none.
    void setRoundDuration(int ms);

    // What is drawn: the card and, when shown, the arrow where it is now.
    QPainterPath outline() const;

Q_SIGNALS:
    void outlineChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void placeArrow(qreal upwardY);

    QLabel *m_arrow;
    QVariantAnimation *m_animation;
    int m_arrowX = kWidth / 2;
    qreal m_arrowUpwardY = kFirstStartY;
    qreal m_roundStartY = kFirstStartY;
    bool m_inFirstAppearance = false;
    bool m_arrowShown = true;
    int m_roundMs = kRoundMs;
};

} // namespace lurkel
