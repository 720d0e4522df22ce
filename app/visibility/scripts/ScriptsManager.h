#pragma once

#include "BytePath.h"
#include "Clock.h"
#include "Error.h"
#include "Spawn.h"

#include <QString>
#include <QThreadPool>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lurkel {

class ApplicationActivity;
class DiskAccessRestoreManager;

// What a script answered: its standard output, one item per line (bytes as written).
using ScriptResult = std::vector<std::string>;
// Gets the script's result (nullopt when it failed or never ran) and its error (nullopt on
// success).
using ScriptCompletion =
    std::function<void(const std::optional<ScriptResult> &result, const std::optional<Error> &error)>;

// How one run of an installed script is carried out.
struct ScriptRunOptions {
    // Given to the script on its standard input (then closed).
    std::string standardInput{};
    // The run is stopped (its whole process group) and reported as timed out when it has
    // not ended this long after it started; 0: no limit.
    std::int64_t timeLimitMs = 0;
    // Output from the script (its progress) starts the limit again: a script that keeps
    // reporting is never stopped, one that falls silent for timeLimitMs is.
    bool outputRestartsLimit = false;
    // The caller's stop switch (a "Stop" button); may be null.
    std::shared_ptr<SpawnCancel> cancel{};
    // Once stopped, how long the script has to end by itself before it is killed.
    int terminateGraceMs = 2000;
    // Called on the pool thread with each piece of standard output as it arrives.
    std::function<void(std::string_view standardOutput)> onOutput{};
};

// How a run ended.
struct ScriptRunEnd {
    std::string standardOutput; // as the script wrote it, also when it failed
    std::optional<Error> error; // nullopt: the script ended with status 0
    bool timedOut = false;      // stopped by the time limit
    bool cancelled = false;     // stopped by the caller's stop switch
};
using ScriptRunCompletion = std::function<void(const ScriptRunEnd &end)>;

// What became of an installed script when it was compared with the shipped one.
enum class ScriptUpgrade {
    Current,  // it is the shipped text
    Upgraded, // it was an earlier shipped text and has been replaced by the current one
    Kept,     // the user's own text (or unreadable): left as it is
};

// Makes the ship's script resources (":/scripts/NAME.scpt") available. The runner calls it
// itself; a program that reads the resources another way calls it once first.
void initScriptResources();

// The runner of Lurkel's file-manager scripts: POSIX shell scripts shipped as resources
// (":/scripts/NAME.scpt") and run by name from the Application Scripts folder
// ($XDG_DATA_HOME/com.brendix.Lurkel-SII/Scripts/NAME.scpt).
//
// A missing script is installed from the resources (mode 0700) when the user folder is
// accessible. Each shipped script carries a version line ("# lurkel-script-version: N"); an
// installed copy whose text is one an earlier Lurkel shipped (their hashes are compiled in)
// is replaced by the current one in one step before it runs, while a copy the user edited
// stays as it is. A script is
// run as "/bin/sh PATH [HANDLER ARG...]" (posix_spawn on bytes) with LURKELCTL in its
// environment, on a thread pool; its end is reported on the main thread. Exit status 0 is
// success, anything else an error "<standard error, trimmed> (exit N)". A script called by
// name has kScriptTimeLimitMs to end (on the clock, so that tests move time themselves);
// one that has not ended by then is stopped with everything it started, and its run fails
// with a timeout error. An installed script
// that someone else could have written (not ours, group- or other-writable, or in a folder
// that is) is not run: that is reported as an error.
//
// "SwitchHiddenFilesVisibility2" may take the keyboard focus away (it may relaunch file
// managers): while one runs, mightLoseFocusBecauseOfScript() is true, and if the
// application was active when it started it is activated again when it ends.
//
// Runs are started on the main thread; several may be in flight at once.
class ScriptsManager {
public:
    static inline constexpr const char kFocusScriptName[] = "SwitchHiddenFilesVisibility2";
    static inline constexpr const char kScriptExtension[] = "scpt";
    static inline constexpr const char kLurkelctlVariable[] = "LURKELCTL";
    static inline constexpr const char kNoFolderDescription[] = "Can not get folder with NSUserDomainMask.";
    // How long a script called by name (switch, check, refresh) may run.
    static inline constexpr std::int64_t kScriptTimeLimitMs = 15000;

