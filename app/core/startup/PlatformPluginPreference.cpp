#include "PlatformPluginPreference.h"
#include "ChildDefaults.h"

#include <QFileInfo>
#include <QLibraryInfo>
#include <QStringList>

#include <cstdlib>

namespace lurkel {
namespace {

std::optional<QByteArray> variable(const char *name)
{
    const char *value = std::getenv(name);
    if (value == nullptr) return std::nullopt;
    return QByteArray(value);
}

bool isSet(const std::optional<QByteArray> &value)
{
    return value && !value->isEmpty();
}

} // namespace

std::optional<QByteArray> PlatformPluginPreference::preferredPlatform(const Environment &environment)
{
    if (isSet(environment.qpaPlatform)) return std::nullopt;
    const bool wayland = isSet(environment.waylandDisplay) ||
                         (environment.sessionType && environment.sessionType->toLower() == "wayland");
    if (!wayland || !isSet(environment.display) || !environment.xcbPluginInstalled) return std::nullopt;
    return QByteArray("xcb");
}

PlatformPluginPreference::Environment PlatformPluginPreference::currentEnvironment()
{
    Environment environment;
    environment.qpaPlatform = variable("QT_QPA_PLATFORM");
    environment.display = variable("DISPLAY");
    environment.waylandDisplay = variable("WAYLAND_DISPLAY");
    environment.sessionType = variable("XDG_SESSION_TYPE");
    environment.xcbPluginInstalled = xcbPluginInstalled();
    return environment;
}

bool PlatformPluginPreference::xcbPluginInstalled()
{
    QStringList folders;
    if (const std::optional<QByteArray> extra = variable("QT_PLUGIN_PATH"))
        folders = QString::fromLocal8Bit(*extra).split(QLatin1Char(':'), Qt::SkipEmptyParts);
    folders.append(QLibraryInfo::path(QLibraryInfo::PluginsPath));
    for (const QString &folder : folders) {
        if (QFileInfo::exists(folder + QStringLiteral("/platforms/libqxcb.so"))) return true;
    }
    return false;
}

bool preferX11UnderXWayland()
{
    const std::optional<QByteArray> platform =
        PlatformPluginPreference::preferredPlatform(PlatformPluginPreference::currentEnvironment());
    if (!platform) return false;
    ChildDefaults::rememberEnvironment("QT_QPA_PLATFORM"); // for lurkel's windows, not for what it starts
    return ::setenv("QT_QPA_PLATFORM", platform->constData(), 1) == 0;
}

} // namespace lurkel
