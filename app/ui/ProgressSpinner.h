#pragma once

#include <QBasicTimer>
#include <QWidget>

namespace lurkel {

// The busy indicator of a running search: spokes around a centre, the brightest one
// moving round while it runs. Draws nothing while stopped.
class ProgressSpinner : public QWidget {
    Q_OBJECT

public:
    static constexpr int kSpokes = 12;
    static constexpr int kFrameMs = 80;

    explicit ProgressSpinner(QWidget *parent = nullptr);

    void startAnimation();
    void stopAnimation();
    bool isAnimating() const { return m_timer.isActive(); }
    // The spoke drawn brightest now (0 .. kSpokes-1).
    int frame() const { return m_frame; }

    QSize sizeHint() const override { return {16, 16}; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void timerEvent(QTimerEvent *event) override;

private:
    QBasicTimer m_timer;
    int m_frame = 0;
};

} // namespace lurkel
