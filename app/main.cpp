#include "Identity.h"
#include "Log.h"
#include "PathsGenerator.h"
#include "RunningApplications.h"
#include "SearchManager.h"
#include "SearchResultWC.h"
#include "Settings.h"
#include "StatusItemToolTip.h"

#include <QAction>
#include <QApplication>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <sys/stat.h>
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

// "lurkel --search TEXT [FOLDER]": the results window with that search. The arguments are
// taken as the bytes they are; FOLDER defaults to the last folder searched, else home.
struct SearchOption {
    std::string text;
    lurkel::BytePath folder;
};

bool isDirectory(const lurkel::BytePath &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// nullopt without --search; exits on a usage error.
std::optional<SearchOption> parseSearchOption(int argc, char **argv)
{
    using lurkel::BytePath;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--search") != 0) continue;
        if (i + 1 >= argc) {
            std::fprintf(stderr, "usage: lurkel --search TEXT [FOLDER]\n");
            std::exit(2);
        }
        SearchOption option{argv[i + 1], {}};
        if (i + 2 < argc && std::strncmp(argv[i + 2], "--", 2) != 0) {
            option.folder = BytePath(argv[i + 2]);
            if (!option.folder.isAbsolute()) {
                std::string cwd(4096, '\0');
                if (::getcwd(cwd.data(), cwd.size()) != nullptr) {
                    cwd.resize(std::strlen(cwd.c_str()));
                    option.folder = BytePath(cwd) / option.folder.bytes();
                }
            }
            if (!isDirectory(option.folder)) {
                std::fprintf(stderr, "lurkel: --search: not a folder: %s\n", argv[i + 2]);
                std::exit(2);
            }
        } else {
            const std::optional<BytePath> saved = lurkel::Settings().getSearchLocation();
            option.folder = saved && isDirectory(*saved) ? *saved : lurkel::PathsGenerator().getHomeDirectory();
        }
        return option;
    }
    return std::nullopt;
}

// The tray icon's tool tip follows the search.
class TrayToolTip final : public lurkel::StatusItemToolTip {
public:
    explicit TrayToolTip(QSystemTrayIcon &tray) : m_tray(tray) {}
    void updateStatusItemWithToolTip(const QString &toolTip) override { m_tray.setToolTip(toolTip); }

private:
    QSystemTrayIcon &m_tray;
};

} // namespace

int main(int argc, char **argv)
{
    using namespace lurkel;
    if (!hasDisplay()) {
        std::fprintf(stderr, "lurkel: no graphical display: neither DISPLAY nor WAYLAND_DISPLAY is set.\n"
                             "Lurkel lives in the tray of a desktop session; start it from one "
                             "(or use lurkelctl in a terminal).\n");
        return 1;
    }

    const QString bundleId = QString::fromLatin1(Identity::kBundleIdentifier);
    QCoreApplication::setApplicationName(QString::fromLatin1(Identity::kBundleName));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(Identity::kShortVersion));
    QCoreApplication::setOrganizationDomain(QStringLiteral("brendix.com"));
    QGuiApplication::setDesktopFileName(bundleId);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const std::optional<SearchOption> search = parseSearchOption(argc, argv);

    // One copy at a time: the name is claimed before anything else is built.
    if (!RunningApplications::claim(bundleId)) {
        if (RunningApplications::isRunning(bundleId)) {
            if (search) {
                std::fprintf(stderr, "lurkel: another copy of Lurkel is running: search from its panel, or quit it "
                                     "and try --search again.\n");
                return 1;
            }
            RunningApplications::activate(bundleId);
            return 0;
        }
        qCWarning(lcCore, "no session bus: running alone, other Lurkel programs cannot reach this one");
    }
    ApplicationBusObject busObject;
    busObject.onQuit = []() { QCoreApplication::quit(); };
    busObject.registerOnBus();

    QSystemTrayIcon tray(QIcon(QStringLiteral(":/icons/lurkel.svg")));
    tray.setToolTip(QString::fromLatin1(Identity::kBundleDisplayName));
    QMenu menu;
    QAction *quit = menu.addAction(QObject::tr("Quit %1").arg(QString::fromLatin1(Identity::kBundleDisplayName)));
    QObject::connect(quit, &QAction::triggered, &app, &QCoreApplication::quit);
    tray.setContextMenu(&menu);

    TrayToolTip trayToolTip(tray);
    std::unique_ptr<SearchResultWC> resultsWindow;
    if (search) {
        // What the panel does for a search of its own: the template, then the folder
        // (remembered as the custom folder when it is neither home nor the whole disk).
        if (search->folder != BytePath("/") && search->folder != PathsGenerator().getHomeDirectory()) {
            Settings().saveCustomFolderButtonSearchLocation(search->folder);
        }
        SearchManager &manager = SearchManager::sharedManager();
        resultsWindow = std::make_unique<SearchResultWC>();
        resultsWindow->setPurgeController(&trayToolTip);
        NotificationCenter::defaultCenter().addObserver(
            SearchManager::openSearchResultDialogNotification(), {},
            [&resultsWindow](const Notification &) { resultsWindow->showWindow(); }, resultsWindow.get());
        resultsWindow->showWindow();
        const std::optional<Error> error =
            manager.performSearchWithTemplateBytesAndFolder(search->text, search->folder);
        if (error) {
            std::fprintf(stderr, "lurkel: --search: %s\n", qPrintable(error->localizedDescription()));
        }
        // Without a tray icon nothing is left to use once the window has closed.
        QObject::connect(&app, &QGuiApplication::lastWindowClosed, &app, [&tray]() {
            if (!tray.isVisible()) QCoreApplication::quit();
        });
    }

    // A tray host may come up after us at login: wait for it a while, then say why nothing shows.
    int attempts = 0;
    QTimer waitForTray;
    waitForTray.setInterval(1000);
    QObject::connect(&waitForTray, &QTimer::timeout, [&]() {
        if (QSystemTrayIcon::isSystemTrayAvailable()) {
            waitForTray.stop();
            tray.show();
        } else if (++attempts >= 30) {
            if (resultsWindow && resultsWindow->isVisible()) {
                waitForTray.stop(); // the results window is in use; it ends the program when closed
                return;
            }
            std::fprintf(stderr, "lurkel: no system tray is available in this session. On GNOME, install and enable "
                                 "the AppIndicator extension (gnome-shell-extension-appindicator).\n");
            QCoreApplication::exit(1);
        }
    });
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        tray.show();
    } else {
        waitForTray.start();
    }
    return QApplication::exec();
}
