#pragma once

#include "BytePath.h"
#include "CommandLine.h"

#include <string>
#include <vector>

namespace lurkel {
class PurgeManager;
}

namespace lurkel::cli {

// "lurkelctl memory": the used, free and total memory as the panel shows them, and with
// --purge one purge (a progress bar when standard error is a terminal) and what it freed.
class MemoryCommand {
public:
    // Where the figures come from and which manager purges (the process's by default).
    struct Sources {
        BytePath meminfoPath = BytePath("/proc/meminfo");
        PurgeManager *purgeManager = nullptr;
    };

    static void registerIn(CommandLine &commandLine);
    static void registerIn(CommandLine &commandLine, Sources sources);
    static int run(const CommandLine &commandLine, const std::vector<std::string> &args, CommandIO &io,
                   const Sources &sources);
    static std::string help();
};

} // namespace lurkel::cli
