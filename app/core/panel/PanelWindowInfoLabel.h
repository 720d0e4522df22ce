#pragma once

#include "ClickableLabel.h"

#include <functional>

namespace lurkel {

// A clickable label of the panel with the panel's two fonts (HelveticaNeue 12 at rest,
// HelveticaNeue-Medium 12 under the mouse, or the desktop's sans-serif where those are
// missing). A click is reported to the panel's onClickOnInfoStatusLabel.
class PanelWindowInfoLabel : public ClickableLabel {
    Q_OBJECT

public:
    explicit PanelWindowInfoLabel(QWidget *parent = nullptr);

    // The panel's label fonts.
    static QFont normalLabelFont();
    static QFont hoveredLabelFont();

    void setOnClick(std::function<void()> onClick) { m_onClick = std::move(onClick); }

private:
    std::function<void()> m_onClick;
};

} // namespace lurkel
