#pragma once

#include <QRectF>

class QPainter;
class QWidget;

namespace lurkel {

// The ring the flat controls draw around themselves while they have the keyboard focus
// (they have no frame of the style's to carry it): the palette's highlight, inside the
// widget's rectangle so nothing is clipped. Draws nothing without the focus.
void paintFocusRing(QPainter &painter, const QWidget &widget, qreal radius = 4.0);

} // namespace lurkel
