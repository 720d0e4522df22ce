#pragma once

#include "BytePath.h"

#include <QString>

#include <string>
#include <utility>
#include <vector>

#include <sys/types.h>

namespace lurkel {

// The display the file managers run on, for a program that may have none of its own: a
// service started by the bus gets the bus's environment, which often lacks DISPLAY and
// WAYLAND_DISPLAY, and the relaunch scripts restart only the file managers on the display
// they are given.
class SessionDisplay {
public:
    using Variables = std::vector<std::pair<std::string, std::string>>;

    // The variables that place a window: DISPLAY, WAYLAND_DISPLAY and, with them, XAUTHORITY.
    static const std::vector<std::string> &displayVariableNames();

    // Where the display came from, and the variables (empty with Source::None).
    enum class Source { OwnEnvironment, FileManager, Session, None };
    struct Found {
        Source source = Source::None;
        Variables variables;
        QString description; // for the log: "nemo (pid 123)", "the session manager"
    };

    // This process's own display when it has one; else that of a running file manager of this
    // user (in the order the scripts know them, from /proc/PID/environ under procRoot), one on
    // this program's session bus first; else the session's (systemctl --user show-environment);
    // else none.
    static Found find(const BytePath &procRoot = BytePath("/proc"));

    // The display variables among NAME=VALUE entries (the environment of a process, or the
    // lines systemctl prints); those with an empty value do not count.
    static Variables displayOf(const std::vector<std::string> &entries);
    // A running file manager of this user with a display. The same user may have sessions on
    // other displays at once: one whose DBUS_SESSION_BUS_ADDRESS is sessionBus (the bus's
    // guid aside) belongs to this program's session and goes before all others.
    static Found fromFileManagers(const BytePath &procRoot, uid_t uid, const std::string &sessionBus = {});
    // The session's environment as the user's service manager keeps it.
    static Found fromSessionManager();
};

} // namespace lurkel
