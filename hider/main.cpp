// lurkel-hider: the helper service started by the session bus on the first request to its
// name (see HiderService). It ends after a while without requests, or when asked to quit.
#include "HiderService.h"

#include "DistributedNotificationCenter.h"
#include "Identity.h"
#include "Log.h"
#include "QuitSignals.h"
#include "RunningApplications.h"
#include "ScriptsManager.h"

#include <QCoreApplication>
#include <QDBusConnection>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// How long the service waits for a request before it ends: LURKEL_HIDER_IDLE_MS when set (the
// tests' way to see it end), else HiderService::kIdleMs.
std::int64_t idleMs()
{
    const char *given = std::getenv("LURKEL_HIDER_IDLE_MS");
    if (given == nullptr || *given == '\0') return lurkel::HiderService::kIdleMs;
    char *end = nullptr;
    const long long value = std::strtoll(given, &end, 10);
    return (*end == '\0' && value >= 0) ? value : lurkel::HiderService::kIdleMs;
}

constexpr char kHelp[] =
    "usage: lurkel-hider\n"
    "\n"
    "Lurkel's helper service. The session bus starts it on the first request to the name\n"
    "com.brendix.Lurkel-SII.hiderXPC (from its activation file in dbus-1/services); there is\n"
    "no need to run it by hand. It ends after 30 seconds without a request, or when Lurkel\n"
    "quits.\n"
    "\n"
    "Its one method, Request(a{sv}) -> a{sv} on /com/brendix/Lurkel_SII/hiderXPC (interface\n"
    "com.brendix.Lurkel_SII.hiderXPC), takes \"body\": a path as bytes (ay) with \"hide\" (b),\n"
    "the flag to set; or the string \"doShowHidden\" with \"hide\" false to show hidden files in\n"
    "the file managers, true to hide them. The answer's \"success\" (b) says whether it\n"
    "worked, with an \"error\" text when not. Example:\n"
    "\n"
    "  gdbus call --session --dest com.brendix.Lurkel-SII.hiderXPC \\\n"
    "    --object-path /com/brendix/Lurkel_SII/hiderXPC \\\n"
    "    --method com.brendix.Lurkel_SII.hiderXPC.Request \"{'body': <'doShowHidden'>, 'hide': <true>}\"\n"
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
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("lurkel-hider %s\n", Identity::kShortVersion);
            return 0;
        }
    }
    QCoreApplication app(argc, argv);

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qCWarning(lcVisibility, "no session bus: the helper service has nobody to serve");
        return 1;
    }

    ScriptsManager &scripts = ScriptsManager::sharedManager();
    HiderService::Services services;
    services.scripts = &scripts;
    services.center = &DistributedNotificationCenter::defaultCenter();
    services.idleMs = idleMs();
    services.onIdle = [] { QCoreApplication::quit(); };
    HiderService service(std::move(services));
    ApplicationBusObject busObject;
    busObject.onQuit = [] { QCoreApplication::quit(); };
    QuitSignals::install([] { QCoreApplication::quit(); });

    // Unlike the other programs, the objects go on the bus before the name is claimed: the
    // request that had the bus start this program is delivered the moment it owns the name,
    // and must find them.
    if (!service.registerOn(bus) || !busObject.registerOnBus()) return 1;
    if (!RunningApplications::claim(QString::fromLatin1(Identity::kHiderIdentifier))) {
        qCInfo(lcVisibility, "another helper service runs: nothing to do");
        return 0;
    }

    const int rc = QCoreApplication::exec();
    // The name goes before the last scripts are waited for, so that a new request starts a
    // new service instead of waiting for this one.
    RunningApplications::release(QString::fromLatin1(Identity::kHiderIdentifier));
    scripts.waitForRunningScripts();
    return rc;
}
