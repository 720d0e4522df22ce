#pragma once

#include "CommandLine.h"

namespace lurkel::cli {

// "lurkelctl hidden status|toggle|show|hide": the file manager's hidden-files switch.
class HiddenCommand {
public:
    static void registerIn(CommandLine &commandLine);
};

} // namespace lurkel::cli
