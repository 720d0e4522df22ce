#pragma once

#include "DiskScanLocations.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace lurkel {

// What the user installed behind a desktop entry, and what it takes on disk. Linux keeps no
// application bundles: an application is a Flatpak deployment (installation/app/ID), an
// AppImage file, a folder /opt/NAME, or a Debian package the user asked for (marked manual,
// not pulled in as a dependency) that owns the entry.
class InstalledApplications {
public:
    struct Install {
        std::string path;                          // the deployment, AppImage or /opt folder; the entry for a package
        std::string key;                           // one install behind several entries counts once
        bool isFolder = false;                     // measured as a tree
        std::optional<std::uint64_t> reportedSize; // a package's installed size, as dpkg records it
        std::string packageList;                   // a package's file list (info/NAME.list)
    };

    explicit InstalledApplications(DiskScanLocations locations);

    // The install behind a desktop entry; nullopt for an entry that is no application, is
    // hidden or kept out of menus, or whose install cannot be told (a system package, a script).
    std::optional<Install> installFor(const std::string &desktopEntryPath) const;

    // AppImages in a folder and its subfolders (at most 20 levels; names beginning with "."
    // and symbolic links skipped).
    static std::vector<std::string> applicationsPathsArrayFromFolder(const std::string &folder, int depth);

    // What an install takes: a folder's tree, a file's allocation, or the files of a package.
    static std::uint64_t measure(const Install &install, const std::atomic<bool> *stop = nullptr);

private:
    void readPackages();

    struct Package {
        std::string name;
        std::uint64_t installedKiB = 0;
        std::string listFile;
    };

    DiskScanLocations m_locations;
    std::map<std::string, Package> m_entryOwners; // desktop entry path -> manual package owning it
};

} // namespace lurkel
