#pragma once

#include "BytePath.h"
#include "Error.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <optional>
#include <string>

class QAction;

namespace lurkel {

class BXPurgeController;
class DistributedNotificationCenter;
class NotificationCenter;
class RunAtLoginManager;
class UrlOpener;
class UserDefaults;

// What the offer to copy the application into the Applications folder answered.
struct MoveToApplicationsAnswer {
    bool move = false;     // the first button ("Move to Applications Folder")
    bool suppress = false; // the "Do not ask again" box was on
};

// What the delegate works with. Every member left empty means the process's own.
struct AppDelegateServices {
    RunAtLoginManager *runAtLogin = nullptr;              // LurkelProjectRunAtLoginManager::shared()
    UserDefaults *defaults = nullptr;                     // UserDefaults::standardUserDefaults()
    NotificationCenter *notificationCenter = nullptr;     // NotificationCenter::defaultCenter()
    DistributedNotificationCenter *distributed = nullptr; // DistributedNotificationCenter::defaultCenter()
    UrlOpener *urlOpener = nullptr;                       // DesktopUrlOpener::shared()
    // The AppImage this process runs from; empty: $APPIMAGE (unset: not an AppImage).
    std::optional<BytePath> appImage;
    // The user's home; empty: $HOME.
    BytePath home;
    // The offer's alert; empty: a modal message box with a suppression check box.
    std::function<MoveToApplicationsAnswer(const QString &message, const QString &informative)> moveAlert;
    // An error alert (title, text); empty: a modal message box.
    std::function<void(const QString &title, const QString &text)> errorAlert;
    // Starts the copied application; empty: the bus name is released, then the copy is
    // started detached.
    std::function<bool(const BytePath &program)> launchApplication;
    // Ends this process's event loop; empty: QCoreApplication::quit.
    std::function<void()> terminate;
};

// The process-wide part of the tray application's start: crash reports, the hand-over
// from the login launcher, the one-copy rule, the offer to move an AppImage into
// ~/Applications, the move of an older autostart entry, the first opening of the panel,
// the "ShowWindowAfterStart" argument and the recommendation e-mail. It also answers
// re-activation (a second start, the desktop's "activate") and changes launch at login.
// Main thread only.
class BXAppDelegate : public QObject {
    Q_OBJECT

public:
    static inline constexpr const char kEmailSubject[] = "I recommend to try this app for your computer";

    BXAppDelegate(BXPurgeController &controller, AppDelegateServices services = {}, QObject *parent = nullptr);
    ~BXAppDelegate() override;

    // The controller of the running application (set while a delegate exists).
    static BXPurgeController *purgeController();

    // What a second copy does before it builds anything, when the name is taken: activates
    // the running copy, passes it the search (when given), posts the copy notification and
    // answers true. False when no running copy answered.
    struct SearchRequest {
        std::string text;
        BytePath folder;
    };
    static bool handOverToRunningCopy(const QString &bundleIdentifier, const std::optional<SearchRequest> &search);

    // The start; arguments are the process arguments after the program.
    void applicationDidFinishLaunching(const QStringList &arguments);
    // Whether the start opens the panel (after the welcome dialog on the first start): not
    // when the login launcher started this process, not when "ShowInfo" is off.
    bool shouldShowPanelAtStart() const;
    // This process is the only copy (it owns the bus name): listen for later copies.
    void crashTheAppIfCopyIsAlreadyLaunched();
    QString appCopyHaveJustTriedToLaunchNotificatioName() const;
    void appCopyHaveJustTriedToLaunch();
    // The desktop asked to activate the application (its bus Activate, a second start).
    bool applicationShouldHandleReopen();
    // One of the application's windows got the focus.
    void applicationDidBecomeActive();

    // The AppImage offer. True with destination set when a copy was made.
    bool copyAppToApplications(BytePath &destination);
    // ~/Applications.
    BytePath applicationsSystemDirectory() const;
    // Asks a running copy started from path (its /proc/PID/exe) to quit. True when one was
    // found and accepted.
    bool terminateAppByPathIfRunning(const BytePath &path);

    // Launch at login.
    void toggleLaunchAtStartup(int value);
    void setIsEnabledForHelperApp(bool enabled);

    // The recommendation e-mail item.
    void setSharingButton();
    void emailButtonPressed();
    void sendEmailWithMailAddressSubjectBody(const QString &mail, const QString &address, const QString &subject,
                                             const QString &body);
    static QUrl mailtoUrl(const QString &address, const QString &subject, const QString &body);
    static QString emailBody();

    // The start ended early: a copy was launched from ~/Applications.
    bool didHandOverToCopy() const { return m_handedOverToCopy; }

private:
    void showErrorAlert(const QString &title, const QString &text);
    BytePath home() const;
    std::optional<BytePath> appImage() const;

    BXPurgeController &m_controller;
    RunAtLoginManager &m_runAtLogin;
    UserDefaults &m_defaults;
    NotificationCenter &m_center;
    DistributedNotificationCenter &m_distributed;
    UrlOpener &m_urlOpener;
    AppDelegateServices m_services;
    bool m_becameActiveOnce = false;
    bool m_handedOverToCopy = false;
};

} // namespace lurkel
