#include "PanelImages.h"

#include <QFile>
#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>

#include <cmath>
#include <mutex>

// Q_INIT_RESOURCE must be used outside any namespace.
static void initPanelQrc()
{
    Q_INIT_RESOURCE(panel);
}

namespace lurkel {

void initPanelResources()
{
    static std::once_flag once;
    std::call_once(once, initPanelQrc);
}

bool PanelImages::contains(const QString &name)
{
    initPanelResources();
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) &&
           QFile::exists(QStringLiteral(":/panel/images/%1.svg").arg(name));
}

QString PanelImages::resourcePath(const QString &name)
{
    return contains(name) ? QStringLiteral(":/panel/images/%1.svg").arg(name) : QString();
}

QSize PanelImages::naturalSize(const QString &name)
{
    const QString path = resourcePath(name);
    if (path.isEmpty()) return {};
    return QSvgRenderer(path).defaultSize();
}

QPixmap PanelImages::pixmap(const QString &name, const QSize &size, qreal devicePixelRatio)
{
    const QString path = resourcePath(name);
    if (path.isEmpty() || size.isEmpty()) return {};
    const qreal ratio = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    const QSize deviceSize(static_cast<int>(std::ceil(size.width() * ratio)),
                           static_cast<int>(std::ceil(size.height() * ratio)));
    const QString key =
        QStringLiteral("lurkel-panel:%1:%2x%3").arg(name).arg(deviceSize.width()).arg(deviceSize.height());
    QPixmap result;
    if (!QPixmapCache::find(key, &result)) {
        QImage image(deviceSize, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QSvgRenderer renderer(path);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(deviceSize)));
        painter.end();
        result = QPixmap::fromImage(image);
        QPixmapCache::insert(key, result);
    }
    result.setDevicePixelRatio(ratio);
    return result;
}

} // namespace lurkel
