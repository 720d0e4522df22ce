#pragma once

#include "NamedColors.h"

#include <QAbstractButton>

namespace lurkel {

// A button that reads like a link: its title in the accent colour, underlined while the
// mouse is over it, with the pointing-hand cursor. Tab gives it the focus (with a ring); a
// click does not.
class LinkButton : public QAbstractButton {
    Q_OBJECT

public:
    explicit LinkButton(QWidget *parent = nullptr);
    explicit LinkButton(const QString &title, QWidget *parent = nullptr);

    // The title's colour (the accent colour unless set).
    void setTitleColor(NamedColor color);
    Qt::Alignment alignment() const { return m_alignment; }
    void setAlignment(Qt::Alignment alignment);

    bool isHovered() const { return m_hovered; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void setHovered(bool hovered);

    NamedColor m_titleColor = NamedColor::AccentText;
    Qt::Alignment m_alignment = Qt::AlignLeft | Qt::AlignVCenter;
    bool m_hovered = false;
};

} // namespace lurkel
