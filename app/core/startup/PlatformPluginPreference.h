#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace lurkel {

// The Qt platform plugin the tray application asks for. In a Wayland session a window can
// neither place itself nor learn where the tray icon or the pointer is, so the panel could
// not open under the icon; through XWayland it can. Like other tray applications, Lurkel
// therefore prefers the X11 plugin ("xcb") when XWayland is there, unless the user chose
// a platform with QT_QPA_PLATFORM.
class PlatformPluginPreference {
public:
    PlatformPluginPreference() = delete;

    struct Environment {
        std::optional<QByteArray> qpaPlatform;    // QT_QPA_PLATFORM
        std::optional<QByteArray> display;        // DISPLAY (XWayland's, in a Wayland session)
        std::optional<QByteArray> waylandDisplay; // WAYLAND_DISPLAY
        std::optional<QByteArray> sessionType;    // XDG_SESSION_TYPE
        bool xcbPluginInstalled = false;
    };

    // "xcb" when the session is Wayland (WAYLAND_DISPLAY set, or XDG_SESSION_TYPE
    // "wayland"), DISPLAY is set, QT_QPA_PLATFORM is unset or empty and Qt's xcb plugin is
    // installed; nullopt otherwise (Qt's own choice stands).
    static std::optional<QByteArray> preferredPlatform(const Environment &environment);
    // This process's environment.
    static Environment currentEnvironment();
    // Qt's xcb platform plugin is in one of its plugin folders.
    static bool xcbPluginInstalled();
};

// Sets QT_QPA_PLATFORM to "xcb" where PlatformPluginPreference prefers it. Call before the
// QApplication is made. True when it set it.
bool preferX11UnderXWayland();

} // namespace lurkel
