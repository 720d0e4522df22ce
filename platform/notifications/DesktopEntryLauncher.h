#pragma once

#include "BytePath.h"

#include <QString>

#include <optional>

namespace lurkel {

// Installed applications by desktop entry id ("org.example.Tool.desktop", the suffix may be
// left out), looked up as freedesktop.org's desktop entries are: in the "applications" folder of
// XDG_DATA_HOME, then of each XDG_DATA_DIRS folder, where an id's "-" may stand for a
// subfolder ("kde-tool.desktop" is also applications/kde/tool.desktop). The first entry found
// decides; one marked Hidden=true means the application was removed.
class DesktopEntryLauncher {
public:
    // The entry file of an id; nullopt when none is installed, or the id is no plain
    // file name (a "/", a "." or ".." part, a NUL, empty).
    static std::optional<BytePath> find(const QString &desktopId);
    // Starts the id's application with `gio launch ENTRY`, detached from this process.
    // False when no entry was found or gio could not be started.
    static bool launch(const QString &desktopId);
    // The same for an entry file already found.
    static bool launchEntry(const BytePath &entry);
};

} // namespace lurkel
