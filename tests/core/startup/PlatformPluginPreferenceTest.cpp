#include "PlatformPluginPreference.h"

#include <gtest/gtest.h>

using lurkel::PlatformPluginPreference;

TEST(PlatformPluginPreference, X11ThroughXWaylandUnlessTheUserChose)
{
    using Environment = PlatformPluginPreference::Environment;
    const Environment wayland{std::nullopt, QByteArray(":0"), QByteArray("wayland-0"), QByteArray("wayland"), true};
    EXPECT_EQ(PlatformPluginPreference::preferredPlatform(wayland), QByteArray("xcb"));
    const auto with = [&wayland](auto change) {
        Environment e = wayland;
        change(e);
        return PlatformPluginPreference::preferredPlatform(e);
    };
    EXPECT_EQ(with([](Environment &e) { e.qpaPlatform = QByteArray("wayland"); }), std::nullopt);
    EXPECT_EQ(with([](Environment &e) { e.qpaPlatform = QByteArray(""); }), QByteArray("xcb")) << "empty is unset";
    EXPECT_EQ(with([](Environment &e) { e.display.reset(); }), std::nullopt);
    EXPECT_EQ(with([](Environment &e) { e.xcbPluginInstalled = false; }), std::nullopt);
    // X11 sessions are left alone; a session type alone marks Wayland.
    EXPECT_EQ(with([](Environment &e) { e.waylandDisplay.reset(), e.sessionType = QByteArray("x11"); }), std::nullopt);
    EXPECT_EQ(with([](Environment &e) { e.waylandDisplay.reset(), e.sessionType = QByteArray("Wayland"); }),
              QByteArray("xcb"));
}
