#include "LaunchOptions.h"
#include "PosixFile.h"

#include "SearchFolder.h"

namespace lurkel {

LaunchOptions LaunchOptions::parse(const std::vector<std::string> &arguments, const BytePath &workingFolder)
{
    LaunchOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == "--help" || arguments[i] == "-h") {
            options.help = true;
            return options;
        }
        if (arguments[i] == "--version") {
            options.version = true;
            return options;
        }
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

std::string LaunchOptions::usage()
{
    return "usage: lurkel [--search TEXT [FOLDER]]\n"
           "\n"
           "Lurkel lives in the tray of the desktop: a click on its icon opens the panel, whose\n"
           "switch shows or hides hidden files in the file manager and whose field searches\n"
           "files by name. A second start hands its request to the copy that runs.\n"
           "\n"
           "  --search TEXT [FOLDER]  open the results window searching for TEXT in FOLDER\n"
           "                          (default: the folder chosen in the panel)\n"
           "  -h, --help              print this help and exit\n"
           "  --version               print the version and exit\n"
           "  --launcher              start as the login launcher (the autostart entry of an\n"
           "                          AppImage uses it)\n"
           "\n"
           "Qt's own options (-platform, -display, ...) are taken too. For the terminal,\n"
           "see lurkelctl --help.\n";
}

LaunchOptions LaunchOptions::parse(int argc, char **argv)
{
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.emplace_back(argv[i]);
    return parse(arguments, workingFolder());
}

} // namespace lurkel
