#pragma once

#include "NewsManager.h"

#include <QList>
#include <QPoint>

namespace lurkel::test {

// News whose state the test sets; it records where the popup was asked to show.
class FakeNewsManager final : public NewsManager {
public:
    bool hasFreshNews() const override { return fresh; }
    bool isNewsContentEmbedded() const override { return embedded; }
    QSize contentSize() const override { return size; }
    void showAtPosition(QPoint position, int) override
    {
        shownAt << position;
        visible = true;
        fresh = false;
    }
    bool isNewsDialogVisible() const override { return visible; }
    void hideNewsDialog() override { visible = false; }
    bool canAutoShowNews() override { return fresh; }

    bool fresh = false;
    bool embedded = true;
    bool visible = false;
    QSize size{400, 376};
    QList<QPoint> shownAt;
};

} // namespace lurkel::test
