#pragma once

#include "BytePath.h"

#include <QString>

#include <optional>

namespace lurkel {

class UserDefaults;

// "Can Lurkel read this folder?", asked before scripts are installed into the user's
// Application Scripts folder and before files in the home folder are changed.
//
// A folder that the plain access test refuses may still be reached through a stored
// bookmark. Linux has no security-scoped bookmarks: a bookmark here is the folder's path
// (stored as data in the standard defaults under the path itself, or under
// "DISK_ACCESS_DATA" for "/"), and resolving it answers that path when it is readable.
//
// Stateless apart from the defaults store, so any thread may ask.
class DiskAccessRestoreManager {
public:
    static inline constexpr const char kDiskAccessDataKey[] = "DISK_ACCESS_DATA";
    // The system-wide applications folder: where installed desktop applications are listed.
    static inline constexpr const char kApplicationsFolder[] = "/usr/share/applications";

    // The application's manager: the user folder from the paths generator (the password
    // database's home) and the standard defaults. Created on first use.
    static DiskAccessRestoreManager &sharedManager();

    DiskAccessRestoreManager();
    DiskAccessRestoreManager(BytePath userFolder, UserDefaults &defaults);

    const BytePath &userFolder() const { return m_userFolder; }

    bool isUserFolderAccessible() const;
    bool isApplicationsFolderAccessible() const;
    // Both of the above.
    bool isDiskAccessible() const;
    // Readable directly or through its bookmark.
    bool isPathAccessible(const BytePath &path) const;

    // The path itself when it is readable; otherwise the path its stored bookmark resolves
    // to when that one is readable; else nullopt.
    std::optional<BytePath> restoreAccessToPathIfNeeded(const BytePath &path) const;
    // The same for the bookmark of "/" (stored under "DISK_ACCESS_DATA").
    std::optional<BytePath> restoreAccessToDiskIfNeeded() const;

    // Store a bookmark of the folder under its path. Nothing is stored for a path that does
    // not exist or whose bytes cannot serve as a defaults key (not UTF-8).
    void saveAccessToPath(const BytePath &path);
    void saveAccessToUserFolder();
    void saveAccessToApplicationsFolder();
    void saveAccessToDisk();

    // access(2) with the mode (R_OK, W_OK, X_OK, F_OK); nullopt is not accessible.
    static bool isPathAccessibleMode(const std::optional<BytePath> &path, int mode);
    // isPathAccessibleMode for reading.
    static bool isDiskURLAccessible(const std::optional<BytePath> &path);

private:
    std::optional<BytePath> resolveBookmark(const QString &key) const;
    void storeBookmark(const QString &key, const BytePath &path);

    BytePath m_userFolder;
    UserDefaults *m_defaults;
};

} // namespace lurkel
