#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>

#include <optional>

namespace lurkel {

// A text that acts as a button: while hover tracking is on, the mouse over it switches it
// to its hover font and a click emits clicked(). With tracking off it is plain text, and
// drawn disabled it shows in the palette's disabled colour and takes no clicks. The tag is
// the owner's note of what the label shows now.
class ClickableLabel : public QLabel {
    Q_OBJECT

public:
    explicit ClickableLabel(QWidget *parent = nullptr);

    // The fonts at rest and under the mouse; both are the widget's font until set.
    void setFonts(const QFont &normal, const QFont &hovered);

    bool isTrackingEnabled() const { return m_tracking; }
    void setTrackingEnabled(bool tracking);
    bool drawsDisabled() const { return m_drawsDisabled; }
    void setDrawsDisabled(bool disabled);

    // The text colour when drawn enabled; without one, the palette's window text.
    void setTextColor(std::optional<QColor> color);
    std::optional<QColor> textColor() const { return m_textColor; }

    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }

    // The mouse is over the label and tracking is on.
    bool isHovered() const { return m_hovered; }
    // Takes clicks now: tracking on and not drawn disabled.
    bool isClickable() const { return m_tracking && !m_drawsDisabled; }

Q_SIGNALS:
    void clicked();

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void setHovered(bool hovered);
    void applyLook();

    QFont m_normalFont;
    QFont m_hoveredFont;
    std::optional<QColor> m_textColor;
    bool m_tracking = true;
    bool m_drawsDisabled = false;
    bool m_hovered = false;
    bool m_pressed = false;
    int m_tag = 0;
};

} // namespace lurkel
