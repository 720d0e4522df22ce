#pragma once

#include "HTMLDownloaderInitData.h"

#include <QPoint>
#include <QSize>
#include <QString>

namespace lurkel {

// The news: whether there are fresh news, the news page's size, and the popup that shows
// it. The windowed application installs the implementation (PromoManager::Ui); without it
// the promotion manager has none.
class NewsManager {
public:
    virtual ~NewsManager() = default;

    // Posted on the local centre when a new news package has arrived.
    static QString NewsHtmlChangedNotificationName()
    {
        return HTMLDownloaderInitData::newsHtmlChangedNotificationName();
    }
    // Posted on the local centre when the user has seen the news.
    static QString NewsWasReadedNotificationName() { return QStringLiteral("NewsWasReadedNotification"); }

    // The news package is newer than the last one read.
    virtual bool hasFreshNews() const = 0;
    // The page shown is the built-in one (no news package loaded yet).
    virtual bool isNewsContentEmbedded() const = 0;
    // The popup's content size.
    virtual QSize contentSize() const = 0;
    // Shows the popup with its top-left corner at position (screen coordinates, y down)
    // and marks the news read. anchor is reserved (0).
    virtual void showAtPosition(QPoint position, int anchor) = 0;
    virtual bool isNewsDialogVisible() const = 0;
    virtual void hideNewsDialog() = 0;
    // Fresh news that may open the popup without the user asking.
    virtual bool canAutoShowNews() = 0;
};

} // namespace lurkel
