#include "LaunchOptions.h"
#include "PosixFile.h"

#include "SearchFolder.h"

namespace lurkel {

LaunchOptions LaunchOptions::parse(const std::vector<std::string> &arguments, const BytePath &workingFolder)
{
    LaunchOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] != "--search") continue;
        if (i + 1 >= arguments.size()) {
            options.usageError = "usage: lurkel --search TEXT [FOLDER]";
            return options;
        }
        Search search{arguments[i + 1], {}};
        if (i + 2 < arguments.size() && arguments[i + 2].rfind("--", 0) != 0) {
            const std::string &given = arguments[i + 2];
            search.folder = BytePath(given);
            if (!search.folder.isAbsolute() && !workingFolder.empty()) search.folder = workingFolder / given;
            if (!isDirectory(search.folder)) {
                options.usageError = "lurkel: --search: not a folder: " + given;
                return options;
            }
        }
        options.search = std::move(search);
        return options;
    }
    return options;
}

LaunchOptions LaunchOptions::parse(int argc, char **argv)
{
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.emplace_back(argv[i]);
    return parse(arguments, workingFolder());
}

} // namespace lurkel
