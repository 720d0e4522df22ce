#pragma once

#include "CommandLine.h"

namespace lurkel::cli {

// "lurkelctl version": the name, versions and copyright of this build.
class VersionCommand {
public:
    static void registerIn(CommandLine &commandLine);
};

} // namespace lurkel::cli
