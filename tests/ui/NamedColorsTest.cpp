#include "NamedColors.h"
#include "UiImages.h"

#include "QtPrinters.h"

#include <QPalette>

#include <gtest/gtest.h>

#include <cmath>

using lurkel::NamedColor;
using lurkel::NamedColors;
using lurkel::UiImages;

namespace {

double luminance(const QColor &color)
{
    auto channel = [](double c) { return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) + 0.0722 * channel(color.blueF());
}

double contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QPalette themePalette(bool dark)
{
    QPalette palette;
    const QColor text = dark ? QColor(235, 235, 235) : QColor(20, 20, 20);
    palette.setColor(QPalette::Window, dark ? QColor(45, 45, 45) : QColor(239, 239, 239));
    palette.setColor(QPalette::Base, dark ? QColor(30, 30, 30) : QColor(255, 255, 255));
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Text, text);
    return palette;
}

// The most opaque pixel's colour, un-premultiplied: the ink of a one-colour glyph.
QColor inkOf(const QPixmap &pixmap)
{
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    QRgb best = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > qAlpha(best)) best = image.pixel(x, y);
    return QColor::fromRgba(best);
}

} // namespace

TEST(NamedColors, TextAndGlyphsReadOnBothThemes)
{
    for (const bool dark : {false, true}) {
        const QPalette palette = themePalette(dark);
        const QColor base = palette.color(QPalette::Base), window = palette.color(QPalette::Window);
        const QColor preview = NamedColors::color(NamedColor::PreviewBackground, palette);
        EXPECT_GE(contrast(NamedColors::color(NamedColor::RowText, palette), base), 4.5) << dark;
        EXPECT_GE(contrast(NamedColors::color(NamedColor::BreadcrumbText, palette), window), 4.5) << dark;
        EXPECT_GE(contrast(NamedColors::color(NamedColor::PreviewText, palette), preview), 7.0) << dark;
        EXPECT_GE(contrast(NamedColors::color(NamedColor::SecondaryText, palette), preview), 4.5) << dark;
        // Dimmed rows are meant to recede, yet stay legible.
        EXPECT_GE(contrast(NamedColors::color(NamedColor::RowTextDimmed, palette), base), 2.2) << dark;
        for (NamedColor ink : {NamedColor::IconInk, NamedColor::IconInkHover, NamedColor::IconInkPressed,
                               NamedColor::AccentText, NamedColor::SpinnerInk}) {
            EXPECT_GE(contrast(NamedColors::color(ink, palette), window), 3.0)
                << NamedColors::name(ink).toStdString() << " dark=" << dark;
        }
    }
}

TEST(UiImages, EveryImageDrawsCrispInItsColourOnBothThemes)
{
    ASSERT_FALSE(UiImages::names().isEmpty());
    for (const QString &name : UiImages::names()) {
        for (const bool dark : {false, true}) {
            const QPalette palette = themePalette(dark);
            for (const qreal ratio : {1.0, 2.0, 3.0}) {
                const QPixmap pixmap = UiImages::pixmap(name, QSize(16, 16), ratio, palette);
                ASSERT_FALSE(pixmap.isNull()) << name.toStdString();
                // Drawn at the device size, not scaled up from a small bitmap.
                EXPECT_EQ(pixmap.size(), QSize(16, 16) * ratio) << name.toStdString();
                EXPECT_EQ(pixmap.devicePixelRatio(), ratio);
            }
            // Big enough for solid strokes: the ink is exactly the image's named colour.
            const QPixmap large = UiImages::pixmap(name, QSize(48, 48), 1.0, palette);
            EXPECT_EQ(inkOf(large).rgb(), NamedColors::color(UiImages::tint(name), palette).rgb())
                << name.toStdString() << " dark=" << dark;
        }
    }
    EXPECT_TRUE(UiImages::pixmap(QStringLiteral("nothing"), QSize(16, 16), 1.0, QPalette()).isNull());
}
