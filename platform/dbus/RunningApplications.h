#pragma once

#include "BytePath.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>

namespace lurkel {

// "Running applications with bundle identifier X": whether D-Bus name X has an owner on the
// session bus. Each program claims its name first thing, without queueing.
class RunningApplications {
public:
    static inline constexpr const char kObjectPath[] = "/com/brendix/Application";
    static inline constexpr const char kInterface[] = "com.brendix.Application";

    // Claims the name without queueing or replacement; false when another process owns it
    // or there is no bus.
    static bool claim(const QString &name);
    static void release(const QString &name);
    static bool isRunning(const QString &name);
    static std::optional<pid_t> pidOf(const QString &name);
    // Calls Activate on the owner of the name; false when nobody answered.
    static bool activate(const QString &name);
    // Calls Search(ay text, ay folder) on the owner: it searches for text in folder (both
    // as bytes); false when nobody answered.
    static bool search(const QString &name, const std::string &text, const BytePath &folder);
    // Calls Quit on the owner; only when it has no such method and /proc/PID/exe is one of
    // Lurkel's own programs is it sent SIGTERM. False when nothing was done.
    static bool quit(const QString &name);
    // True when /proc/PID/exe names one of Lurkel's programs beside the running executable
    // (or an extra path added for tests).
    static bool isOwnProgram(pid_t pid);
    static void addOwnProgramPathForTesting(const QString &absolutePath);
};

// The object a program exports at RunningApplications::kObjectPath so that others can
// activate and quit it. Handlers run on the main thread.
class ApplicationBusObject : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.brendix.Application")
public:
    explicit ApplicationBusObject(QObject *parent = nullptr);
    // Registers this object on the session bus; false without a bus.
    bool registerOnBus();
    std::function<void()> onActivate;
    std::function<void()> onQuit;
    std::function<void(const std::string &text, const BytePath &folder)> onSearch;

public Q_SLOTS:
    void Activate();
    void Quit();
    void Search(const QByteArray &text, const QByteArray &folder);
};

} // namespace lurkel
