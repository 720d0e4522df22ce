#pragma once

#include "NamedColors.h"

#include <QColor>
#include <QIcon>
#include <QPalette>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <QStringList>

namespace lurkel {

// Registers the toolkit's compiled-in resources (the library is static, so its resources
// need an explicit start). Safe to call any number of times; the toolkit's own widgets
// call it themselves.
void initUiResources();

// The toolkit's images: small one-colour SVG glyphs, drawn at any size and tinted with a
// named colour at paint time, so they stay crisp at every scale and readable on light and
// dark themes. An image name may be a variant of a glyph ("copy", "copy_hover",
// "copy_click"): same drawing, a different named colour.
class UiImages {
public:
    UiImages() = delete;

    static bool contains(const QString &name);
    static QStringList names();
    // The SVG resource behind the name (":/ui/images/....svg"); empty for an unknown name.
    static QString resourcePath(const QString &name);
    // The named colour the image is painted in.
    static NamedColor tint(const QString &name);

    // The image at size (device-independent pixels) for a screen of the given pixel ratio,
    // in its named colour for the palette's theme. A null pixmap for an unknown name.
    static QPixmap pixmap(const QString &name, const QSize &size, qreal devicePixelRatio, const QPalette &palette);
    // The same in a colour of the caller's choice.
    static QPixmap pixmap(const QString &name, const QSize &size, qreal devicePixelRatio, const QColor &color);

    // An icon for actions and item views: drawn at whatever size is asked, in the image's
    // named colour for the application palette at that moment (disabled and selected
    // modes use those named colours).
    static QIcon icon(const QString &name);
};

} // namespace lurkel
