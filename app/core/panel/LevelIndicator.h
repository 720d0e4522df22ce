#pragma once

#include <QColor>
#include <QWidget>

namespace lurkel {

// The memory bar: a rectangle in the track colour with a 1-point border, filled from the
// left to the stored fraction. A value of 0.99 or more is stored as 1.0, so a bar that is
// as good as full is drawn full.
class LevelIndicator : public QWidget {
    Q_OBJECT

public:
    explicit LevelIndicator(QWidget *parent = nullptr);

    QColor fillColor() const { return m_fillColor; }
    void setFillColor(const QColor &color);
    double doubleValue() const { return m_doubleValue; }
    void setDoubleValue(double value);

    QSize sizeHint() const override { return {220, 10}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_fillColor;
    double m_doubleValue = 0.0;
};

} // namespace lurkel
