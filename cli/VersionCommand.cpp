#include "VersionCommand.h"

#include "Identity.h"

#include <ostream>

namespace lurkel::cli {

void VersionCommand::registerIn(CommandLine &commandLine)
{
    commandLine.add(Command{"version",
                            "version",
                            "show the name, version, build and copyright of Lurkel",
                            {},
                            [](const std::vector<std::string> &args, CommandIO &io) {
                                if (!args.empty()) {
                                    io.err << "lurkelctl: version takes no arguments\n";
                                    return static_cast<int>(kExitUsage);
                                }
                                io.out << Identity::kBundleDisplayName << " " << Identity::kShortVersion << " (build "
                                       << Identity::kBuildVersion << ")\n"
                                       << Identity::kCopyright << "\n";
                                return static_cast<int>(kExitSuccess);
                            }});
}

} // namespace lurkel::cli
