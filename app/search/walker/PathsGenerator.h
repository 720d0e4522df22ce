#pragma once

#include "BytePath.h"

namespace lurkel {

// The user's real home folder (from the password database, see UserInfo) and the standard
// folders the results window and the disk-usage scanners start from.
//
// The standard folders are the freedesktop ones, taken from the environment on every call
// (so a test that points XDG_* elsewhere is followed at once):
//   Trash        $XDG_DATA_HOME/Trash (the freedesktop home trash: files/, info/)
//   applications $XDG_DATA_HOME/applications: Linux has no per-user folder of application
//                bundles; what the user installed for himself shows up as desktop entries here
//   caches       $XDG_CACHE_HOME
//   downloads    the user directory DOWNLOAD of user-dirs.dirs, else $HOME/Downloads
class PathsGenerator {
public:
    // The process-wide instance, created on first call (thread-safe).
    static const PathsGenerator &GetInstance();

    // Reads the home folder now; tests make their own instances.
    PathsGenerator();

    const BytePath &getHomeDirectory() const { return m_sHomeDirectory; }
    BytePath getCurrentDiskDirectory() const;
    BytePath buildTrashDirectory() const;
    BytePath buildUserApplicationsDirectory() const;
    BytePath buildCacheDirectory() const;
    BytePath buildDownloadsDirectory() const;

private:
    static BytePath findHomeDirectory();

    BytePath m_sHomeDirectory;
};

} // namespace lurkel
