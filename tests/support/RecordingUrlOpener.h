#pragma once

#include "UrlOpener.h"

#include <QList>
#include <QStringList>

namespace lurkel::test {

// Records the addresses it is asked to open instead of starting a browser.
class RecordingUrlOpener final : public UrlOpener {
public:
    bool openUrl(const QUrl &url) override
    {
        opened << url;
        return true;
    }

    // The recorded addresses as sent on the wire.
    QStringList openedAddresses() const
    {
        QStringList out;
        for (const QUrl &url : opened)
            out << url.toString(QUrl::FullyEncoded);
        return out;
    }

    QList<QUrl> opened;
};

} // namespace lurkel::test
