#include "Identity.h"
#include "Log.h"
#include "RunningApplications.h"

#include <QAction>
#include <QApplication>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace {

bool hasDisplay()
{
    const char *platform = std::getenv("QT_QPA_PLATFORM");
    if (platform != nullptr && *platform != '\0') return true;
    const char *x11 = std::getenv("DISPLAY");
    const char *wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

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

    // One copy at a time: the name is claimed before anything else is built.
    if (!RunningApplications::claim(bundleId)) {
        if (RunningApplications::isRunning(bundleId)) {
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

    // A tray host may come up after us at login: wait for it a while, then say why nothing shows.
    int attempts = 0;
    QTimer waitForTray;
    waitForTray.setInterval(1000);
    QObject::connect(&waitForTray, &QTimer::timeout, [&]() {
        if (QSystemTrayIcon::isSystemTrayAvailable()) {
            waitForTray.stop();
            tray.show();
        } else if (++attempts >= 30) {
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
