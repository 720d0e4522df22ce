#pragma once

#include "BytePath.h"

#include <QObject>

namespace lurkel {

// lurkel-launcher: started by its autostart entry at login, it starts lurkel (installed
// beside it) unless lurkel already runs, and waits until lurkel tells it to quit with the
// distributed notification "TERMINATEHELPER".
class AppDelegate : public QObject {
    Q_OBJECT
public:
    explicit AppDelegate(QObject *parent = nullptr);

    // The start: false when the launcher has nothing more to do and quits at once.
    bool applicationDidFinishLaunching();
    // Ends the launcher (leaves its event loop, or keeps it from starting).
    void killApp();
    void applicationWillTerminate();

    bool isTerminating() const { return m_terminating; }

    // The program the launcher starts: lurkel in the launcher's own folder; from an AppImage
    // ($APPIMAGE) the AppImage itself, so that lurkel runs from a mount of its own that
    // outlives the launcher's.
    static BytePath applicationProgramPath();
    // Starts the program in a session of its own without waiting for it. False (logged)
    // when it could not be started.
    static bool launchApplication(const BytePath &program);

private:
    bool m_terminating = false;
};

} // namespace lurkel
