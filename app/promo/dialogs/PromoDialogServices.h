#pragma once

namespace lurkel {

class NotificationCenter;
class UrlOpener;
class UserDefaults;

// What the promotion windows work with. Every member left empty means the process's own:
// the standard defaults, the default notification centre and the desktop's URL opener.
struct PromoDialogServices {
    UserDefaults *defaults = nullptr;
    NotificationCenter *notificationCenter = nullptr;
    UrlOpener *urlOpener = nullptr;

    // The same with every empty member filled with the process's own.
    PromoDialogServices resolved() const;
};

} // namespace lurkel
