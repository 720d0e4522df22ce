#pragma once

#include "CommandLine.h"

#include <string>
#include <vector>

namespace lurkel::cli {

// "lurkelctl disk": the disk-usage figures (junk, applications, large and old files,
// duplicates) or the size of one folder.
class DiskCommand {
public:
    static void registerIn(CommandLine &commandLine);
    static int run(const CommandLine &commandLine, const std::vector<std::string> &args, CommandIO &io);
    static std::string help();
};

} // namespace lurkel::cli
