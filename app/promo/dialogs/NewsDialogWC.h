#pragma once

#include "HTMLContentData.h"

#include <QObject>
#include <QPoint>
#include <QSize>

#include <memory>

class QWidget;

namespace lurkel {

class PromoBrowser;
class UrlOpener;

// The news popup: a frameless window above the others showing the news page. It hides
// when it loses the focus, on Escape, and when a link is followed (links open in the
// browser).
//
// Main thread only.
class NewsDialogWC : public QObject {
    Q_OBJECT

public:
    explicit NewsDialogWC(UrlOpener &urlOpener, QObject *parent = nullptr);
    ~NewsDialogWC() override;

    // Shows the page at size with its top-left corner at topLeft (screen coordinates),
    // moved inside the screen when it would stick out.
    void showAt(QPoint topLeft, QSize size, const HTMLContentData &content);
    // Shows another page in the popup as it stands.
    void showContent(const HTMLContentData &content);
    void hide();
    bool isVisible() const;

    QWidget *window() const { return m_window.get(); }
    PromoBrowser *browser() const { return m_browser; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    UrlOpener &m_urlOpener;
    std::unique_ptr<QWidget> m_window;
    PromoBrowser *m_browser = nullptr;
};

} // namespace lurkel
