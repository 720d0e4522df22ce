// lurkel-launcher: the program of Lurkel's autostart entry. See AppDelegate.
#include "AppDelegate.h"

#include "Identity.h"
#include "Log.h"
#include "RunningApplications.h"

#include <QCoreApplication>
#include <QDBusConnection>

#include <csignal>

int main(int argc, char **argv)
{
    lurkel::installOneLineLogging();
    using namespace lurkel;
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
