#pragma once

#include "BytePath.h"

#include <QString>

#include <sys/types.h>

namespace lurkel::test {

// A private D-Bus session bus for one test process: a dbus-daemon started with the test's
// own HOME and XDG folders, its address exported as DBUS_SESSION_BUS_ADDRESS. Start it
// before the first use of QDBusConnection::sessionBus() (Qt keeps that connection for
// the life of the process). The daemon is killed when the object is destroyed.
//
// Services are activatable from serviceDirectory() (a fresh folder of this bus, where a
// test may write ".service" files at any time) and from the extra folders given.
class PrivateBus {
public:
    PrivateBus();
    explicit PrivateBus(const BytePathList &extraServiceDirectories);
    ~PrivateBus();
    PrivateBus(const PrivateBus &) = delete;
    PrivateBus &operator=(const PrivateBus &) = delete;

    bool isRunning() const { return m_pid > 0; }
    const QString &address() const { return m_address; }
    pid_t pid() const { return m_pid; }
    const BytePath &serviceDirectory() const { return m_serviceDirectory; }

    // The process-wide bus, started on first call.
    static PrivateBus &shared();
    // Extra service folders for shared(); only effective before its first call.
    static void setSharedServiceDirectories(const BytePathList &directories);

private:
    void start(const BytePathList &extraServiceDirectories);

    pid_t m_pid = -1;
    QString m_address;
    BytePath m_folder;
    BytePath m_serviceDirectory;
    QByteArray m_previousAddress;
    bool m_hadPreviousAddress = false;
};

} // namespace lurkel::test
