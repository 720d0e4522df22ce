#pragma once

#include "CommandLine.h"

namespace lurkel::cli {

// "lurkelctl login on|off|status": start Lurkel at login or not.
class LoginCommand {
public:
    static void registerIn(CommandLine &commandLine);
};

} // namespace lurkel::cli
