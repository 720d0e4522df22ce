#pragma once

#include <functional>

namespace lurkel {

// What the panel needs of the search results window before it starts a search: whether
// the window is on screen, and its confirmation that a new search may replace the results
// it shows. The main controller hands the panel one over its results window (or none
// while that window has not been made).
class SearchResultWindowInterface {
public:
    virtual ~SearchResultWindowInterface() = default;
    virtual bool isSearchResultWindowVisible() const = 0;
    // Asks the user (or answers at once); completion(true) means "start the new search".
    virtual void showNewSearchAlertDialogWithCompletion(std::function<void(bool start)> completion) = 0;
};

} // namespace lurkel
