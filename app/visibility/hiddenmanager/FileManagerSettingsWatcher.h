#pragma once

#include "BytePath.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <vector>

class QDBusVariant;
class QFileSystemWatcher;

namespace lurkel {

class HiddenManager;

// Follows the file managers' own show-hidden settings where they change, so that the
// state the hidden manager shows (tray icon, the panel's switch) is right after the user
// pressed Ctrl+H in a file manager, without polling and without starting anything while
// nothing changes:
//  - dconf (Nautilus through the GTK file-chooser keys, Nemo, Caja): the signal
//    Notify(s prefix, as keys, s tag) of ca.desrt.dconf.Writer on
//    /ca/desrt/dconf/Writer/user, which dconf-service sends after every write;
//  - xfconf (Thunar): PropertyChanged(s channel, s property, v value) and
//    PropertyRemoved(s channel, s property) of org.xfce.Xfconf on /org/xfce/Xfconf;
//  - files (Dolphin's view properties and dolphinrc, PCManFM's and PCManFM-Qt's settings):
//    their folders are watched, since the programs replace the files by rename; a folder
//    that does not exist yet is watched through its nearest existing parent.
// A change of a key the check script reads marks the state for reading again; the hidden
// manager's next tick reads it once, however many changes came in between.
//
// Main thread only.
class FileManagerSettingsWatcher : public QObject {
    Q_OBJECT
public:
    // The dconf keys the check script reads.
    static inline constexpr std::array<const char *, 4> kDconfKeys = {
        "/org/gtk/gtk4/settings/file-chooser/show-hidden",
        "/org/gtk/settings/file-chooser/show-hidden",
        "/org/nemo/preferences/show-hidden-files",
        "/org/mate/caja/preferences/show-hidden-files",
    };

    explicit FileManagerSettingsWatcher(HiddenManager &hidden, QObject *parent = nullptr);
    ~FileManagerSettingsWatcher() override;

    // Subscribes on the session bus (when there is one) and watches the folders.
    void start();
    // How many relevant changes have been seen.
    int changesSeen() const { return m_changes; }

    // Whether a dconf change notice (prefix and keys relative to it; no keys: the prefix
    // itself) touches one of kDconfKeys, a key itself or a folder above one.
    static bool isRelevantDconfChange(const QString &prefix, const QStringList &keys);
    // Whether an xfconf change is Thunar's show-hidden property.
    static bool isRelevantXfconfChange(const QString &channel, const QString &property);

Q_SIGNALS:
    // A relevant setting changed (the state has been marked for reading).
    void settingChanged();

private Q_SLOTS:
    void dconfNotify(const QString &prefix, const QStringList &keys, const QString &tag);
    void xfconfPropertyChanged(const QString &channel, const QString &property, const QDBusVariant &value);
    void xfconfPropertyRemoved(const QString &channel, const QString &property);

private:
    struct WatchedFile {
        BytePath path;
        std::array<std::int64_t, 5> signature{}; // device, inode, size, mtime s, mtime ns; all 0: absent
    };
    void noteChange(const char *where);
    void watchFolders();
    void folderChanged();
    static std::array<std::int64_t, 5> signatureOf(const BytePath &path);

    HiddenManager &m_hidden;
    QFileSystemWatcher *m_watcher = nullptr;
    std::vector<WatchedFile> m_files;
    int m_changes = 0;
    bool m_started = false;
};

} // namespace lurkel
