// A stand-in for lurkel in the login tests, installed under the name "lurkel" beside a
// copy of lurkel-launcher. It appends "started PID" to the file $LURKEL_STANDIN_MARKER
// first thing; then, with a session bus, claims the application's bus name, runs the
// start-up check of the run-at-login manager (which tells the launcher to quit), posts
// "LoginTestStandInStarted" with {"autolaunched": bool, "pid": int} and serves Quit.
#include "DistributedNotificationCenter.h"
#include "Identity.h"
#include "LurkelProjectRunAtLoginManager.h"
#include "RunningApplications.h"

#include <QCoreApplication>

#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

int main(int argc, char **argv)
{
    using namespace lurkel;
    if (const char *marker = std::getenv("LURKEL_STANDIN_MARKER")) {
        const int fd = ::open(marker, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        const std::string line = "started " + std::to_string(::getpid()) + "\n";
        if (fd >= 0 && ::write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) return 3;
        if (fd >= 0) ::close(fd);
    }
    QCoreApplication app(argc, argv);
    if (!RunningApplications::claim(QString::fromLatin1(Identity::kBundleIdentifier))) return 0;

    ApplicationBusObject busObject;
    busObject.onQuit = [] { QCoreApplication::quit(); };
    busObject.registerOnBus();

    auto &manager = LurkelProjectRunAtLoginManager::shared();
    manager.checkWasAutolaunchedWithHelperApp_AutoTerminateHelper(true);
    DistributedNotificationCenter::defaultCenter().post(
        QStringLiteral("LoginTestStandInStarted"), QString(),
        {{QStringLiteral("autolaunched"), manager.wasAutolaunchedWithHelperApp()},
         {QStringLiteral("pid"), static_cast<qint64>(::getpid())}});
    return QCoreApplication::exec();
}
