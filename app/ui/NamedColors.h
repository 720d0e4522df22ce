#pragma once

#include <QColor>
#include <QPalette>
#include <QString>

#include <optional>
#include <span>

namespace lurkel {

// Every colour the windows name, in one table. Each has a light and a dark variant; which
// one applies follows the palette the widget paints with, so a theme change is a repaint.
enum class NamedColor {
    RowText,             // result row text
    RowTextDimmed,       // result row of a hidden, trashed or packaged item
    RowTextSelected,     // text on a selected (highlighted) row
    AccentText,          // titles of the results window's text buttons, links
    IconInk,             // glyphs of the toolkit images at rest
    IconInkHover,        // glyphs under the mouse
    IconInkPressed,      // glyphs while the mouse button is down
    IconInkSelected,     // glyphs on a selected row
    IconInkDisabled,     // glyphs of a disabled control
    ControlHoverFill,    // background of a flat control under the mouse
    ControlPressedFill,  // background of a flat control while pressed
    ControlCheckedFill,  // background of a flat on/off control that is on
    BreadcrumbText,      // path bar components
    BreadcrumbSeparator, // the chevrons between them
    SecondaryText,       // captions, counters, detail lines
    PreviewBackground,   // the preview window's content area
    PreviewText,         // text shown by the preview window
    SpinnerInk,          // the busy indicator's spokes
    // The main panel and the welcome dialog.
    PanelBackground,   // the panel's body
    PanelBorder,       // the outline around a frameless window
    PanelTitleBand,    // the title band and the triangle that points at the tray icon
    PanelSeparator,    // the line under the title band and between sections
    PanelBandOn,       // the band behind the hidden-files switch while hidden files are shown
    PanelBandOff,      // the same band while they are not (the disabled-band colour)
    PanelSubtitleText, // the memory subtitle showing the used size
    PanelCleanedText,  // the memory subtitle showing what a purge freed
    LevelTrack,        // the empty part of a level bar
    LevelBorder,       // the level bar's outline
    SwitchOnFill,      // the on/off switch's track while on
    SwitchOffFill,     // its track while off
    SwitchKnob,        // its knob
};

class NamedColors {
public:
    NamedColors() = delete;

    // The colour for the palette's theme (the application palette by default).
    static QColor color(NamedColor name);
    static QColor color(NamedColor name, const QPalette &palette);
    static QColor color(NamedColor name, bool dark);

    // A dark theme: the palette's window text is lighter than its window.
    static bool isDark(const QPalette &palette);

    // The table's own names ("rowText", "accentText", ...), for lookups from settings or
    // style descriptions.
    static QString name(NamedColor name);
    static std::optional<NamedColor> fromName(const QString &name);
    static std::span<const NamedColor> all();
};

} // namespace lurkel
