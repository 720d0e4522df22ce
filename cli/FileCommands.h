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
};

} // namespace lurkel::cli
