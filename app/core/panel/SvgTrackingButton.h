#pragma once

#include "TrackingButton.h"

#include <QString>

namespace lurkel {

// A tracking button whose pictures are the panel's own colour images (PanelImages) rather
// than the toolkit's tinted glyphs: one at rest, one under the mouse, one while pressed,
// the image filling the button. A title is drawn centred over the image. With tracking
// off the button shows its main image only and draws nothing of the mouse.
class SvgTrackingButton : public TrackingButton {
    Q_OBJECT

public:
    explicit SvgTrackingButton(QWidget *parent = nullptr);

    // An empty hover or pressed name means "the same image as at rest".
    void setSvgImages(const QString &main, const QString &hover = {}, const QString &pressed = {});
    // The image drawn now (after the fallbacks and the tracking rule).
    QString currentImage() const;

    bool isTrackingEnabled() const { return m_tracking; }
    void setTrackingEnabled(bool tracking);

    // The title's colour and its shift upwards from the centre (the baseline offset).
    void setTitleColor(const QColor &color);
    void setTitleBaselineOffset(int offset);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    // Drawn between the image and the title (the clean button's progress).
    virtual void paintOverImage(QPainter &painter);
    void drawTitle(QPainter &painter);

private:
    QString m_main;
    QString m_hover;
    QString m_pressed;
    QColor m_titleColor;
    int m_baselineOffset = 0;
    bool m_tracking = true;
};

} // namespace lurkel
