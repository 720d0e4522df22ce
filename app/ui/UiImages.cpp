#include "UiImages.h"

#include <QGuiApplication>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>

#include <array>
#include <cmath>
#include <mutex>

// Q_INIT_RESOURCE must be used outside any namespace.
static void initUiQrc()
{
    Q_INIT_RESOURCE(ui);
}

namespace lurkel {

void initUiResources()
{
    static std::once_flag once;
    std::call_once(once, initUiQrc);
}

namespace {

struct ImageEntry {
    const char *name;
    const char *glyph; // file name in resources/images, without ".svg"
    NamedColor tint;
};

// Plain names are the resting look; "_hover" and "_click" (also "_hover_3" of the filter
// buttons) the look under the mouse and while pressed; "_w" the look on a selected row.
constexpr std::array kImages{
    // Name-cell buttons and the preview window's controls.
    ImageEntry{"reveal", "reveal", NamedColor::IconInk},
    ImageEntry{"reveal_hover", "reveal", NamedColor::IconInkHover},
    ImageEntry{"reveal_click", "reveal", NamedColor::IconInkPressed},
    ImageEntry{"preview", "preview", NamedColor::IconInk},
    ImageEntry{"preview_hover", "preview", NamedColor::IconInkHover},
    ImageEntry{"preview_click", "preview", NamedColor::IconInkPressed},
    ImageEntry{"info", "info", NamedColor::IconInk},
    ImageEntry{"info_hover", "info", NamedColor::IconInkHover},
    ImageEntry{"info_click", "info", NamedColor::IconInkPressed},
    ImageEntry{"previous", "chevron_left", NamedColor::IconInk},
    ImageEntry{"previous_hover", "chevron_left", NamedColor::IconInkHover},
    ImageEntry{"previous_click", "chevron_left", NamedColor::IconInkPressed},
    ImageEntry{"next", "chevron_right", NamedColor::IconInk},
    ImageEntry{"next_hover", "chevron_right", NamedColor::IconInkHover},
    ImageEntry{"next_click", "chevron_right", NamedColor::IconInkPressed},
    ImageEntry{"stop", "stop", NamedColor::IconInk},
    ImageEntry{"stop_hover", "stop", NamedColor::IconInkHover},
    ImageEntry{"stop_click", "stop", NamedColor::IconInkPressed},
    // Path bar.
    ImageEntry{"folder", "folder", NamedColor::IconInk},
    ImageEntry{"disk", "disk", NamedColor::IconInk},
    ImageEntry{"chevron", "chevron_right", NamedColor::BreadcrumbSeparator},
    // Action buttons of the results window.
    ImageEntry{"copy", "copy", NamedColor::IconInk},
    ImageEntry{"copy_hover", "copy", NamedColor::IconInkHover},
    ImageEntry{"copy_click", "copy", NamedColor::IconInkPressed},
    ImageEntry{"move", "move", NamedColor::IconInk},
    ImageEntry{"move_hover", "move", NamedColor::IconInkHover},
    ImageEntry{"move_click", "move", NamedColor::IconInkPressed},
    ImageEntry{"delete", "delete", NamedColor::IconInk},
    ImageEntry{"delete_hover", "delete", NamedColor::IconInkHover},
    ImageEntry{"delete_click", "delete", NamedColor::IconInkPressed},
    // Category filter buttons.
    ImageEntry{"files_1", "files", NamedColor::IconInk},
    ImageEntry{"files_hover_3", "files", NamedColor::IconInkHover},
    ImageEntry{"hidden_files_1", "hidden_files", NamedColor::IconInk},
    ImageEntry{"hidden_files_hover_3", "hidden_files", NamedColor::IconInkHover},
    ImageEntry{"box_1", "box", NamedColor::IconInk},
    ImageEntry{"box_hover_3", "box", NamedColor::IconInkHover},
    // Category column.
    ImageEntry{"icon_files", "files", NamedColor::IconInk},
    ImageEntry{"icon_files_w", "files", NamedColor::IconInkSelected},
    ImageEntry{"icon_hidden_files", "hidden_files", NamedColor::IconInk},
    ImageEntry{"icon_hidden_files_w", "hidden_files", NamedColor::IconInkSelected},
    ImageEntry{"icon_box", "box", NamedColor::IconInk},
    ImageEntry{"icon_box_w", "box", NamedColor::IconInkSelected},
    // The main panel: its title-band buttons, the disclosure of the memory section, the
    // search field's magnifier.
    ImageEntry{"settings", "gear", NamedColor::IconInk},
    ImageEntry{"settings_hover", "gear", NamedColor::IconInkHover},
    ImageEntry{"settings_click", "gear", NamedColor::IconInkPressed},
    // With news not read yet: the settings button's badge and the news button.
    ImageEntry{"settings_news", "gear_badge", NamedColor::AccentText},
    ImageEntry{"settings_news_hover", "gear_badge", NamedColor::IconInkHover},
    ImageEntry{"settings_news_click", "gear_badge", NamedColor::IconInkPressed},
    ImageEntry{"rss", "rss", NamedColor::IconInk},
    ImageEntry{"rss_hover", "rss", NamedColor::IconInkHover},
    ImageEntry{"rss_click", "rss", NamedColor::IconInkPressed},
    ImageEntry{"rss_1", "rss", NamedColor::AccentText},
    ImageEntry{"rss_1_hover", "rss", NamedColor::IconInkHover},
    ImageEntry{"rss_1_click", "rss", NamedColor::IconInkPressed},
    ImageEntry{"close", "close", NamedColor::IconInk},
    ImageEntry{"close_hover", "close", NamedColor::IconInkHover},
    ImageEntry{"close_click", "close", NamedColor::IconInkPressed},
    ImageEntry{"disclosure", "chevron_right", NamedColor::IconInk},
    ImageEntry{"disclosure_hover", "chevron_right", NamedColor::IconInkHover},
    ImageEntry{"disclosure_open", "chevron_down", NamedColor::IconInk},
    ImageEntry{"disclosure_open_hover", "chevron_down", NamedColor::IconInkHover},
    ImageEntry{"search", "search", NamedColor::SecondaryText},
    // The rate dialog's close button.
    ImageEntry{"btn_red", "close", NamedColor::IconInk},
    ImageEntry{"btn_red_select", "close", NamedColor::IconInkHover},
};

const ImageEntry *find(const QString &name)
{
    for (const ImageEntry &entry : kImages) {
        if (name == QLatin1String(entry.name)) return &entry;
    }
    return nullptr;
}

QString glyphPath(const ImageEntry &entry)
{
    return QStringLiteral(":/ui/images/%1.svg").arg(QLatin1String(entry.glyph));
}

// Draws the glyph into a transparent image of the device size and fills everything it
// covered with the colour, keeping the glyph's coverage (anti-aliasing, translucent parts).
QImage renderTinted(const ImageEntry &entry, const QSize &deviceSize, const QColor &color)
{
    QImage image(deviceSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QSvgRenderer renderer(glyphPath(entry));
    if (!renderer.isValid()) return image;
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // Keep the drawing's proportions in a frame of another shape.
    QSizeF box = renderer.viewBoxF().size();
    if (box.isEmpty()) box = QSizeF(deviceSize);
    box.scale(QSizeF(deviceSize), Qt::KeepAspectRatio);
    const QRectF target(QPointF((deviceSize.width() - box.width()) / 2.0, (deviceSize.height() - box.height()) / 2.0),
                        box);
    renderer.render(&painter, target);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), color);
    return image;
}

class TintedIconEngine final : public QIconEngine {
public:
    explicit TintedIconEngine(QString name) : m_name(std::move(name)) {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State) override
    {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        painter->drawPixmap(rect, UiImages::pixmap(m_name, rect.size(), ratio, colorFor(mode)));
    }
    // QIcon asks for the size in device pixels and sets the pixel ratio on the result.
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State) override
    {
        return UiImages::pixmap(m_name, size, 1.0, colorFor(mode));
    }
    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override { return size; }
    QIconEngine *clone() const override { return new TintedIconEngine(m_name); }
    QString key() const override { return QStringLiteral("lurkel-tinted-svg"); }
    QString iconName() override { return m_name; }
    bool isNull() override { return !UiImages::contains(m_name); }

private:
    QColor colorFor(QIcon::Mode mode) const
    {
        const QPalette palette = QGuiApplication::palette();
        switch (mode) {
        case QIcon::Disabled:
            return NamedColors::color(NamedColor::IconInkDisabled, palette);
        case QIcon::Selected:
            return NamedColors::color(NamedColor::IconInkSelected, palette);
        case QIcon::Normal:
        case QIcon::Active:
            break;
        }
        return NamedColors::color(UiImages::tint(m_name), palette);
    }

