#include "DiskScanLocations.h"

#include "PathsGenerator.h"
#include "UserInfo.h"
#include "XdgDirs.h"

#include <dirent.h>
#include <sys/stat.h>

namespace lurkel {
namespace {

// The folders directly below parent (no links), in listing order.
void appendSubfolders(const BytePath &parent, BytePathList &into)
{
    DIR *dir = ::opendir(parent.c_str());
    if (dir == nullptr) return;
    while (const dirent *entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name == "." || name == "..") continue;
        const BytePath path = parent / name;
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) into.push_back(path);
    }
    ::closedir(dir);
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
    const std::string user = UserInfo::loginNameFromSession();
    if (!user.empty()) {
        appendSubfolders(BytePath("/media") / user, l.volumes);
        appendSubfolders(BytePath("/run/media") / user, l.volumes);
    }
    appendSubfolders("/mnt", l.volumes);

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
