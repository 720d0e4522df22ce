#pragma once

#include "NamedColors.h"

#include <QAbstractButton>
#include <QSize>
#include <QString>

#include <optional>

namespace lurkel {

// A flat button that follows the mouse: it shows one image at rest, another while the
// mouse is over it and a third while it is pressed (toolkit image names, see UiImages),
// with an optional title beside the image. It takes the keyboard focus from Tab only (and
// shows a focus ring then), so a click leaves the focus where the user had it; Space
// presses it.
class TrackingButton : public QAbstractButton {
    Q_OBJECT

public:
    enum class State { Normal, Hover, Pressed };

    explicit TrackingButton(QWidget *parent = nullptr);
    // An empty hover or pressed name means "the same image as at rest".
    TrackingButton(const QString &normalImage, const QString &hoverImage, const QString &pressedImage,
                   QWidget *parent = nullptr);

    void setImages(const QString &normalImage, const QString &hoverImage = {}, const QString &pressedImage = {});
    // The image drawn in a state (after the fallbacks).
    QString imageFor(State state) const;

    // Size of the image in device-independent pixels (16 x 16 unless set).
    QSize imageSize() const { return m_imageSize; }
    void setImageSize(const QSize &size);

    // The title's colour; without one, the palette's button text.
    void setTitleColor(std::optional<NamedColor> color);
    // A rounded fill behind the button under the mouse, pressed, and when checked.
    void setDrawsBackground(bool draws);

    // What the button shows now: Pressed while the mouse button is down on it (and the
    // mouse still over it), Hover while the mouse is over it, Normal otherwise.
    State trackingState() const;
    bool isHovered() const { return m_hovered; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    void hoveredChanged(bool hovered);

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void setHovered(bool hovered);
    int spacing() const;
    QMargins contentMargins() const;

    QString m_normalImage;
    QString m_hoverImage;
    QString m_pressedImage;
    QSize m_imageSize{16, 16};
    std::optional<NamedColor> m_titleColor;
    bool m_drawsBackground = false;
    bool m_hovered = false;
};

} // namespace lurkel
