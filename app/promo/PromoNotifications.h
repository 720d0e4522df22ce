#pragma once

#include <QString>

namespace lurkel {

// The user-info keys of the application's desktop notifications: what a click opens.
class PromoNotifications {
public:
    // An address, opened in the browser.
    static QString KEY_NEED_OPEN_LINK() { return QStringLiteral("need_open_link"); }
    // A desktop entry id (e.g. "org.example.Tool.desktop"), started as an application.
    static QString KEY_NEED_OPEN_BUNDLE() { return QStringLiteral("need_open_bundle"); }
};

} // namespace lurkel
