#pragma once

#include <QSize>
#include <QUrl>

namespace lurkel {

// What a promotion page shows now: the page of the newest complete package, or the page
// built into the program until a feed has been loaded.
struct HTMLContentData {
    int version = 0;
    int majorVersion = 0;
    QSize size;          // the page's width and height
    int maxAppIndex = 0; // the highest application index (advertisement feed only)
    // The HTML file to show: a file:// address inside the cache folder, or a qrc: address
    // of the built-in page. Empty when there is neither (no advertisement package yet).
    QUrl htmlURL;
    bool isEmbedded = true; // the built-in page (no package loaded yet)

    bool hasPage() const { return !htmlURL.isEmpty(); }
};

} // namespace lurkel
