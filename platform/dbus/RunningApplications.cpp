#include "RunningApplications.h"

#include "BytePath.h"
#include "Log.h"
#include "ProgramPaths.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusReply>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <unistd.h>
#include <vector>

namespace lurkel {
namespace {

constexpr int kActivateTimeoutMs = 2000;
constexpr int kQuitTimeoutMs = 5000;

// The programs built from this tree, installed side by side.
constexpr std::string_view kOwnProgramNames[] = {"lurkel",       "lurkel-launcher",    "lurkelctl",
                                                 "lurkel-hider", "lurkel-finder-sync", "lurkel-pluginkit"};

std::mutex g_testPathsMutex;
std::vector<std::string> g_testPaths;

std::optional<QDBusConnection> sessionBus()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) return bus;
    static std::once_flag once;
    std::call_once(once, [&bus] {
        qCWarning(lcBus, "no D-Bus session bus (%s): other running Lurkel programs cannot be seen, this one runs alone",
                  qUtf8Printable(bus.lastError().message()));
    });
    return std::nullopt;
}

const QString &objectPath()
{
    static const QString s = QString::fromLatin1(RunningApplications::kObjectPath);
    return s;
}

const QString &interfaceName()
{
    static const QString s = QString::fromLatin1(RunningApplications::kInterface);
    return s;
}

// Calls a method of the application interface on a running owner; never starts a service.
QDBusMessage callApplication(const QDBusConnection &bus, const QString &service, const QString &method, int timeoutMs,
                             const QVariantList &arguments = {})
{
    QDBusMessage call = QDBusMessage::createMethodCall(service, objectPath(), interfaceName(), method);
    call.setAutoStartService(false);
    call.setArguments(arguments);
    return bus.call(call, QDBus::Block, timeoutMs);
}

QByteArray bytesOf(const std::string &bytes)
{
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

bool isMissingMethod(const QDBusMessage &reply)
{
    const QString error = reply.errorName();
    return error == QLatin1StringView("org.freedesktop.DBus.Error.UnknownMethod") ||
           error == QLatin1StringView("org.freedesktop.DBus.Error.UnknownObject") ||
           error == QLatin1StringView("org.freedesktop.DBus.Error.UnknownInterface");
}

} // namespace

bool RunningApplications::claim(const QString &name)
{
    auto bus = sessionBus();
    if (!bus) return false;
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = bus->interface()->registerService(
        name, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid()) {
        qCWarning(lcBus, "cannot claim %s: %s", qUtf8Printable(name), qUtf8Printable(reply.error().message()));
        return false;
    }
    return reply.value() == QDBusConnectionInterface::ServiceRegistered;
}

void RunningApplications::release(const QString &name)
{
    auto bus = sessionBus();
    if (!bus) return;
    const QDBusReply<bool> reply = bus->interface()->unregisterService(name);
    if (!reply.isValid()) {
        qCWarning(lcBus, "cannot release %s: %s", qUtf8Printable(name), qUtf8Printable(reply.error().message()));
    }
}

bool RunningApplications::isRunning(const QString &name)
{
    auto bus = sessionBus();
    if (!bus) return false;
    const QDBusReply<bool> reply = bus->interface()->isServiceRegistered(name);
    return reply.isValid() && reply.value();
}

std::optional<pid_t> RunningApplications::pidOf(const QString &name)
{
    auto bus = sessionBus();
    if (!bus) return std::nullopt;
    const QDBusReply<uint> reply = bus->interface()->servicePid(name);
    if (!reply.isValid() || reply.value() == 0) return std::nullopt;
    return static_cast<pid_t>(reply.value());
}

bool RunningApplications::activate(const QString &name)
{
    auto bus = sessionBus();
    if (!bus) return false;
    const QDBusMessage reply = callApplication(*bus, name, QStringLiteral("Activate"), kActivateTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage) return true;
    qCInfo(lcBus, "could not activate %s: %s", qUtf8Printable(name), qUtf8Printable(reply.errorMessage()));
    return false;
}

bool RunningApplications::search(const QString &name, const std::string &text, const BytePath &folder)
{
    auto bus = sessionBus();
    if (!bus) return false;
    const QDBusMessage reply = callApplication(*bus, name, QStringLiteral("Search"), kActivateTimeoutMs,
                                               {bytesOf(text), bytesOf(folder.bytes())});
    if (reply.type() == QDBusMessage::ReplyMessage) return true;
    qCInfo(lcBus, "could not pass the search to %s: %s", qUtf8Printable(name), qUtf8Printable(reply.errorMessage()));
    return false;
}

