#pragma once

#include "PromoContentSource.h"

namespace lurkel {

class FreshChecker;

// What the news manager is built from: the news feed (asked for once, when the news are
// first needed) and the memory of the last news version read.
class NewsManagerConfigurator {
public:
    virtual ~NewsManagerConfigurator() = default;

    virtual PromoContentSource newsManagerCreateDownloder() = 0;
    // Must outlive the news manager.
    virtual FreshChecker &newsManagerFreshChecker() = 0;
};

} // namespace lurkel
