#pragma once

#include "CommandLine.h"

#include <string>
#include <string_view>

namespace lurkel::cli {

// "lurkelctl copy", "move", "trash", "hide" and "unhide": file work on byte paths.
// One line per item that was not done on standard error ("lurkelctl: copy: PATH: reason"),
// exit status 1 when any item was not done, 2 on a usage error, 0 when all were done.
class FileCommands {
public:
    static void registerIn(CommandLine &commandLine);

    // bytes as they may be shown on a terminal: as they are when that is safe, otherwise in
    // single quotes with control characters, bytes that are not UTF-8 and C1 controls written
    // as escapes (\n, \t, \xHH, \\, \').
    static std::string shownPath(std::string_view bytes);
};

} // namespace lurkel::cli