bool RunningApplications::quit(const QString &name)
{
    auto bus = sessionBus();
    if (!bus) return false;
    QDBusConnectionInterface *busInterface = bus->interface();
    // Everything below addresses the process that owns the name now, even if the name
    // changes hands meanwhile.
    const QDBusReply<QString> owner = busInterface->serviceOwner(name);
    if (!owner.isValid() || owner.value().isEmpty()) return false;
    const QString unique = owner.value();

    const QDBusMessage reply = callApplication(*bus, unique, QStringLiteral("Quit"), kQuitTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage) return true;

    if (!isMissingMethod(reply)) {
        // It may have quit without answering.
        const QDBusReply<bool> stillThere = busInterface->isServiceRegistered(unique);
        if (stillThere.isValid() && !stillThere.value()) return true;
        qCWarning(lcBus, "Quit on %s failed: %s", qUtf8Printable(name), qUtf8Printable(reply.errorMessage()));
        return false;
    }

    const QDBusReply<uint> pidReply = busInterface->servicePid(unique);
    if (!pidReply.isValid() || pidReply.value() == 0) return false;
    const auto pid = static_cast<pid_t>(pidReply.value());
    if (!isOwnProgram(pid)) {
        qCWarning(lcBus, "%s (pid %d) has no Quit method and is not a Lurkel program: left running",
                  qUtf8Printable(name), static_cast<int>(pid));
        return false;
    }
    if (::kill(pid, SIGTERM) != 0) {
        qCWarning(lcBus, "SIGTERM to %s (pid %d): %s", qUtf8Printable(name), static_cast<int>(pid),
                  std::strerror(errno));
        return false;
    }
    qCInfo(lcBus, "%s (pid %d) has no Quit method: sent SIGTERM", qUtf8Printable(name), static_cast<int>(pid));
    return true;
}

bool RunningApplications::isOwnProgram(pid_t pid)
{
    if (pid <= 0) return false;
    const std::optional<BytePath> program = ProgramPaths::executableOf(pid);
    if (!program) return false;
    {
        std::lock_guard lock(g_testPathsMutex);
        if (std::find(g_testPaths.begin(), g_testPaths.end(), program->bytes()) != g_testPaths.end()) return true;
    }
    const std::string_view name = program->fileName();
    if (std::find(std::begin(kOwnProgramNames), std::end(kOwnProgramNames), name) == std::end(kOwnProgramNames)) {
        return false;
    }
    const BytePath folder = ProgramPaths::thisProgramFolder();
    return !folder.empty() && program->parent() == folder;
}

void RunningApplications::addOwnProgramPathForTesting(const QString &absolutePath)
{
    const QByteArray encoded = QFile::encodeName(absolutePath);
    std::string path(encoded.constData(), static_cast<std::size_t>(encoded.size()));
    // /proc shows the resolved path
    if (char *resolved = ::realpath(path.c_str(), nullptr)) {
        path = resolved;
        std::free(resolved);
    }
    std::lock_guard lock(g_testPathsMutex);
    g_testPaths.push_back(std::move(path));
}

ApplicationBusObject::ApplicationBusObject(QObject *parent) : QObject(parent) {}

bool ApplicationBusObject::registerOnBus()
{
    auto bus = sessionBus();
    if (!bus) return false;
    if (!bus->registerObject(objectPath(), this, QDBusConnection::ExportAllSlots)) {
        qCWarning(lcBus, "cannot export %s: %s", RunningApplications::kObjectPath,
                  qUtf8Printable(bus->lastError().message()));
        return false;
    }
    return true;
}

void ApplicationBusObject::Activate()
{
    if (onActivate) onActivate();
}

void ApplicationBusObject::Quit()
{
    if (onQuit) onQuit();
}

void ApplicationBusObject::Search(const QByteArray &text, const QByteArray &folder)
{
    // Byte arrays from GLib end in a NUL; any other NUL would cut the text or the folder short.
    const BytePath searchText = BytePath::fromBusBytes(text);
    const BytePath searchFolder = BytePath::fromBusBytes(folder);
    if (searchText.containsNul() || searchFolder.containsNul()) {
        qCWarning(lcBus, "Search: a text or folder holding a NUL byte, refused");
        return;
    }
    if (onSearch) onSearch(searchText.bytes(), searchFolder);
}

} // namespace lurkel
