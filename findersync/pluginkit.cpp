// lurkel-pluginkit: elects or ignores Lurkel's file-manager integration and reports the
// election, taking the plug-in tool's command lines:
//   lurkel-pluginkit -m [-A] [-v] -i ID      prints "+    ID(VERSION)" (elected) or
//                                            "-    ID(VERSION)" (ignored); nothing for an
//                                            unknown ID
//   lurkel-pluginkit -e use|ignore -i ID     records the election, and writes (use) or removes
//                                            (ignore) the per-user menu entries of the file
//                                            managers that read action files
#include "Identity.h"
#include "IntegrationFiles.h"
#include "Log.h"
#include "PluginElection.h"
#include "ProgramPaths.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

// Lurkel's Nautilus module, where Nautilus loads it; empty when this build has none.
bool nautilusModuleInstalled()
{
#ifdef LURKEL_NAUTILUS_MODULE
    return ::access(LURKEL_NAUTILUS_MODULE, F_OK) == 0;
#else
    return false;
#endif
}

constexpr char kUsage[] = "usage: lurkel-pluginkit -m [-A] [-v] -i IDENTIFIER\n"
                          "       lurkel-pluginkit -e use|ignore -i IDENTIFIER\n";

int usage()
{
    std::fputs(kUsage, stderr);
    return 2;
}

int help()
{
    std::fputs(kUsage, stdout);
    std::fputs("\n"
               "Turns Lurkel's file-manager integration on or off and tells whether it is on.\n"
               "The integration's identifier is com.brendix.Lurkel-SII.FinderSyncExt.\n"
               "\n"
               "  -m -i ID          print \"+    ID(VERSION)\" when the integration is on, \"-    ID(VERSION)\"\n"
               "                    when it is off, nothing for an unknown ID (-A, -v: accepted)\n"
               "  -e use -i ID      turn it on: records the choice and writes the menu entries of\n"
               "                    the file managers that read per-user action files (Nemo,\n"
               "                    Caja, PCManFM, PCManFM-Qt, Dolphin, Thunar; Nautilus scripts\n"
               "                    where the Nautilus module is not installed)\n"
               "  -e ignore -i ID   turn it off: records the choice and removes those entries\n"
               "                    again, leaving the user's own untouched\n"
               "  -h, --help        print this help and exit\n"
               "  --version         print the version and exit\n"
               "\n"
               "The choice is kept in $XDG_DATA_HOME/com.brendix.Lurkel-SII/plugins.json.\n"
               "Exit status: 0 success, 1 failure, 2 usage error.\n",
               stdout);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    lurkel::installOneLineLogging();
    using lurkel::PluginElection;
    bool match = false;
    std::string election;
    std::string identifier;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") return help();
        if (arg == "--version") {
            std::printf("lurkel-pluginkit %s\n", lurkel::Identity::kShortVersion);
            return 0;
        }
        if (arg == "-m") {
            match = true;
        } else if (arg == "-A" || arg == "-v" || arg == "-D") {
            // all versions, verbose, duplicates: one version is installed, nothing changes
        } else if (arg == "-e" && i + 1 < argc) {
            election = argv[++i];
        } else if (arg == "-i" && i + 1 < argc) {
            identifier = argv[++i];
        } else {
            return usage();
        }
    }
    if (identifier.empty() || match == !election.empty()) return usage();
    const QString id = QString::fromUtf8(identifier.c_str());

    if (match) {
        if (!PluginElection::isKnownIdentifier(id)) return 0; // nothing matches
        const char mark = PluginElection::electionFor(id) == PluginElection::Choice::Use ? '+' : '-';
        std::printf("%c    %s(%s)\n", mark, identifier.c_str(), lurkel::Identity::kShortVersion);
        return 0;
    }
    if (election != "use" && election != "ignore") return usage();
    if (!PluginElection::isKnownIdentifier(id)) {
        std::fprintf(stderr, "lurkel-pluginkit: no such plug-in: %s\n", identifier.c_str());
        return 1;
    }
    const bool use = election == "use";
    auto error = PluginElection::setElection(id, use ? PluginElection::Choice::Use : PluginElection::Choice::Ignore);
    if (!error) {
        // A running Thunar is asked on the session bus whether it runs.
        QCoreApplication app(argc, argv);
        using lurkel::IntegrationFiles;
        error = use ? IntegrationFiles::install(
                          {lurkel::ProgramPaths::besideThisProgram("lurkel-finder-sync"), !nautilusModuleInstalled()})
                    : IntegrationFiles::remove();
    }
    if (error) {
        std::fprintf(stderr, "lurkel-pluginkit: %s\n", qUtf8Printable(error->localizedDescription()));
        return 1;
    }
    return 0;
}
