// lurkel-finder-sync: what the file managers' menus run.
//   lurkel-finder-sync [--wait SECONDS] switch               switch hidden files on or off
//   lurkel-finder-sync [--wait SECONDS] hide|unhide PATH...  hide or unhide these items
//   lurkel-finder-sync menu --has-hidden|--has-visible PATH...
//                            prints "true" and exits 0 when any item is hidden (visible),
//                            else prints "false" and exits 1; touches no bus
//   lurkel-finder-sync state [--shown|--hidden]
//                            prints "true" when hidden files are shown, else "false"; with
//                            an option, "true" and exit 0 when the state is that one
// The requests go to Lurkel over the session bus, Lurkel being started first when it does
// not run; exit 1 with a message when it cannot be reached.
#include "FinderSync.h"
#include "Identity.h"
#include "Log.h"
#include "PosixFile.h"
#include "RunningApplications.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using lurkel::BytePath;
using lurkel::BytePathList;
using lurkel::FinderSync;

constexpr char kUsage[] = "usage: lurkel-finder-sync [--wait SECONDS] switch\n"
                          "       lurkel-finder-sync [--wait SECONDS] hide|unhide [--] PATH...\n"
                          "       lurkel-finder-sync menu --has-hidden|--has-visible [--] PATH...\n"
                          "       lurkel-finder-sync state [--shown|--hidden]\n";

int usage()
{
    std::fputs(kUsage, stderr);
    return 2;
}

int help()
{
    std::fputs(kUsage, stdout);
    std::fputs("\n"
               "What the file managers' menus run: it hands the request to Lurkel over the session bus,\n"
               "starting Lurkel first when it does not run and waiting for it to answer. Paths are\n"
               "taken as the bytes given.\n"
               "\n"
               "  switch           show hidden files in the file manager if they are hidden, else hide them\n"
               "  hide PATH...     hide the items (their names go into their folders' .hidden)\n"
               "  unhide PATH...   show the items again (out of .hidden; a name beginning with \".\" loses\n"
               "                   the dot, never over an existing item)\n"
               "  menu --has-hidden|--has-visible PATH...\n"
               "                   prints \"true\" and exits 0 when any item is hidden (visible), else\n"
               "                   prints \"false\" and exits 1; hidden means a name beginning with \".\"\n"
               "                   or listed in its folder's .hidden; uses no bus\n"
               "  state [--shown|--hidden]\n"
               "                   prints \"true\" when Lurkel's last switch showed hidden files, else\n"
               "                   \"false\"; with an option, \"true\" and status 0 when the state is that one\n"
               "\n"
               "  --wait SECONDS   wait at most this long for Lurkel to answer (default 10)\n"
               "  -h, --help       print this help and exit\n"
               "  --version        print the version and exit\n"
               "\n"
               "Exit status: 0 success (menu, state: yes), 1 failure or no, 2 usage error.\n",
               stdout);
    return 0;
}

// A yes-or-no answer as both readers of menu conditions take it: Nemo the exit status, the
// FileManager-Actions readers the word on standard output.
int answer(bool yes)
{
    std::puts(yes ? "true" : "false");
    return yes ? 0 : 1;
}

BytePathList pathsFrom(std::vector<std::string>::const_iterator it, std::vector<std::string>::const_iterator end)
{
    if (it != end && *it == "--") ++it;
    BytePathList paths;
    for (; it != end; ++it)
        paths.push_back(lurkel::absolutePath(BytePath(*it)));
    return paths;
}

} // namespace

int main(int argc, char **argv)
{
    lurkel::installOneLineLogging();
    // Arguments stay the bytes the file manager passed.
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) return help();
    if (!args.empty() && args[0] == "--version") {
        std::printf("lurkel-finder-sync %s\n", lurkel::Identity::kShortVersion);
        return 0;
    }
    FinderSync::SendOptions options;
    if (args.size() >= 2 && args[0] == "--wait") {
        char *end = nullptr;
        const double seconds = std::strtod(args[1].c_str(), &end);
        if (end == args[1].c_str() || *end != '\0' || !(seconds >= 0 && seconds <= 3600)) return usage();
        options.waitMs = static_cast<int>(seconds * 1000);
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.empty()) return usage();
    const std::string command = args[0];

    if (command == "menu") {
        if (args.size() < 2 || (args[1] != "--has-hidden" && args[1] != "--has-visible")) return usage();
        return answer(FinderSync::anyItem(pathsFrom(args.begin() + 2, args.end()), args[1] == "--has-hidden"));
    }
    if (command == "state") {
        if (args.size() > 2) return usage();
        const bool shown = FinderSync::hiddenFilesShown();
        if (args.size() == 1) {
            answer(shown);
            return 0;
        }
        if (args[1] != "--shown" && args[1] != "--hidden") return usage();
        return answer(shown == (args[1] == "--shown"));
    }

    FinderSync::Request request = FinderSync::Request::Switch;
    BytePathList paths;
    if (command == "switch") {
        if (args.size() != 1) return usage();
    } else if (command == "hide" || command == "unhide") {
        request = command == "hide" ? FinderSync::Request::Hide : FinderSync::Request::Unhide;
        paths = pathsFrom(args.begin() + 1, args.end());
        if (paths.empty()) return usage();
    } else {
        return usage();
    }

    QCoreApplication app(argc, argv);
    // The name tells Lurkel's Quit what to end. A copy that cannot claim it (another click a
    // moment ago) still does its own request.
    lurkel::RunningApplications::claim(QString::fromLatin1(lurkel::Identity::kFinderSyncIdentifier));
    if (const std::optional<lurkel::Error> error = FinderSync::send(request, paths, options)) {
        std::fprintf(stderr, "lurkel-finder-sync: %s\n", qUtf8Printable(error->localizedDescription()));
        return 1;
    }
    return 0;
}
