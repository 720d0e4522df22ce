#include "PromoDialogServices.h"

#include "DesktopUrlOpener.h"
#include "NotificationCenter.h"
#include "UserDefaults.h"

namespace lurkel {

PromoDialogServices PromoDialogServices::resolved() const
{
    PromoDialogServices out = *this;
    if (!out.defaults) out.defaults = &UserDefaults::standardUserDefaults();
    if (!out.notificationCenter) out.notificationCenter = &NotificationCenter::defaultCenter();
    if (!out.urlOpener) out.urlOpener = &DesktopUrlOpener::shared();
    return out;
}

} // namespace lurkel
