#pragma once

#include <QString>

#include <optional>
#include <string>
#include <unordered_set>

namespace lurkel {

// The applications that come with the system, which the applications scan of the disk-usage
// panel leaves out: the bundle identifiers of the applications macOS ships (application
// bundles turn up on shared disks) and the desktop-file ids of the core applications of GNOME
// and KDE.
class BundleExcludeList {
public:
    // The process-wide list, created on first call (thread-safe); immutable.
    static const BundleExcludeList &GetInstance();
    BundleExcludeList();

    // True for a missing identifier, and for one on the list, compared without case. A
    // desktop-file id may be given with or without its ".desktop" suffix.
    bool isSystemBundleID(const std::optional<QString> &bundleID) const;

private:
    std::unordered_set<std::string> m_pExcludeList; // lower case, UTF-8
};

} // namespace lurkel
