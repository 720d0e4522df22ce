#pragma once

#include <QAbstractButton>

class QVariantAnimation;

namespace lurkel {

// The on/off switch: a rounded track with a round knob that slides to the right when the
// switch is on. A click (or Space) toggles it and emits clicked(); setChecked() from code
// moves the knob without a click signal, so a switch bound to a model follows the model
// without sending its change back. Off, the track is grey; on, it takes the switch colour;
// disabled, the whole control fades.
class OnOffSwitch : public QAbstractButton {
    Q_OBJECT

public:
    static constexpr int kDefaultAnimationMs = 120;

    explicit OnOffSwitch(QWidget *parent = nullptr);

    // How long the knob takes to slide; 0 makes it jump.
    void setAnimationDuration(int ms);

    bool isAnimating() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void checkStateSet() override;
    void nextCheckState() override;
    bool hitButton(const QPoint &pos) const override;
    void changeEvent(QEvent *event) override;

private:
    void moveKnob();

    QVariantAnimation *m_animation;
    int m_animationMs = kDefaultAnimationMs;
    qreal m_knob = 0.0;
};

} // namespace lurkel
