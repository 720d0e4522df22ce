#pragma once

#include "BytePath.h"
#include "DesktopEntry.h"
#include "Error.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lurkel {

// One autostart entry as the session sees it: the file that counts for its file id.
struct AutostartEntry {
    std::string fileId; // the file name without ".desktop"
    BytePath path;
    bool inUserFolder = false;
    bool readable = false; // false: the file is there (and masks lower ones) but cannot be read
    DesktopEntry entry;

    // Started at login: readable, Type=Application, neither Hidden=true nor
    // X-GNOME-Autostart-enabled=false.
    bool isEnabled() const;
};

// The XDG autostart folders: $XDG_CONFIG_HOME/autostart, which the user owns, over each
// $XDG_CONFIG_DIRS/autostart in order. An entry in a higher folder replaces the one of the
// same name below it, whatever it says (Hidden=true in it masks the lower one).
class Autostart {
public:
    static BytePath userFolder();
    static BytePathList systemFolders();
    static BytePath userEntryPath(std::string_view fileId);

    // The entry that counts for fileId, or nullopt when no folder has one.
    static std::optional<AutostartEntry> entry(std::string_view fileId);
    // Every entry that counts, ordered by file id.
    static std::vector<AutostartEntry> entries();
    // Whether a system folder has an entry of that name (which only a Hidden=true entry
    // of the user's can turn off).
    static bool hasSystemEntry(std::string_view fileId);

    // Replaces the user's entry atomically (temporary file beside it, fsync, rename),
    // creating the folder when needed.
    static std::optional<Error> writeUserEntry(std::string_view fileId, std::string_view text);
    // Deletes the user's entry; an entry that is not there is no error.
    static std::optional<Error> removeUserEntry(std::string_view fileId);
};

} // namespace lurkel
