#include "PanelWindowInfoLabel.h"

#include <QGuiApplication>

namespace lurkel {

PanelWindowInfoLabel::PanelWindowInfoLabel(QWidget *parent) : ClickableLabel(parent)
{
    setFonts(normalLabelFont(), hoveredLabelFont());
    connect(this, &ClickableLabel::clicked, this, [this] {
        if (m_onClick) m_onClick();
    });
}

QFont PanelWindowInfoLabel::normalLabelFont()
{
    // The desktop's own font where neither is installed.
    QFont font = QGuiApplication::font();
    font.setFamilies({QStringLiteral("HelveticaNeue"), QStringLiteral("Helvetica Neue"), font.family()});
    font.setPixelSize(12);
    return font;
}

QFont PanelWindowInfoLabel::hoveredLabelFont()
{
    QFont font = normalLabelFont();
    font.setWeight(QFont::Medium);
    return font;
}

} // namespace lurkel
