#include "DiskScanLocations.h"

#include "MountTable.h"
#include "PathsGenerator.h"
#include "UserInfo.h"
#include "XdgDirs.h"

#include <algorithm>

namespace lurkel {
namespace {

// The mounted volumes directly below one of parents: removable and other data file systems,
// never pseudo or network ones.
BytePathList volumesBelow(const std::vector<std::string> &parents)
{
    BytePathList volumes;
    const MountTable table = MountTable::read();
    for (const Mount &mount : table.mounts()) {
        if (MountTable::isPseudoFileSystem(mount.fsType) || MountTable::isNetworkFileSystem(mount.fsType)) continue;
        const BytePath point(mount.mountPoint);
        const std::string parent = point.parent().bytes();
        if (std::find(parents.begin(), parents.end(), parent) == parents.end()) continue;
        if (std::find(volumes.begin(), volumes.end(), point) == volumes.end()) volumes.push_back(point);
    }
    return volumes;
}

} // namespace

DiskScanLocations DiskScanLocations::current()
{
    const PathsGenerator paths;
    DiskScanLocations l;
    l.home = paths.getHomeDirectory();
    l.caches = paths.buildCacheDirectory();
    l.downloads = paths.buildDownloadsDirectory();
    l.trash = paths.buildTrashDirectory();
    std::vector<std::string> parents{"/mnt"};
    if (const std::string user = UserInfo::loginNameFromSession(); !user.empty()) {
        parents.push_back((BytePath("/media") / user).bytes());
        parents.push_back((BytePath("/run/media") / user).bytes());
    }
    l.volumes = volumesBelow(parents);

    const BytePath userFlatpak = XdgDirs::dataHome() / "flatpak";
    l.flatpakInstallations = {userFlatpak, BytePath("/var/lib/flatpak")};
    l.applicationFolders = {paths.buildUserApplicationsDirectory(), BytePath("/usr/local/share/applications"),
                            BytePath("/usr/share/applications")};
    for (const BytePath &installation : l.flatpakInstallations)
        l.applicationFolders.push_back(installation / "exports/share/applications");
    l.userApplications = l.home / "Applications";
    l.optFolder = "/opt";
    l.dpkgAdminDir = "/var/lib/dpkg";
    l.aptExtendedStates = "/var/lib/apt/extended_states";
    return l;
}

} // namespace lurkel