    QString m_name;
};

} // namespace

bool UiImages::contains(const QString &name)
{
    return find(name) != nullptr;
}

QStringList UiImages::names()
{
    QStringList list;
    list.reserve(static_cast<qsizetype>(kImages.size()));
    for (const ImageEntry &entry : kImages)
        list.append(QLatin1String(entry.name));
    return list;
}

QString UiImages::resourcePath(const QString &name)
{
    const ImageEntry *entry = find(name);
    return entry ? glyphPath(*entry) : QString();
}

NamedColor UiImages::tint(const QString &name)
{
    const ImageEntry *entry = find(name);
    return entry ? entry->tint : NamedColor::IconInk;
}

QPixmap UiImages::pixmap(const QString &name, const QSize &size, qreal devicePixelRatio, const QPalette &palette)
{
    return pixmap(name, size, devicePixelRatio, NamedColors::color(tint(name), palette));
}

QPixmap UiImages::pixmap(const QString &name, const QSize &size, qreal devicePixelRatio, const QColor &color)
{
    initUiResources();
    const ImageEntry *entry = find(name);
    if (entry == nullptr || size.isEmpty()) return {};
    const qreal ratio = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    const QSize deviceSize(static_cast<int>(std::ceil(size.width() * ratio)),
                           static_cast<int>(std::ceil(size.height() * ratio)));
    const QString cacheKey = QStringLiteral("lurkel-ui:%1:%2x%3:%4")
                                 .arg(QLatin1String(entry->glyph))
                                 .arg(deviceSize.width())
                                 .arg(deviceSize.height())
                                 .arg(color.rgba(), 8, 16, QLatin1Char('0'));
    QPixmap result;
    if (!QPixmapCache::find(cacheKey, &result)) {
        result = QPixmap::fromImage(renderTinted(*entry, deviceSize, color));
        QPixmapCache::insert(cacheKey, result);
    }
    result.setDevicePixelRatio(ratio);
    return result;
}

QIcon UiImages::icon(const QString &name)
{
    initUiResources();
    return QIcon(new TintedIconEngine(name));
}

} // namespace lurkel
