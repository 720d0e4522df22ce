#include "BXAppDelegate.h"
#include "BXPurgeController.h"
#include "CrashReporter.h"
#include "Identity.h"
#include "LaunchOptions.h"
#include "Log.h"
#include "PanelWindow.h"
#include "PlatformPluginPreference.h"
#include "ProgramPaths.h"
#include "PromoSession.h"
#include "QuitSignals.h"
#include "RunAtLoginManager.h"
#include "RunningApplications.h"
#include "SearchFolder.h"
#include "SearchManager.h"
#include "Settings.h"
#include "UserDefaults.h"

#include <QApplication>
#include <QIcon>
#include <QLineEdit>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <unistd.h>

namespace {

bool hasDisplay()
{
    const char *platform = std::getenv("QT_QPA_PLATFORM");
    if (platform != nullptr && *platform != '\0') return true;
    const char *x11 = std::getenv("DISPLAY");
    const char *wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

// What the panel does for a search of its own: the template, then the folder (remembered
// as the custom folder when it is neither home nor the whole disk; without one, the last
// folder searched, else home); the results window opens on the search manager's
// notification.
void runSearch(lurkel::BXPurgeController &controller, const lurkel::LaunchOptions::Search &search)
{
    using namespace lurkel;
    const BytePath folder = SearchFolder::choose(search.folder);
    if (folder != BytePath("/") && folder != SearchFolder::home()) {
        Settings().saveCustomFolderButtonSearchLocation(folder);
    }
    qCInfo(lcCore, "search for \"%s\" in %s", search.text.c_str(), qPrintable(folder.displayString()));
    // The panel's field shows the search too (its text as far as it can be shown).
    controller.window()->searchBar()->setText(
        QString::fromUtf8(search.text.data(), static_cast<qsizetype>(search.text.size())));
    const std::optional<Error> error =
        SearchManager::sharedManager().performSearchWithTemplateBytesAndFolder(search.text, folder);
    if (error) qCWarning(lcCore, "search: %s", qPrintable(error->localizedDescription()));
}

} // namespace

int main(int argc, char **argv)
{
    lurkel::installOneLineLogging();
    using namespace lurkel;
    // Launcher mode: an AppImage has one entry point, so its autostart entry starts it with
    // this argument and the launcher beside this program takes over the process.
    if (argc > 1 && std::strcmp(argv[1], RunAtLoginManager::kLauncherModeArgument) == 0) {
        const BytePath launcher = ProgramPaths::besideThisProgram("lurkel-launcher");
        char *launcherArgv[] = {const_cast<char *>(launcher.c_str()), nullptr};
        ::execv(launcher.c_str(), launcherArgv);
        std::fprintf(stderr, "lurkel: cannot start %s: %s\n", launcher.c_str(), std::strerror(errno));
        return 1;
    }
    const LaunchOptions options = LaunchOptions::parse(argc, argv);
    if (options.help) {
        std::fputs(LaunchOptions::usage().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("lurkel %s\n", Identity::kShortVersion);
        return 0;
    }
    if (!hasDisplay()) {
        std::fprintf(stderr, "lurkel: no graphical display: neither DISPLAY nor WAYLAND_DISPLAY is set.\n"
                             "Lurkel lives in the tray of a desktop session; start it from one "
                             "(or use lurkelctl in a terminal).\n");
        return 1;
    }
    preferX11UnderXWayland();

    const QString bundleId = QString::fromLatin1(Identity::kBundleIdentifier);
    QCoreApplication::setApplicationName(QString::fromLatin1(Identity::kBundleName));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(Identity::kShortVersion));
    QCoreApplication::setOrganizationDomain(QStringLiteral("brendix.com"));
    QGuiApplication::setDesktopFileName(bundleId);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    if (!options.usageError.empty()) {
        std::fprintf(stderr, "%s\n", options.usageError.c_str());
        return 2;
    }
    const std::optional<LaunchOptions::Search> &search = options.search;

    // One copy at a time: the name is claimed before anything else is built. A second copy
    // hands over to the running one (activate, its search, the copy notification) and ends
    // without a tray icon and without listening to anything.
    if (!RunningApplications::claim(bundleId)) {
        if (RunningApplications::isRunning(bundleId)) {
            std::optional<BXAppDelegate::SearchRequest> request;
            if (search) request = BXAppDelegate::SearchRequest{search->text, search->folder};
            if (!BXAppDelegate::handOverToRunningCopy(bundleId, request))
                std::fprintf(stderr, "lurkel: another copy of Lurkel is running but did not answer.\n");
            return 0;
        }
        qCWarning(lcCore, "no session bus: running alone, other Lurkel programs cannot reach this one");
    }
    CrashReporter::install("lurkel");
    // The session ending (SIGTERM) quits as the menu's Quit does: the loop ends and the
    // settings are written before the process does.
    QuitSignals::install([] { QCoreApplication::quit(); });

    // Icons found by name: the installed theme, else the one beside the build's programs.
    QStringList themePaths = QIcon::themeSearchPaths();
    themePaths.append(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/icons"));
    QIcon::setThemeSearchPaths(themePaths);
    QGuiApplication::setWindowIcon(
        QIcon::fromTheme(bundleId, QIcon(QStringLiteral(":/icons/com.brendix.Lurkel-SII.svg"))));

    // The promotion manager gets its windows, the desktop's notifications and the maker's
    // feeds before the controller first asks for it.
    PromoSession::install();
    BXPurgeController controller;
    controller.awakeFromNib();
    BXAppDelegate delegate(controller);
    controller.setLaunchAtStartupToggle([&delegate](int value) { delegate.toggleLaunchAtStartup(value); });
    QObject::connect(&app, &QGuiApplication::applicationStateChanged, &delegate,
                     [&delegate](Qt::ApplicationState state) {
                         if (state == Qt::ApplicationActive) delegate.applicationDidBecomeActive();
                     });

    QStringList arguments = QCoreApplication::arguments();
    if (!arguments.isEmpty()) arguments.removeFirst();
    delegate.applicationDidFinishLaunching(arguments);
    if (delegate.didHandOverToCopy()) return 0;
    // Reachable by the other programs only once every observer is in place.
    ApplicationBusObject busObject;
    busObject.onActivate = [&delegate]() { delegate.applicationShouldHandleReopen(); };
    busObject.onQuit = [&controller]() { controller.onQuitLurkel(); };
    busObject.onSearch = [&controller](const std::string &text, const BytePath &folder) {
        runSearch(controller, LaunchOptions::Search{text, folder});
    };
    busObject.registerOnBus();

    if (search) runSearch(controller, *search);

    // A tray host may come up after us at login: the controller waits for it a while, then
    // says so.
    controller.waitForTray();
    const int status = QApplication::exec();
    UserDefaults::standardUserDefaults().synchronize();
    Settings::shfGroup().synchronize();
    return status;
}
