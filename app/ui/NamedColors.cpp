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
    Entry{NamedColor::PanelBackground, "panelBackground", qRgb(247, 247, 247), qRgb(43, 43, 45)},
    Entry{NamedColor::PanelBorder, "panelBorder", qRgb(178, 178, 178), qRgb(20, 20, 20)},
    Entry{NamedColor::PanelTitleBand, "panelTitleBand", qRgb(230, 230, 230), qRgb(58, 58, 61)},
    Entry{NamedColor::PanelSeparator, "panelSeparator", qRgb(206, 206, 206), qRgb(28, 28, 30)},
    Entry{NamedColor::PanelBandOn, "panelBandOn", qRgb(255, 255, 255), qRgb(70, 70, 74)},
    Entry{NamedColor::PanelBandOff, "panelBandOff", qRgb(224, 224, 224), qRgb(35, 35, 37)},
    Entry{NamedColor::PanelSubtitleText, "panelSubtitleText", qRgb(48, 48, 48), qRgb(214, 214, 214)},
    Entry{NamedColor::PanelCleanedText, "panelCleanedText", qRgb(31, 133, 39), qRgb(112, 204, 120)},
    Entry{NamedColor::LevelTrack, "levelTrack", qRgb(255, 255, 255), qRgb(28, 28, 30)},
    Entry{NamedColor::LevelBorder, "levelBorder", qRgb(160, 160, 160), qRgb(96, 96, 100)},
    Entry{NamedColor::SwitchOnFill, "switchOnFill", qRgb(48, 136, 212), qRgb(64, 148, 224)},
    Entry{NamedColor::SwitchOffFill, "switchOffFill", qRgb(196, 196, 196), qRgb(88, 88, 92)},
    Entry{NamedColor::SwitchKnob, "switchKnob", qRgb(255, 255, 255), qRgb(236, 236, 236)},
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
