#pragma once

#include "BytePath.h"
#include "DiskScanLocations.h"

#include <QString>

#include <cstdint>
#include <map>
#include <set>
#include <string>

namespace lurkel {

// How an installed application (as the applications scan names it: a Flatpak deployment,
// an AppImage file, a folder in /opt, or the desktop entry of a Debian package) is removed.
// The command is only shown to the user, never run; only an AppImage, a plain file of the
// user's, may be moved to the Trash from here.
struct ApplicationRemoval {
    enum class Kind { Flatpak, AppImage, OptFolder, Package, Unknown };

    BytePath path;
    std::uint64_t size = 0;
    Kind kind = Kind::Unknown;
    QString name;    // what the user knows it by
    QString command; // the command that removes it; empty when none is known
    bool canMoveToTrash = false;

    // Which package owns a path (empty: none).
    using PackageOwners = std::map<std::string, std::string>;

    // Works out the kind, name and command; the owners of desktop entries and /opt folders
    // come from owners (packagesOwning), else from dpkg's lists read for this path alone.
    // Blocking: call it off the main thread.
    static ApplicationRemoval describe(const BytePath &path, std::uint64_t size, const DiskScanLocations &locations,
                                       const PackageOwners *owners = nullptr);
    // The packages whose file lists (dpkg's info/*.list) hold the paths, as `dpkg -S` finds
    // them, in one reading of the lists; paths no package owns are left out.
    static PackageOwners packagesOwning(const std::set<std::string> &paths, const BytePath &dpkgAdminDir);
    // A word of a command line as a POSIX shell reads it back ('…' quoted when needed).
    static QString shellQuoted(const QString &word);
    QString kindText() const;
};

} // namespace lurkel
