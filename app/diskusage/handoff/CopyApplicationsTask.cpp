#include "CopyApplicationsTask.h"

#include "PromoManager.h"

#include <string>
#include <sys/stat.h>

namespace lurkel {

std::optional<BytePath> CopyApplicationsTask::createDestinationPath()
{
    const BytePath support = PromoManager::getApplicationSupportAppFolder();
    if (support.empty()) return std::nullopt;
    return support / "Applications";
}

std::optional<BytePath> CopyApplicationsTask::findAppPathForBundleIDsWithSelectedBundleID(const QStringList &bundleIds,
                                                                                          QString *selectedBundleId)
{
    const std::optional<BytePath> folder = createDestinationPath();
    if (!folder) return std::nullopt;
    // The folder's first matching entry in name order: the smallest name among the entries
    // of the identifiers that are there.
    std::optional<std::string> first;
    QString firstId;
    for (const QString &id : bundleIds) {
        const std::string name = id.toStdString() + ".desktop";
        struct stat st {};
        if (::stat((*folder / name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
        if (!first || name < *first) {
            first = name;
            firstId = id;
        }
    }
    if (!first) return std::nullopt;
    if (selectedBundleId) *selectedBundleId = firstId;
    return *folder / *first;
}

} // namespace lurkel
