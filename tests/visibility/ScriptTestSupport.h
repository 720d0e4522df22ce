#pragma once

#include "BytePath.h"
#include "DiskAccessRestoreManager.h"
#include "ScriptsManager.h"
#include "UserDefaults.h"

#include <QString>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

namespace lurkel::test {

// What one script run reported.
struct RunOutcome {
    bool finished = false;
    std::optional<ScriptResult> result;
    std::optional<Error> error;

    bool ok() const { return finished && !error; }
    QString errorText() const { return error ? error->localizedDescription() : QString(); }
    std::string output() const; // the result lines joined with "\n"
};

// Runs the event loop until the completion has arrived (or the guard of 60 s has passed).
RunOutcome runScript(ScriptsManager &runner, const QString &name);
RunOutcome runScriptHandler(ScriptsManager &runner, const QString &name, const std::string &handler,
                            const BytePathList &arguments);
// Runs the event loop until done() is true (or the guard has passed); false on the guard.
bool runEventsUntil(const std::function<bool()> &done, int guardMs = 60000);

// Waits for a change in the folder of path (inotify, no sleeping) until the file contains
// text; false after timeoutMs.
bool waitForFileText(const BytePath &path, const std::string &text, int timeoutMs = 20000);

// A clean home with a runner over it, for tests of the scripts: the Application Scripts
// folder is empty, and $LURKELCTL points at lurkelctl().
class ScriptHome {
public:
    explicit ScriptHome(const BytePath &userFolder = {});
    BytePath home;
    BytePath lurkelctl() const { return home / "bin/lurkelctl"; }
    BytePath scriptPath(const char *name) const;
    // Replaces the installed copy with the user's own text (mode 0700).
    void installOwnScript(const char *name, const std::string &text) const;

    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<DiskAccessRestoreManager> access;
    std::unique_ptr<ScriptsManager> runner;
};

// A desktop made of fake file managers: small shell programs in a folder of their own on
// PATH that record how they were called ("<name>.log" in logDir()), run until told to quit
// (their quit option, or SIGTERM) or until the test process ends, and (PCManFM and
// PCManFM-Qt) write back the setting they started with when they quit, as the real ones do.
// PATH holds only them and the ordinary tools the scripts need, so no real file manager of
// the machine is seen. gsettings is real, with the keyfile back end and a private schema
// folder. DISPLAY is a name of this desktop's own, so the scripts see only its file
// managers, never those of the user running the tests nor of a test running beside it.
class FakeDesktop {
public:
    // Which GTK/Nemo/Caja schemas the private schema folder holds.
    enum Schemas : unsigned { Gtk4 = 1, Gtk3 = 2, Nemo = 4, Caja = 8, AllSchemas = 15 };

    explicit FakeDesktop(unsigned schemas = AllSchemas);
    ~FakeDesktop();
    FakeDesktop(const FakeDesktop &) = delete;
    FakeDesktop &operator=(const FakeDesktop &) = delete;

    ScriptHome scripts;

    BytePath binDir() const { return m_root / "bin"; }
    BytePath logDir() const { return m_root / "log"; }

    // Puts a fake file manager (or xfconf-query for Thunar) on PATH.
    void addFileManager(const std::string &name);
    // A fake xdg-mime that names this desktop file as the folder handler.
    void setDefaultFileManager(const std::string &desktopId);
    // Starts a fake file manager in the background (it writes its pid file), on this
    // desktop's own display unless another one is given.
    void startFileManager(const std::string &name, const std::vector<std::string> &arguments,
                          const std::string &display = {});
    std::string log(const std::string &name) const;
    bool waitForLog(const std::string &name, const std::string &text) const;

    // gsettings through the same back end the scripts use.
    std::string gsettingsGet(const char *schema, const char *key) const;
    void gsettingsSet(const char *schema, const char *key, const char *value) const;
    std::string xfconfValue() const;

private:
    BytePath m_root;
    int m_alive = -1; // the one writer of the fakes' lifeline, closed when the test ends
    std::vector<pid_t> m_children;
};

} // namespace lurkel::test
