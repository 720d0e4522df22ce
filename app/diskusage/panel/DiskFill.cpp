#include "DiskFill.h"

namespace lurkel {

std::optional<float> DiskFill::usedFraction(const char *path, const StatVfs &statVfs)
{
    struct statvfs figures {};
    if (statVfs(path, &figures) != 0 || figures.f_blocks == 0) return std::nullopt;
    const float unit = static_cast<float>(figures.f_frsize != 0 ? figures.f_frsize : figures.f_bsize);
    const float total = static_cast<float>(figures.f_blocks) * unit;
    const float free = static_cast<float>(figures.f_bavail) * unit;
    return 1.0F - free / total;
}

QString DiskFill::percentText(std::optional<float> fraction)
{
    if (!fraction) return QStringLiteral("\u2013");
    return QStringLiteral("%1%").arg(static_cast<int>(*fraction * 100.0F));
}

} // namespace lurkel
