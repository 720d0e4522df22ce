#pragma once

namespace lurkel {

class AbstractNewsManager;

// Hears from the news manager.
class NewsManagerDelegate {
public:
    virtual ~NewsManagerDelegate() = default;

    // Whether fresh news may open the popup without the user asking.
    virtual bool canNewsBeAutoShown(AbstractNewsManager &manager) = 0;
    // The popup has just been shown.
    virtual void newsWereShown(AbstractNewsManager &manager) = 0;
};

} // namespace lurkel
