#include "DesktopWorkspace.h"

#include "Log.h"
#include "Spawn.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QPointer>

#include <algorithm>
#include <thread>

namespace lurkel {

DesktopWorkspace &DesktopWorkspace::shared()
{
    static DesktopWorkspace *const instance = new DesktopWorkspace();
    return *instance;
}

DesktopWorkspace::DesktopWorkspace(QObject *parent) : QObject(parent) {}

QStringList DesktopWorkspace::fileUris(const BytePathList &paths)
{
    QStringList uris;
    uris.reserve(static_cast<qsizetype>(paths.size()));
    for (const BytePath &path : paths)
        uris << QString::fromLatin1(path.toFileUri());
    return uris;
}

BytePathList DesktopWorkspace::containingFolders(const BytePathList &paths)
{
    BytePathList folders;
    for (const BytePath &path : paths) {
        BytePath folder = path.parent();
        if (folder.empty()) continue;
        if (std::find(folders.begin(), folders.end(), folder) != folders.end()) continue;
        folders.push_back(std::move(folder));
        if (static_cast<int>(folders.size()) >= kMaxFallbackFolders) break;
    }
    return folders;
}

bool DesktopWorkspace::wasDelivered(const QDBusError &error)
{
    return error.type() == QDBusError::NoReply || error.type() == QDBusError::Timeout ||
           error.type() == QDBusError::TimedOut;
}

void DesktopWorkspace::activateFileViewerSelectingURLs(const BytePathList &paths)
{
    if (!paths.empty()) callFileManager(QStringLiteral("ShowItems"), paths);
}

void DesktopWorkspace::showItemProperties(const BytePathList &paths)
{
    if (!paths.empty()) callFileManager(QStringLiteral("ShowItemProperties"), paths);
}

void DesktopWorkspace::openFile(const BytePath &path)
{
    if (!path.empty()) spawnOpener(path.toFileUri());
}

void DesktopWorkspace::callFileManager(const QString &method, const BytePathList &paths)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qCInfo(lcResults) << "no session bus for" << method << "- opening the folders instead";
        openContainingFolders(paths);
        Q_EMIT fileManagerCallFinished(method, false);
        return;
    }
    QDBusMessage message =
        QDBusMessage::createMethodCall(QLatin1String(kFileManagerService), QLatin1String(kFileManagerPath),
                                       QLatin1String(kFileManagerInterface), method);
    message << fileUris(paths) << QString();
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(message, kFileManagerTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, method, paths]() {
        watcher->deleteLater();
        if (!watcher->isError()) {
            Q_EMIT fileManagerCallFinished(method, true);
            return;
        }
        const QDBusError error = watcher->error();
        if (wasDelivered(error)) {
            // A slow file manager still opens its window: a second one from xdg-open
            // would only be in the way.
            qCInfo(lcResults).noquote() << "FileManager1" << method << "did not answer in time:" << error.message();
            Q_EMIT fileManagerCallFinished(method, false);
            return;
        }
        qCInfo(lcResults).noquote() << "FileManager1" << method << "failed:" << error.message()
                                    << "- opening the folders instead";
        openContainingFolders(paths);
        Q_EMIT fileManagerCallFinished(method, false);
    });
}

void DesktopWorkspace::openContainingFolders(const BytePathList &paths)
{
    for (const BytePath &folder : containingFolders(paths))
        spawnOpener(folder.toFileUri());
}

QString DesktopWorkspace::openerFailureReason(const SpawnResult &result)
{
    if (result.succeeded()) return {};
    if (result.error)
        return QStringLiteral("xdg-open could not be started: %1").arg(result.error->localizedDescription());
    // xdg-open's own exit statuses.
    QString reason;
    switch (result.exitStatus) {
    case 2:
        reason = QStringLiteral("It is not there any more.");
        break;
    case 3:
        reason = QStringLiteral("No application is set to open it.");
        break;
    case 4:
        reason = QStringLiteral("The application that should open it failed.");
        break;
    default:
        reason = QStringLiteral("xdg-open failed.");
        break;
    }
    return reason + QLatin1Char(' ') + result.failureDescription();
}

void DesktopWorkspace::spawnOpener(const QByteArray &uri)
{
    // xdg-open may wait for what it started: it runs on a thread of its own, and the end
    // comes back to the main thread only while this object lives.
    QPointer<DesktopWorkspace> self(this);
    std::thread([self, uri]() {
        SpawnRequest request{{"xdg-open", uri.toStdString()}};
        request.discardOutput = true;
        const SpawnResult result = Spawn::run(request);
        if (!result.succeeded()) {
            qCWarning(lcResults).noquote()
                << "xdg-open" << QString::fromLatin1(uri)
                << "failed:" << (result.error ? result.error->localizedDescription() : result.failureDescription());
        }
        QCoreApplication *app = QCoreApplication::instance();
        if (app == nullptr) return;
        QMetaObject::invokeMethod(
            app,
            [self, uri, ok = result.succeeded(), reason = openerFailureReason(result)]() {
                if (!self) return;
                Q_EMIT self->openerFinished(uri, ok);
                if (!ok) Q_EMIT self->openerFailed(uri, reason);
            },
            Qt::QueuedConnection);
    }).detach();
}

} // namespace lurkel
