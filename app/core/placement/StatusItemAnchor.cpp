#include "StatusItemAnchor.h"

namespace lurkel {

std::optional<QRect> StatusItemAnchor::usableIconGeometry(const QRect &geometry)
{
    if (!geometry.isValid() || geometry.isEmpty() || geometry.topLeft() == QPoint(0, 0)) return std::nullopt;
    return geometry;
}

} // namespace lurkel
