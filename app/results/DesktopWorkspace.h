#pragma once

#include "BytePath.h"

#include <QByteArray>
#include <QDBusError>
#include <QObject>
#include <QString>
#include <QStringList>

namespace lurkel {

struct SpawnResult;

// The desktop's side of the results window: the file manager shows items and their
// properties through org.freedesktop.FileManager1 on the session bus, and files open with
// their default application through xdg-open. Paths stay bytes: the URIs are their
// percent-encoded bytes, and xdg-open is spawned on a byte argument vector.
//
// The file manager is asked asynchronously with a short timeout. Without the service (no
// bus, no file manager that offers it, a call it could not take), the folders that hold
// the items open with xdg-open instead, without selection. A call that was delivered but
// not answered in time is left to the file manager: a slow one still opens its window.
class DesktopWorkspace : public QObject {
    Q_OBJECT

public:
    static inline constexpr const char kFileManagerService[] = "org.freedesktop.FileManager1";
    static inline constexpr const char kFileManagerPath[] = "/org/freedesktop/FileManager1";
    static inline constexpr const char kFileManagerInterface[] = "org.freedesktop.FileManager1";
    static inline constexpr int kFileManagerTimeoutMs = 3000;
    // At most this many folders open when the file manager cannot select the items.
    static inline constexpr int kMaxFallbackFolders = 8;

    // The application's workspace, created on first use on the main thread.
    static DesktopWorkspace &shared();

    explicit DesktopWorkspace(QObject *parent = nullptr);

    // ShowItems: file manager windows that select the items.
    void activateFileViewerSelectingURLs(const BytePathList &paths);
    // ShowItemProperties: the file manager's properties window of the items.
    void showItemProperties(const BytePathList &paths);
    // Opens a file or folder with its default application.
    void openFile(const BytePath &path);

    // Why xdg-open failed, for the user (xdg-open's exit statuses 2, 3, 4 explained, then its
    // own words); empty when it succeeded.
    static QString openerFailureReason(const SpawnResult &result);
    // "file://" URIs of the paths' bytes.
    static QStringList fileUris(const BytePathList &paths);
    // The distinct folders that hold the paths, in first-seen order, at most
    // kMaxFallbackFolders.
    static BytePathList containingFolders(const BytePathList &paths);
    // True when a failed call reached the file manager (it was only slow to answer).
    static bool wasDelivered(const QDBusError &error);

Q_SIGNALS:
    // The file manager answered a call (ok) or the call failed and the folders were opened
    // instead (not ok).
    void fileManagerCallFinished(const QString &method, bool ok);
    // xdg-open has ended for the URI (ok: exit status 0).
    void openerFinished(const QByteArray &uri, bool ok);
    // It failed; reason says why, for the user ("No application is set to open it. ...").
    void openerFailed(const QByteArray &uri, const QString &reason);

private:
    void callFileManager(const QString &method, const BytePathList &paths);
    void openContainingFolders(const BytePathList &paths);
    void spawnOpener(const QByteArray &uri);
};

} // namespace lurkel
