#include "PathsGenerator.h"

#include "UserInfo.h"
#include "XdgDirs.h"

namespace lurkel {

const PathsGenerator &PathsGenerator::GetInstance()
{
    static const PathsGenerator instance;
    return instance;
}

PathsGenerator::PathsGenerator() : m_sHomeDirectory(findHomeDirectory()) {}

BytePath PathsGenerator::findHomeDirectory()
{
    return UserInfo().homePath();
}

BytePath PathsGenerator::getCurrentDiskDirectory() const
{
    return BytePath("/");
}

BytePath PathsGenerator::buildTrashDirectory() const
{
    return XdgDirs::dataHome() / "Trash";
}

BytePath PathsGenerator::buildUserApplicationsDirectory() const
{
    return XdgDirs::dataHome() / "applications";
}

BytePath PathsGenerator::buildCacheDirectory() const
{
    return XdgDirs::cacheHome();
}

BytePath PathsGenerator::buildDownloadsDirectory() const
{
    return XdgDirs::userDir("DOWNLOAD", "Downloads");
}

} // namespace lurkel
