#pragma once

#include "BytePath.h"
#include "Error.h"
#include "LoginItem.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace lurkel {

// Starting at login over XDG autostart.
//
// The current way: the launcher program (lurkel-launcher, installed beside lurkel) has an
// autostart entry named after its bus name, "<launcher id>.desktop" in
// $XDG_CONFIG_HOME/autostart; at login it starts lurkel, which tells it to go away
// (checkWasAutolaunchedWithHelperApp_AutoTerminateHelper). The older way, still read and
// removed once at start-up: the application's own entry "com.brendix.Lurkel-SII.desktop"
// in the same folder.
//
// "Enabled" follows the session: the entry that counts for a name (the user's over the
// system's in $XDG_CONFIG_DIRS/autostart) is Type=Application and has neither Hidden=true
// nor X-GNOME-Autostart-enabled=false. Turning an entry off deletes the user's file, or
// writes one with Hidden=true where a system-wide entry of that name would otherwise run.
//
// From an AppImage ($APPIMAGE set) the programs beside the running one live in a mount
// that ends with the process: the launcher's entry then starts the AppImage itself in
// launcher mode ("$APPIMAGE" --launcher), and an AppImage that is not there or whose path
// cannot be written into an entry is refused. Either way an entry counts as enabled only
// while the program it starts exists.
//
// Used from the main thread (or a single thread); every call is synchronous.
class RunAtLoginManager {
public:
    // The argument that makes lurkel run as the launcher (the AppImage's entry passes it).
    static inline constexpr const char kLauncherModeArgument[] = "--launcher";

    // Posted by the application (object: its bundle identifier) when the launcher started
    // it; the launcher quits on it.
    // The file ids that stand for the system's own jobs: never reported as login items.
    static inline constexpr const char *kSystemEntryPrefixes[] = {"org.gnome.", "org.kde."};

    // Gets the error that made a change fail.
    using FailedBlock = std::function<void(const Error &error)>;

    // The instance of this class, created on first use and kept for the life of the process.
    static RunAtLoginManager &shared();

    // programDirectory: where Lurkel's programs are installed; empty means the folder of
    // the running executable.
    explicit RunAtLoginManager(BytePath programDirectory = {});
    virtual ~RunAtLoginManager();
    RunAtLoginManager(const RunAtLoginManager &) = delete;
    RunAtLoginManager &operator=(const RunAtLoginManager &) = delete;

    // Set by checkWasAutolaunchedWithHelperApp_AutoTerminateHelper: the launcher ran when
    // this process started, so it was started at login.
    bool wasAutolaunchedWithHelperApp() const { return m_wasAutolaunchedWithHelperApp; }

    // The older kind of entry: the application's own.
    bool isLaunchAtStartup();
    // The file of the application's own entry when it is enabled, else nullopt.
    std::optional<BytePath> itemRefInLoginItems();
    // Turns the application's own entry off when it is on, else writes it (starting lurkel
    // beside the launcher). nullopt on success, else what went wrong.
    std::optional<Error> toggleLaunchAtLoginValue_WithoutHelperApp();

    // Every enabled autostart entry of the user's and the system's folders, by file id,
    // apart from the system's own (kSystemEntryPrefixes).
    std::vector<LoginItem> loadSandboxedLoginItems();
    bool isAppWithBundleIdentifierEnabledForAutolaunch(const QString &bundleIdentifier);
    bool isEnabledToAutoLaunchWithHelperApp();

    // Writes or turns off the entry of the helper with that identifier; a failure is
    // logged and handed to failedBlock (not called on success).
    void setIsEnabledForHelperAppBundleIdentifierFailedBlock(bool enabled, const QString &bundleIdentifier,
                                                             const FailedBlock &failedBlock);
    void setIsEnabledForHelperAppFailedBlock(bool enabled, const FailedBlock &failedBlock);

    // Whether the launcher is running (its bus name has an owner); stores the answer in
    // wasAutolaunchedWithHelperApp, and with terminate posts "TERMINATEHELPER" with the
    // application's bundle identifier as object, which makes the launcher quit.
    bool checkWasAutolaunchedWithHelperApp_AutoTerminateHelper(bool terminate);

    const BytePath &programDirectory() const { return m_programDirectory; }
    // The AppImage this process runs from: $APPIMAGE unless set here (an empty path: none).
    void setAppImage(std::optional<BytePath> appImage) { m_appImage = std::move(appImage); }
    std::optional<BytePath> appImage() const;
    // The program a helper's entry starts (in programDirectory), or nullopt when the
    // identifier names no helper this manager knows.
    virtual std::optional<BytePath> helperProgramPath(const QString &bundleIdentifier) const;
    // The application's own program, lurkel, in programDirectory.
    BytePath applicationProgramPath() const;

protected:
    // The launcher's bundle identifier; "com.brendix.myapp" here, a subclass names its own.
    virtual QString _launcherAppBundleIdentifier() const;

private:
    std::optional<Error> enableEntry(const QString &fileId, const std::optional<BytePath> &program,
                                     const std::vector<std::string> &arguments = {});
    std::optional<Error> disableEntry(const QString &fileId, const std::optional<BytePath> &program);

    BytePath m_programDirectory;
    std::optional<BytePath> m_appImage;
    bool m_wasAutolaunchedWithHelperApp = false;
};

} // namespace lurkel
