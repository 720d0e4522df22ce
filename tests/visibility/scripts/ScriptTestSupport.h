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

// Names that break careless scripts: blanks, line feeds, quotes, command substitution, a
// leading dash, bytes that are not UTF-8, and the ", " that joins paths elsewhere.
extern const std::vector<std::string> kHostileNames;

// What one script run reported.
struct RunOutcome {
    bool finished = false;
    std::optional<ScriptResult> result;
    std::optional<Error> error;

    bool ok() const { return finished && !error; }
    QString errorText() const { return error ? error->localizedDescription() : QString(); }
    std::string output() const; // the result lines joined with "\n"
};

// Run the event loop until the completion has arrived.
RunOutcome runScript(ScriptsManager &runner, const QString &name);
RunOutcome runScriptHandler(ScriptsManager &runner, const QString &name, const std::string &handler,
                            const BytePathList &arguments);
// Waits (inotify) until the file contains text; false after timeoutMs.
bool waitForFileText(const BytePath &path, const std::string &text, int timeoutMs = 20000);

// A clean home with a runner over it: the Application Scripts folder is empty.
class ScriptHome {
public:
    explicit ScriptHome(const BytePath &userFolder = {});
    BytePath home;
    BytePath lurkelctl() const { return home / "bin/lurkelctl"; }
    BytePath scriptPath(const char *name) const;
    void installOwnScript(const char *name, const std::string &text) const; // mode 0700

    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<DiskAccessRestoreManager> access;
    std::unique_ptr<ScriptsManager> runner;
};

// Fake file managers on a PATH of their own: they log their calls ("<name>.log"), run until
// told to quit, and (PCManFM, PCManFM-Qt) write back their starting setting on quitting.
// gsettings is real (keyfile back end, private schemas); DISPLAY is this desktop's own.
class FakeDesktop {
public:
    enum Schemas : unsigned { Gtk4 = 1, Gtk3 = 2, Nemo = 4, Caja = 8, AllSchemas = 15 };

    explicit FakeDesktop(unsigned schemas = AllSchemas);
    ~FakeDesktop();
    FakeDesktop(const FakeDesktop &) = delete;
    FakeDesktop &operator=(const FakeDesktop &) = delete;

    ScriptHome scripts;

    BytePath binDir() const { return m_root / "bin"; }
    BytePath logDir() const { return m_root / "log"; }

    void addFileManager(const std::string &name);             // Thunar comes with xfconf-query
    void setDefaultFileManager(const std::string &desktopId); // through a fake xdg-mime
    void startFileManager(const std::string &name, const std::vector<std::string> &arguments,
                          const std::string &display = {});
    std::string log(const std::string &name) const;
    bool waitForLog(const std::string &name, const std::string &text) const;

    std::string gsettingsGet(const char *schema, const char *key) const;
    void gsettingsSet(const char *schema, const char *key, const char *value) const;
    std::string xfconfValue() const;

private:
    BytePath m_root;
    int m_alive = -1; // the one writer of the fakes' lifeline, closed when the test ends
    std::vector<pid_t> m_children;
};

} // namespace lurkel::test
