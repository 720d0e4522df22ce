#pragma once

#include "BytePath.h"

namespace lurkel {

// Where the disk-usage scanners look, taken from the environment when a scan starts (tests
// build their own).
struct DiskScanLocations {
    BytePath home;      // the user's real home folder (PathsGenerator)
    BytePath caches;    // $XDG_CACHE_HOME
    BytePath downloads; // the XDG download folder
    BytePath trash;     // $XDG_DATA_HOME/Trash (files/ and info/)
    // Mounted user volumes: file systems mounted directly below /media/$USER, /run/media/$USER
    // or /mnt (neither pseudo nor network file systems).
    BytePathList volumes;
    // Folders of desktop entries: $XDG_DATA_HOME/applications, /usr/local/share/applications,
    // /usr/share/applications and the export folders of the Flatpak installations.
    BytePathList applicationFolders;
    // Flatpak installations (the user's, the system's): their app/ID folders are deployments.
    BytePathList flatpakInstallations;
    BytePath userApplications;  // ~/Applications, where AppImages are kept
    BytePath optFolder;         // /opt
    BytePath dpkgAdminDir;      // /var/lib/dpkg (status, info/*.list)
    BytePath aptExtendedStates; // /var/lib/apt/extended_states (packages installed as dependencies)

    static DiskScanLocations current();
};

} // namespace lurkel
