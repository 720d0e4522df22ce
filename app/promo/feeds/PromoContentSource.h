#pragma once

#include "HTMLContentData.h"

#include <QString>

#include <functional>

namespace lurkel {

// Where a promotion window takes its page from: the current content of its feed, and the
// name of the notification posted on the local centre when a new package has arrived.
struct PromoContentSource {
    std::function<HTMLContentData()> content;
    QString changedNotificationName;
};

} // namespace lurkel
