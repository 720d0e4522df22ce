// lurkel-launcher: the program of Lurkel's autostart entry. See AppDelegate.
#include "AppDelegate.h"

#include "Identity.h"
#include "Log.h"
#include "RunningApplications.h"

#include <QCoreApplication>
#include <QDBusConnection>

#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

constexpr char kUsage[] = "usage: lurkel-launcher\n"
                          "\n"
                          "Starts Lurkel (lurkel, installed beside this program) at login and ends when Lurkel\n"
                          "quits. It is the program of the autostart entry that \"lurkelctl login on\" and\n"
                          "Lurkel's preferences write; there is no need to run it by hand. When another\n"
                          "launcher of the session runs already, it ends at once.\n"
                          "\n"
                          "  -h, --help  print this help and exit\n"
                          "  --version   print the version and exit\n";

} // namespace

int main(int argc, char **argv)
{
    lurkel::installOneLineLogging();
    using namespace lurkel;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("lurkel-launcher %s\n", Identity::kShortVersion);
            return 0;
        }
    }
    QCoreApplication app(argc, argv);

    // The bus name first, before anything else is built.
    const QString self = QString::fromLatin1(Identity::kLauncherIdentifier);
    if (QDBusConnection::sessionBus().isConnected() && !RunningApplications::claim(self)) {
        qCInfo(lcLogin, "another launcher runs: nothing to do");
        return 0;
    }

    // lurkel is started and never waited for: let the kernel reap it should it end first.
    struct sigaction noZombies {};
    noZombies.sa_handler = SIG_DFL;
    noZombies.sa_flags = SA_NOCLDWAIT;
    sigemptyset(&noZombies.sa_mask);
    ::sigaction(SIGCHLD, &noZombies, nullptr);

    AppDelegate delegate;
    // Another Lurkel program may ask the launcher to quit as it asks the others.
    ApplicationBusObject busObject;
    busObject.onQuit = [&delegate] { delegate.killApp(); };
    busObject.registerOnBus();

    int rc = 0;
    if (delegate.applicationDidFinishLaunching() && !delegate.isTerminating()) rc = QCoreApplication::exec();
    delegate.applicationWillTerminate();
    return rc;
}
