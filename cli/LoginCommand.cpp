#include "LoginCommand.h"

#include "LurkelProjectRunAtLoginManager.h"
#include "TerminalText.h"

#include <ostream>

namespace lurkel::cli {
namespace {

constexpr const char kHelp[] = "  on      start Lurkel at login: writes the autostart entry of lurkel-launcher\n"
                               "          (installed beside lurkelctl) into $XDG_CONFIG_HOME/autostart\n"
                               "  off     do not start Lurkel at login: removes that entry, or turns it off with\n"
                               "          Hidden=true where a system-wide entry exists; an entry of the older kind\n"
                               "          (the application's own) is turned off too\n"
                               "  status  prints \"on\" or \"off\"; when the older kind of entry is on as well, a\n"
                               "          second line \"legacy entry: PATH\"\n";

void printFailure(CommandIO &io, const char *message, const Error &error)
{
    io.err << "lurkelctl: " << message << "\n"
           << "lurkelctl: " << messageForTerminal(error.localizedDescription().toStdString()) << "\n";
}

int run(const std::vector<std::string> &args, CommandIO &io)
{
    if (args.size() != 1 || (args[0] != "on" && args[0] != "off" && args[0] != "status")) {
        io.err << "lurkelctl: login takes one of on, off, status\n"
               << "Try 'lurkelctl login --help' for more information.\n";
        return kExitUsage;
    }
    auto &manager = LurkelProjectRunAtLoginManager::shared();
    const std::string &what = args[0];

    if (what == "status") {
        io.out << (manager.isEnabledToAutoLaunchWithHelperApp() ? "on" : "off") << "\n";
        if (const auto legacy = manager.itemRefInLoginItems())
            io.out << "legacy entry: " << quoteForTerminal(legacy->bytes()) << "\n";
        return kExitSuccess;
    }

    const bool enable = what == "on";
    bool failed = false;
    manager.setIsEnabledForHelperAppFailedBlock(enable, [&](const Error &error) {
        failed = true;
        printFailure(io,
                     enable ? "Couldn't add Helper App to launch at login item list."
                            : "Couldn't remove Helper App from launch at login item list.",
                     error);
    });
    if (!enable && manager.isLaunchAtStartup()) {
        if (const auto error = manager.toggleLaunchAtLoginValue_WithoutHelperApp()) {
            failed = true;
            printFailure(io, "Couldn't remove the older login entry of Lurkel.", *error);
        }
    }
    return failed ? kExitFailure : kExitSuccess;
}

} // namespace

void LoginCommand::registerIn(CommandLine &commandLine)
{
    commandLine.add(Command{"login", "login on|off|status", "start Lurkel at login, or not", kHelp, run});
}

} // namespace lurkel::cli
