#include "HiddenCommand.h"
#include "MessageNames.h"

#include "DistributedNotificationCenter.h"
#include "HiddenManager.h"
#include "Identity.h"
#include "Interrupt.h"
#include "MainQueue.h"
#include "RunningApplications.h"
#include "ScriptsManager.h"
#include "TerminalText.h"
#include "VisibilityRestorerAtLaunch.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QEventLoop>
#include <QLoggingCategory>

#include <ostream>

namespace lurkel::cli {
namespace {

constexpr const char kHelp[] =
    "  status  prints \"shown\" when the file manager shows hidden files, else \"hidden\"\n"
    "  toggle  switches the file manager's hidden files, then prints the state read back\n"
    "  show    shows hidden files (nothing is switched when they already are shown)\n"
    "  hide    hides hidden files (nothing is switched when they already are hidden)\n"
    "\n"
    "The state is read from the user's default file manager (else the first installed one);\n"
    "a switch sets every installed file manager, the way Lurkel's own switch does, and the\n"
    "preference \"restart the file managers\" of Lurkel applies. When Lurkel is running, its\n"
    "tray icon and panel follow at once.\n"
    "\n"
    "Exit status: 0 when the state was read (and, for a switch, is now the one asked for),\n"
    "1 when a script failed or the state could not be confirmed, 2 on a usage error.\n";

const char *stateWord(bool shown)
{
    return shown ? "shown" : "hidden";
}

// Runs the main loop until done() holds; false when Ctrl-C came first.
bool waitFor(const std::function<bool()> &done)
{
    // The hook runs on the watcher thread; an empty call wakes the waiting loop.
    const Interrupt::Token token = Interrupt::onInterrupt([] { MainQueue::async([] {}); });
    while (!done() && !Interrupt::requested())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    Interrupt::remove(token);
    return done();
}

// Reads the file manager's state into the manager; prints why when it could not.
int readState(HiddenManager &manager, CommandIO &io)
{
    bool loaded = false;
    manager.loadVisibilityWithCompletion([&loaded] { loaded = true; });
    if (!waitFor([&loaded] { return loaded; })) return kExitInterrupted;
    const HiddenManager::VisibilityLoad &load = manager.lastVisibilityLoad();
    if (load.error) {
        io.err << "lurkelctl: hidden: cannot read the file manager's state: "
               << messageForTerminal(load.error->localizedDescription().toStdString(), true) << "\n";
        return kExitFailure;
    }
    if (!load.read) {
        io.err << "lurkelctl: hidden: the file manager's state was not read\n";
        return kExitFailure;
    }
    return kExitSuccess;
}

// Tells a running Lurkel the new state, so that its tray icon and panel follow at once.
void tellRunningApplication(bool shown)
{
    if (!QDBusConnection::sessionBus().isConnected()) return;
    const QString bundleIdentifier = QString::fromLatin1(Identity::kBundleIdentifier);
    if (!RunningApplications::isRunning(bundleIdentifier)) return;
    DistributedNotificationCenter::defaultCenter().post(
        QString::fromLatin1(MessageNames::kXpcNote), bundleIdentifier,
        {{QString::fromLatin1(MessageNames::kShowHiddenStateKey), shown}});
    // The signal is only queued; a call that waits for the bus's answer goes out after it on
    // the same connection, so once it returns the notification has left this process.
    RunningApplications::isRunning(bundleIdentifier);
}

int run(const std::vector<std::string> &args, CommandIO &io)
{
    const bool known =
        args.size() == 1 && (args[0] == "status" || args[0] == "toggle" || args[0] == "show" || args[0] == "hide");
    if (!known) {
        io.err << "lurkelctl: hidden takes one of status, toggle, show, hide\n"
               << "Try 'lurkelctl hidden --help' for more information.\n";
        return kExitUsage;
    }
    const std::string &what = args[0];
    // Script failures are reported below in their own words; the log would say them twice.
    QLoggingCategory::setFilterRules(QStringLiteral("lurkel.visibility.warning=false\n"
                                                    "lurkel.visibility.info=false"));

    HiddenManager &manager = HiddenManager::sharedManager();
    // As in the application: a single-switch toggle is made lasting by the restorer, and
    // the preferences' choice of scripts applies.
    VisibilityRestorerAtLaunch restorer(manager);
    manager.applyStoredValue();
    ScriptsManager &scripts = manager.scriptsManager();

    if (what != "status" && manager.settings().shouldShowInformationAboutAccessibilityAlerts()) {
        io.err << "lurkelctl: hidden: the first switch needs the permission sheet, which only the Lurkel "
                  "application can show (there is no window in a terminal); switch once in Lurkel's panel, "
                  "then try again\n";
        return kExitFailure;
    }
    if (!manager.settings().shouldCheckHiddenFilesVisibility()) {
        io.err << "lurkelctl: hidden: reading the file manager's state is turned off "
                  "(setting \"CheckHiddenFilesVisibility\", turned on by a successful switch in Lurkel's panel), "
                  "so no state can be confirmed\n";
        return kExitFailure;
    }
    if (const int rc = readState(manager, io); rc != kExitSuccess) return rc;
    const bool current = manager.isHiddenShown();
    bool wanted = current;
    if (what == "toggle") {
        wanted = !current;
    } else if (what == "show") {
        wanted = true;
    } else if (what == "hide") {
        wanted = false;
    }
    if (wanted == current) {
        io.out << stateWord(current) << "\n";
        return kExitSuccess;
    }

    bool switched = false;
    std::optional<Error> switchError;
    manager.switchHiddenFilesVisibilityWithCompletion([&](const std::optional<Error> &error) {
        switched = true;
        switchError = error;
    });
    // The completion comes while the manager still counts the script as running.
    if (!waitFor([&] { return switched && !manager.isUpdating(); })) return kExitInterrupted;
    if (switchError) {
        scripts.waitForRunningScripts();
        io.err << "lurkelctl: hidden: the switch failed: "
               << messageForTerminal(switchError->localizedDescription().toStdString(), true) << "\n";
        return kExitFailure;
    }

    const int readResult = readState(manager, io);
    // The restorer's write runs beside the read; both end before anyone is told.
    scripts.waitForRunningScripts();
    tellRunningApplication(manager.isHiddenShown());
    if (readResult != kExitSuccess) return readResult;

    const bool now = manager.isHiddenShown();
    io.out << stateWord(now) << "\n";
    if (now != wanted) {
        io.err << "lurkelctl: hidden: the switch script succeeded, but the file manager still reads \""
               << stateWord(now) << "\"\n";
        return kExitFailure;
    }
    return kExitSuccess;
}

} // namespace

void HiddenCommand::registerIn(CommandLine &commandLine)
{
    commandLine.add(Command{"hidden", "hidden status|toggle|show|hide",
                            "show or switch the file manager's hidden files", kHelp, run});
}

} // namespace lurkel::cli
