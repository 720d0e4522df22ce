#include "NamedColors.h"

#include <QGuiApplication>

#include <array>

namespace lurkel {

namespace {

struct Entry {
    NamedColor id;
    const char *name;
    QRgb light;
    QRgb dark;
};

// Light variants first; the dark ones keep the same role at a contrast that reads on a
// dark window. Translucent fills lie over whatever the control sits on.
constexpr std::array kTable{
    Entry{NamedColor::RowText, "rowText", qRgb(77, 77, 77), qRgb(224, 224, 224)},
    Entry{NamedColor::RowTextDimmed, "rowTextDimmed", qRgb(168, 168, 168), qRgb(140, 140, 140)},
    Entry{NamedColor::RowTextSelected, "rowTextSelected", qRgb(255, 255, 255), qRgb(255, 255, 255)},
    Entry{NamedColor::AccentText, "accentText", qRgb(44, 124, 193), qRgb(106, 174, 235)},
    Entry{NamedColor::IconInk, "iconInk", qRgb(98, 98, 98), qRgb(200, 200, 200)},
    Entry{NamedColor::IconInkHover, "iconInkHover", qRgb(44, 124, 193), qRgb(106, 174, 235)},
    Entry{NamedColor::IconInkPressed, "iconInkPressed", qRgb(24, 84, 140), qRgb(165, 208, 246)},
    Entry{NamedColor::IconInkSelected, "iconInkSelected", qRgb(255, 255, 255), qRgb(255, 255, 255)},
    Entry{NamedColor::IconInkDisabled, "iconInkDisabled", qRgb(190, 190, 190), qRgb(95, 95, 95)},
    Entry{NamedColor::ControlHoverFill, "controlHoverFill", qRgba(0, 0, 0, 20), qRgba(255, 255, 255, 28)},
    Entry{NamedColor::ControlPressedFill, "controlPressedFill", qRgba(0, 0, 0, 46), qRgba(255, 255, 255, 56)},
    Entry{NamedColor::ControlCheckedFill, "controlCheckedFill", qRgba(44, 124, 193, 40), qRgba(106, 174, 235, 60)},
    Entry{NamedColor::BreadcrumbText, "breadcrumbText", qRgb(77, 77, 77), qRgb(224, 224, 224)},
    Entry{NamedColor::BreadcrumbSeparator, "breadcrumbSeparator", qRgb(150, 150, 150), qRgb(125, 125, 125)},
    Entry{NamedColor::SecondaryText, "secondaryText", qRgb(110, 110, 110), qRgb(165, 165, 165)},
    Entry{NamedColor::PreviewBackground, "previewBackground", qRgb(250, 250, 250), qRgb(36, 36, 36)},
    Entry{NamedColor::PreviewText, "previewText", qRgb(34, 34, 34), qRgb(228, 228, 228)},
    Entry{NamedColor::SpinnerInk, "spinnerInk", qRgb(77, 77, 77), qRgb(224, 224, 224)},
};

constexpr std::array kAll = [] {
    std::array<NamedColor, kTable.size()> ids{};
    for (std::size_t i = 0; i < kTable.size(); ++i)
        ids[i] = kTable[i].id;
    return ids;
}();

const Entry &entryFor(NamedColor id)
{
    for (const Entry &entry : kTable) {
        if (entry.id == id) return entry;
    }
    return kTable.front();
}

} // namespace

QColor NamedColors::color(NamedColor name)
{
    return color(name, QGuiApplication::palette());
}

QColor NamedColors::color(NamedColor name, const QPalette &palette)
{
    return color(name, isDark(palette));
}

QColor NamedColors::color(NamedColor name, bool dark)
{
    const Entry &entry = entryFor(name);
    return QColor::fromRgba(dark ? entry.dark : entry.light);
}

bool NamedColors::isDark(const QPalette &palette)
{
    return palette.color(QPalette::Active, QPalette::WindowText).lightness() >
           palette.color(QPalette::Active, QPalette::Window).lightness();
}

QString NamedColors::name(NamedColor name)
{
    return QString::fromLatin1(entryFor(name).name);
}

std::optional<NamedColor> NamedColors::fromName(const QString &name)
{
    for (const Entry &entry : kTable) {
        if (name == QLatin1String(entry.name)) return entry.id;
    }
    return std::nullopt;
}

std::span<const NamedColor> NamedColors::all()
{
    return kAll;
}

} // namespace lurkel
