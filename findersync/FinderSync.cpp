#include "FinderSync.h"

#include "DistributedNotificationCenter.h"
#include "FileAttributes.h"
#include "Identity.h"
#include "Log.h"
#include "MessageNames.h"
#include "ProgramPaths.h"
#include "RunningApplications.h"
#include "Settings.h"
#include "SettingsKeys.h"
#include "Spawn.h"

#include <QDBusConnection>
#include <QDBusMessage>

#include <chrono>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace lurkel {
namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(50);
constexpr int kIntrospectTimeoutMs = 2000;

QString applicationName()
{
    return QString::fromLatin1(Identity::kBundleIdentifier);
}

// A bare program name searched in PATH as execvp would; the name itself when not found.
BytePath resolvedInPath(const BytePath &program)
{
    if (program.bytes().find('/') != std::string::npos) return program;
    const char *path = std::getenv("PATH");
    std::string_view rest = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    while (true) {
        const std::size_t colon = rest.find(':');
        const std::string_view folder = rest.substr(0, colon);
        BytePath candidate = BytePath(std::string(folder.empty() ? "." : folder)) / program.bytes();
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        if (colon == std::string_view::npos) return program;
        rest.remove_prefix(colon + 1);
    }
}

// Whether the child we launched has ended (and is reaped).
bool hasEnded(pid_t child)
{
    if (child <= 0) return false;
    int status = 0;
    return ::waitpid(child, &status, WNOHANG) == child;
}

std::optional<Error> waitForApplication(const FinderSync::SendOptions &options)
{
    pid_t launched = -1;
    if (!RunningApplications::isRunning(applicationName())) {
        const BytePath program = resolvedInPath(options.application);
        if (const std::optional<Error> error = Spawn::launchDetached({program.bytes()}, &launched)) {
            return Error::app(QStringLiteral("cannot start Lurkel (%1): %2")
                                  .arg(program.displayString(), error->localizedDescription()));
        }
        qCInfo(lcCore, "started %s (pid %d)", qUtf8Printable(program.displayString()), static_cast<int>(launched));
    }
    // A Lurkel that has just claimed its name (launched by us, or by a click a moment ago)
    // listens only once it answers on its bus object; a request sent before would be lost.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(options.waitMs);
    while (!FinderSync::applicationAnswers()) {
        if (hasEnded(launched) && !RunningApplications::isRunning(applicationName()))
            return Error::app(QStringLiteral("Lurkel ended without answering"));
        if (std::chrono::steady_clock::now() >= deadline) {
            return Error::app(QStringLiteral("Lurkel did not answer within %1 s").arg(options.waitMs / 1000.0));
        }
        std::this_thread::sleep_for(kPollInterval);
    }
    return std::nullopt;
}

} // namespace

bool FinderSync::isHidden(const BytePath &path)
{
    return FileAttributes::isHidden(path);
}

bool FinderSync::anyItem(const BytePathList &paths, bool wantHidden)
{
    for (const BytePath &path : paths) {
        if (isHidden(path) == wantHidden) return true;
    }
    return false;
}

bool FinderSync::hiddenFilesShown()
{
    return Settings::shfGroup().boolForKey(SettingsKeys::kAreHiddenFilesVisible, false);
}

BytePath FinderSync::applicationProgram()
{
    return ProgramPaths::besideThisProgram("lurkel");
}

bool FinderSync::applicationAnswers()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        applicationName(), QString::fromLatin1(RunningApplications::kObjectPath),
        QStringLiteral("org.freedesktop.DBus.Introspectable"), QStringLiteral("Introspect"));
    call.setAutoStartService(false);
    const QDBusMessage reply = bus.call(call, QDBus::Block, kIntrospectTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return false;
    const QString wanted = QStringLiteral("<interface name=\"%1\"").arg(QLatin1String(RunningApplications::kInterface));
    return reply.arguments().constFirst().toString().contains(wanted);
}

std::optional<Error> FinderSync::send(Request request, const BytePathList &paths, const SendOptions &options)
{
    if (!QDBusConnection::sessionBus().isConnected())
        return Error::app(QStringLiteral("no D-Bus session bus: Lurkel cannot be reached"));
    if (std::optional<Error> error = waitForApplication(options)) return error;

    auto &center = DistributedNotificationCenter::defaultCenter();
    bool posted = false;
    if (request == Request::Switch) {
        posted = center.post(QString::fromLatin1(MessageNames::kSwitchVisibility),
                             QString::fromLatin1(MessageNames::kSwitchObject));
    } else {
        // The joined form is for peers that read only the object; Lurkel acts on "paths".
        QStringList joined;
        for (const BytePath &path : paths)
            joined.append(path.displayString());
        const char *name =
            request == Request::Hide ? MessageNames::kHideSelectedFiles : MessageNames::kUnhideSelectedFiles;
        posted = center.post(
            QString::fromLatin1(name), joined.join(QStringLiteral(", ")),
            {{QString::fromLatin1(MessageNames::kPathsKey), DistributedNotificationCenter::pathsValue(paths)}});
    }
    if (!posted) return Error::app(QStringLiteral("the request could not be sent on the session bus"));
    // The signal is only queued; a call that waits for the bus's answer goes out after it on
    // the same connection, so once it returns the request has left this process.
    RunningApplications::isRunning(applicationName());
    return std::nullopt;
}

} // namespace lurkel
