#include "AppDelegate.h"
#include "MessageNames.h"

#include "DistributedNotificationCenter.h"
#include "Identity.h"
#include "Log.h"
#include "ProgramPaths.h"
#include "RunAtLoginManager.h"
#include "RunningApplications.h"
#include "Spawn.h"

#include <QCoreApplication>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <unistd.h>

extern char **environ; // NOLINT(readability-redundant-declaration)

namespace lurkel {

AppDelegate::AppDelegate(QObject *parent) : QObject(parent) {}

bool AppDelegate::applicationDidFinishLaunching()
{
    const QString application = QString::fromLatin1(Identity::kBundleIdentifier);
    auto &center = DistributedNotificationCenter::defaultCenter();
    const bool alone = !center.isConnected();

    if (RunningApplications::isRunning(application)) {
        qCInfo(lcLogin, "%s already runs: nothing to start", Identity::kBundleIdentifier);
        killApp();
        return false;
    }

    center.addObserver(
        QString::fromLatin1(MessageNames::kTerminateHelper), application, [this](const Notification &) { killApp(); },
        this);

    // The result is not acted on: without lurkel the launcher waits until some copy of it
    // says "TERMINATEHELPER", or the session ends.
    launchApplication(applicationProgramPath());

    if (alone) {
        // Without a session bus nothing could ever tell the launcher to quit.
        qCInfo(lcLogin, "no session bus: the launcher ends after starting %s", Identity::kBundleIdentifier);
        killApp();
        return false;
    }
    return true;
}

void AppDelegate::killApp()
{
    m_terminating = true;
    QCoreApplication::quit();
}

void AppDelegate::applicationWillTerminate() {}

BytePath AppDelegate::applicationProgramPath()
{
    const char *appImage = std::getenv("APPIMAGE");
    if (appImage != nullptr && appImage[0] == '/') return BytePath(appImage);
    return ProgramPaths::besideThisProgram("lurkel");
}

bool AppDelegate::launchApplication(const BytePath &program)
{
    // lurkel outlives the launcher. Children are not waited for (SA_NOCLDWAIT in main).
    pid_t pid = -1;
    if (const std::optional<Error> error = Spawn::launchDetached({program.bytes()}, &pid)) {
        logFailure(lcLogin, "launchApplication", *error);
        return false;
    }
    qCInfo(lcLogin, "started %s (pid %d)", qUtf8Printable(program.displayString()), static_cast<int>(pid));
    return true;
}

} // namespace lurkel
