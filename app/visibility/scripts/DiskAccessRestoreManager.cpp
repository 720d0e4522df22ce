#include "DiskAccessRestoreManager.h"

#include "PathsGenerator.h"
#include "UserDefaults.h"

#include <sys/stat.h>
#include <unistd.h>

namespace lurkel {

DiskAccessRestoreManager &DiskAccessRestoreManager::sharedManager()
{
    static DiskAccessRestoreManager instance;
    return instance;
}

DiskAccessRestoreManager::DiskAccessRestoreManager()
    : DiskAccessRestoreManager(PathsGenerator::GetInstance().getHomeDirectory(), UserDefaults::standardUserDefaults())
{}

DiskAccessRestoreManager::DiskAccessRestoreManager(BytePath userFolder, UserDefaults &defaults)
    : m_userFolder(std::move(userFolder)), m_defaults(&defaults)
{}

bool DiskAccessRestoreManager::isUserFolderAccessible() const
{
    return isPathAccessible(m_userFolder);
}

bool DiskAccessRestoreManager::isApplicationsFolderAccessible() const
{
    return isPathAccessible(BytePath(kApplicationsFolder));
}

bool DiskAccessRestoreManager::isDiskAccessible() const
{
    return isUserFolderAccessible() && isApplicationsFolderAccessible();
}

bool DiskAccessRestoreManager::isPathAccessible(const BytePath &path) const
{
    return isDiskURLAccessible(restoreAccessToPathIfNeeded(path));
}

std::optional<BytePath> DiskAccessRestoreManager::restoreAccessToPathIfNeeded(const BytePath &path) const
{
    if (isDiskURLAccessible(path)) return path;
    if (path.empty() || !path.isValidUtf8()) return std::nullopt;
    return resolveBookmark(QString::fromUtf8(path.toByteArray()));
}

std::optional<BytePath> DiskAccessRestoreManager::restoreAccessToDiskIfNeeded() const
{
    return resolveBookmark(QString::fromLatin1(kDiskAccessDataKey));
}

std::optional<BytePath> DiskAccessRestoreManager::resolveBookmark(const QString &key) const
{
    const QVariant stored = m_defaults->objectForKey(key);
    if (stored.typeId() != QMetaType::QByteArray) return std::nullopt;
    const BytePath target = BytePath::fromBytes(stored.toByteArray());
    if (!target.isAbsolute() || !isDiskURLAccessible(target)) return std::nullopt;
    return target;
}

void DiskAccessRestoreManager::saveAccessToPath(const BytePath &path)
{
    if (path.empty() || !path.isValidUtf8()) return;
    storeBookmark(QString::fromUtf8(path.toByteArray()), path);
}

void DiskAccessRestoreManager::saveAccessToUserFolder()
{
    saveAccessToPath(m_userFolder);
}

void DiskAccessRestoreManager::saveAccessToApplicationsFolder()
{
    saveAccessToPath(BytePath(kApplicationsFolder));
}

void DiskAccessRestoreManager::saveAccessToDisk()
{
    storeBookmark(QString::fromLatin1(kDiskAccessDataKey), BytePath("/"));
}

void DiskAccessRestoreManager::storeBookmark(const QString &key, const BytePath &path)
{
    // A bookmark can only be made of something that exists.
    struct stat st {};
    if (!path.isAbsolute() || ::stat(path.c_str(), &st) != 0) return;
    m_defaults->setObject(key, QVariant(path.toByteArray()));
    m_defaults->synchronize();
}

bool DiskAccessRestoreManager::isPathAccessibleMode(const std::optional<BytePath> &path, int mode)
{
    return path && !path->empty() && ::access(path->c_str(), mode) == 0;
}

bool DiskAccessRestoreManager::isDiskURLAccessible(const std::optional<BytePath> &path)
{
    return isPathAccessibleMode(path, R_OK);
}

} // namespace lurkel
