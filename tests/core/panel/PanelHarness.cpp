// A small stand-in for the tray application, for looking at the panel and the welcome
// dialog on a real X server (screenshots): a tray icon whose click opens the panel, wired
// to the shared hidden manager, search manager and a memory controller.
//
//   lurkel_panel_harness [--welcome] [--open] [--expanded] [--dark]
//
// --welcome forgets that the welcome dialog was shown and starts with it; --open opens
// the panel at start as a tray click would; --expanded opens the memory section once the
// panel is open; --dark uses a dark palette.
#include "CleanMemoryButton.h"
#include "DesktopAnchor.h"
#include "HiddenManager.h"
#include "Identity.h"
#include "MemoryController.h"
#include "PanelWindow.h"
#include "PanelWindowContextualMenuStrings.h"
#include "PlatformPluginPreference.h"
#include "SearchManager.h"
#include "Settings.h"
#include "SettingsKeys.h"
#include "StatusItemAnchor.h"
#include "UserDefaults.h"
#include "WelcomeDialogOpener.h"

#include <QAbstractButton>
#include <QApplication>
#include <QIcon>
#include <QMenu>
#include <QPalette>
#include <QStyleFactory>
#include <QSystemTrayIcon>
#include <QTimer>

#include <cstdio>

namespace {

QPalette darkPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(45, 45, 48));
    palette.setColor(QPalette::WindowText, QColor(232, 232, 232));
    palette.setColor(QPalette::Base, QColor(30, 30, 32));
    palette.setColor(QPalette::Text, QColor(232, 232, 232));
    palette.setColor(QPalette::Button, QColor(55, 55, 58));
    palette.setColor(QPalette::ButtonText, QColor(232, 232, 232));
    palette.setColor(QPalette::PlaceholderText, QColor(150, 150, 150));
    palette.setColor(QPalette::Highlight, QColor(64, 148, 224));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(120, 120, 120));
    return palette;
}

} // namespace

int main(int argc, char **argv)
{
    using namespace lurkel;
    preferX11UnderXWayland();
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const QStringList arguments = QApplication::arguments();
    if (arguments.contains(QStringLiteral("--dark"))) {
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setPalette(darkPalette());
    }

    Settings settings;
    if (arguments.contains(QStringLiteral("--welcome")))
        settings.saveBoolValueForKey(false, SettingsKeys::kWelcomeDialogDisplayed);

    HiddenManager &hidden = HiddenManager::sharedManager();
    hidden.startTrackingSystemValue();
    hidden.applyStoredValue();

    PanelWindow panel;
    MemoryController memory(settings);
    memory.setInfoPanel(&panel);
    memory.setCleanButton(panel.cleanMemoryButton());
    memory.initValues();
    memory.scheduleCheckMemory(true, 0);
    QObject::connect(&panel, &PanelWindow::cleanMemoryButtonPressed, [&memory] { memory.onFreeMemory(); });

    QSystemTrayIcon tray(QIcon(QStringLiteral(":/icons/lurkel.svg")));
    tray.setToolTip(QString::fromLatin1(Identity::kBundleDisplayName));
    WelcomeDialogOpener welcome;
    welcome.setStatusItemAnchor([&tray] { return DesktopAnchor::fromTrayIcon(&tray, false); });

    QMenu menu;
    QAction *quit =
        menu.addAction(PanelWindowContextualMenuStrings::quit(QString::fromLatin1(Identity::kBundleDisplayName)));
    QObject::connect(quit, &QAction::triggered, &app, &QCoreApplication::quit);
    QObject::connect(&panel, &PanelWindow::preferencesButtonPressed, [&] {
        QAbstractButton *button = panel.preferencesButton();
        menu.popup(button->mapToGlobal(QPoint(0, button->height() + 2)));
    });

    // The main controller's status-item action and its "show the main window".
    const auto statusItemAction = [&](bool clicked) {
        if (welcome.isWelcomeScreenVisible()) welcome.closeWelcomeDialogAndStopModal();
        const std::optional<QPoint> click = clicked ? DesktopAnchor::pointerIfReliable() : std::nullopt;
        panel.processActionOfStatusItem(
            [&tray, click] {
                StatusItemAnchor anchor = DesktopAnchor::fromTrayIcon(&tray, false);
                anchor.clickPoint = click;
                return anchor;
            },
            true);
    };
    const auto showMainWindowAndMakeActive = [&] {
        welcome.openWelcomeDialog([&] {
            if (!panel.isVisible())
                statusItemAction(false);
            else
                panel.makeKeyAndOrderFront();
        });
    };
    welcome.setShowMainWindowAndMakeActive(showMainWindowAndMakeActive);
    QObject::connect(&tray, &QSystemTrayIcon::activated, [&](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger) statusItemAction(true);
    });
    tray.setContextMenu(&menu);

    if (QSystemTrayIcon::isSystemTrayAvailable())
        tray.show();
    else
        std::fprintf(stderr, "lurkel_panel_harness: no system tray; the panel opens at the screen's corner\n");

    panel.updateWindowFrameAndItems();
    panel.showWindowIfNotLocked();
    if (arguments.contains(QStringLiteral("--welcome")) || arguments.contains(QStringLiteral("--open")))
        QTimer::singleShot(0, [&] { showMainWindowAndMakeActive(); });
    if (arguments.contains(QStringLiteral("--expanded"))) {
        auto *expandOnce = new QTimer(&panel);
        expandOnce->setInterval(50);
        QObject::connect(expandOnce, &QTimer::timeout, [&panel, expandOnce] {
            if (!panel.isVisible() || panel.isResizeAnimationRunning()) return;
            expandOnce->stop();
            if (panel.disclosureState() == 0) panel.expandDisclosureButton();
        });
        expandOnce->start();
    }
    return QApplication::exec();
}
