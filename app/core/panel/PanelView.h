#pragma once

#include <QPainterPath>
#include <QPointer>
#include <QWidget>

#include <optional>
#include <vector>

namespace lurkel {

// The panel's content view: draws the chrome behind the controls. From the top: the
// triangle that points up at the tray icon (while the panel is locked and placed under
// the icon), the title band, a separator, and the band behind the hidden-files switch,
// white (its light variant) while hidden files are shown and in the disabled-band colour
// otherwise. The rest is the panel's body, with separators where the owner asks for them.
class PanelView : public QWidget {
    Q_OBJECT

public:
    static constexpr int kTriangleWidth = 14;
    static constexpr int kTriangleHeight = 8;
    static constexpr int kTitleBandHeight = 30;
    static constexpr int kSeparatorHeight = 1;
    static constexpr int kSwitchBandHeight = 35;
    static constexpr qreal kCornerRadius = 7.0;

    // The top of the title band, the separator under it and the switch band.
    static constexpr int kTitleBandTop = kTriangleHeight;
    static constexpr int kSeparatorTop = kTitleBandTop + kTitleBandHeight;
    static constexpr int kSwitchBandTop = kSeparatorTop + kSeparatorHeight;
    static constexpr int kSwitchBandBottom = kSwitchBandTop + kSwitchBandHeight;

    explicit PanelView(QWidget *parent = nullptr);

    bool isTriangleShown() const { return m_showTriangle; }
    void showTriangle(bool show);
    // Where the triangle's tip goes (view coordinates); nullopt: nowhere, so none is drawn.
    std::optional<int> triangleX() const { return m_triangleX; }
    void setTriangleX(std::optional<int> x);
    // The triangle is drawn: the panel is locked and has a place to point at.
    bool drawsTriangle() const { return m_showTriangle && m_triangleX.has_value(); }

    bool isHiddenShown() const { return m_isHiddenShown; }
    void setIsHiddenShown(bool shown);

    // Lines across the body at these y.
    void setSeparators(std::vector<int> ys);

    // The panel's window, which this view draws for.
    QWidget *controllerWindow() const { return m_controllerWindow; }
    void setControllerWindow(QWidget *window) { m_controllerWindow = window; }

    // The outline of what is drawn (the body with its rounded corners, and the triangle),
    // for a window that is cut to it.
    QPainterPath outline() const;

Q_SIGNALS:
    void outlineChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    bool m_showTriangle = true;
    std::optional<int> m_triangleX;
    bool m_isHiddenShown = false;
    std::vector<int> m_separators;
    QPointer<QWidget> m_controllerWindow;
};

} // namespace lurkel