    // The application's runner (shared folder-access manager, lurkelctl beside the running
    // program), created on first use.
    static ScriptsManager &sharedManager();

    // lurkelctl: the program handed to scripts as $LURKELCTL; empty means the lurkelctl
    // beside the running program (or the absolute path in this process's own $LURKELCTL).
    explicit ScriptsManager(DiskAccessRestoreManager &access, BytePath lurkelctl = {});
    // Stops the scripts still running and waits for their end.
    ~ScriptsManager();
    ScriptsManager(const ScriptsManager &) = delete;
    ScriptsManager &operator=(const ScriptsManager &) = delete;

    // Not owned; set by the GUI on the main thread. Without one the application counts as
    // inactive.
    void setApplicationActivity(ApplicationActivity *activity);
    // The clock of the time limits; nullptr: Clock::instance(). Not owned.
    void setClock(Clock *clock) { m_clock = clock; }
    Clock &clock() const { return m_clock != nullptr ? *m_clock : Clock::instance(); }
    // Variables every script started from now on gets in its environment besides LURKELCTL
    // (a service started by the bus may lack the display its file managers run on).
    void setScriptEnvironment(std::vector<std::pair<std::string, std::string>> variables)
    {
        m_environment = std::move(variables);
    }

    // Runs the named script without arguments. Failures found before the script starts
    // are reported before this returns; the end of a started script later, on the main
    // thread.
    void executeAppleScriptCompletion(const QString &name, ScriptCompletion completion = {});
    // The same with a handler call: "/bin/sh PATH HANDLER ARG...".
    void executeAppleScriptHandlerCompletion(const QString &name, const std::string &handler,
                                             const BytePathList &arguments, ScriptCompletion completion = {});

    // The installed copy's path (the folder is created, 0700, when missing); on failure the
    // empty path and the error.
    BytePath scriptFilePathWithNameError(const QString &name, std::optional<Error> &error) const;
    bool doesScriptWithNameExistInScriptsFolder(const QString &name) const;
    static bool doesScriptWithNameExistInBundle(const QString &name);
    static bool doScriptWithNameChangesFocus(const QString &name);

    bool mightLoseFocusBecauseOfScript() const { return mightLoseFocusBecauseOfScriptCounter() != 0; }
    int mightLoseFocusBecauseOfScriptCounter() const;

    DiskAccessRestoreManager &diskAccess() const { return *m_access; }

    // The pieces shared with the file-manager communicator.
    //
    // Copies the resource to path without ever replacing a file there (a copy that appears
    // meanwhile counts as installed); nullopt on success.
    static std::optional<Error> installScriptWithName(const QString &name, const BytePath &path);
    // Replaces an installed copy that holds an earlier shipped text by the current one
    // (written beside it, then renamed over it); the user's own text is kept.
    static ScriptUpgrade upgradeInstalledScript(const QString &name, const BytePath &path);
    // nullopt when only this user can have written the script and its folders.
    static std::optional<Error> checkScriptCanBeTrusted(const BytePath &path);
    // Runs an installed script on the pool: trust check, then "/bin/sh path arguments...",
    // within the options' time limit. onEnd runs on the pool thread as soon as the script
    // has ended (or was refused); the completion follows on the main thread.
    void runInstalledScript(const BytePath &path, std::vector<std::string> arguments, ScriptRunOptions options,
                            ScriptRunCompletion completion, std::function<void()> onEnd = {});
    // The same with the result as lines.
    void runInstalledScript(const BytePath &path, std::vector<std::string> arguments, ScriptRunOptions options,
                            ScriptCompletion completion, std::function<void()> onEnd = {});
    // "The script NAME did not end within N s and was stopped." (or, when progress restarts
    // the limit, "... reported nothing for N s ...").
    static QString timeoutDescription(const BytePath &path, const ScriptRunOptions &options);
    // Blocks until every started script has ended (their completions may still be queued).
    void waitForRunningScripts();

private:
    struct Shared;

    void execute(const QString &name, std::vector<std::string> arguments, ScriptCompletion completion);

    DiskAccessRestoreManager *m_access;
    Clock *m_clock = nullptr;
    BytePath m_lurkelctl;
    std::vector<std::pair<std::string, std::string>> m_environment;
    std::shared_ptr<Shared> m_shared;
    QThreadPool m_pool;
};

} // namespace lurkel
