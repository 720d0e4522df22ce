#pragma once

#include <QPixmap>
#include <QSize>
#include <QString>

namespace lurkel {

// Registers the compiled-in resources of the panel and the welcome dialog (their images
// and English string tables). Safe to call any number of times; the panel's classes call
// it themselves.
void initPanelResources();

// The panel's and the welcome dialog's own pictures, drawn in their own colours (unlike
// the toolkit's one-colour glyphs): the clean-memory button with its hover, pressed and
// mask images, the red close button and the welcome arrow. SVG resources, rendered at the
// device size so they stay crisp at any scale.
class PanelImages {
public:
    PanelImages() = delete;

    static bool contains(const QString &name);
    // ":/panel/images/NAME.svg"; empty for an unknown name.
    static QString resourcePath(const QString &name);
    // The drawing's own size in device-independent pixels; empty for an unknown name.
    static QSize naturalSize(const QString &name);
    // The image at size for a screen of the given pixel ratio; null for an unknown name.
    static QPixmap pixmap(const QString &name, const QSize &size, qreal devicePixelRatio);
};

} // namespace lurkel
