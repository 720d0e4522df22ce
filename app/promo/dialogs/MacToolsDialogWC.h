#pragma once

#include "PromoDialogServices.h"

#include <QObject>
#include <QSize>
#include <QString>

#include <cstdint>
#include <memory>

class QWidget;

namespace lurkel {

class MacToolsDialogWCDelegate;
class PromoBrowser;

// The page presenting the maker's other tools, in a window of its own. The delegate gives
// the page (its feed); the window takes the page's size (713 x 407 while the feed gives
// none). Links open in the browser and the window stays. While the window is visible, the
// feed's change notification reloads it.
//
// Main thread only.
class MacToolsDialogWC : public QObject {
    Q_OBJECT

public:
    static inline constexpr QSize kDefaultSize{713, 407};

    explicit MacToolsDialogWC(PromoDialogServices services = {}, QObject *parent = nullptr);
    ~MacToolsDialogWC() override;

    // The process's tools page, on the process's services, created on first use.
    static MacToolsDialogWC &sharedController();

    // Not owned; must outlive the window's use of it (or be reset to nullptr first).
    void setDelegate(MacToolsDialogWCDelegate *delegate) { m_delegate = delegate; }
    MacToolsDialogWCDelegate *delegate() const { return m_delegate; }

    // Loads the feed's current page, shows the window and brings it to the front.
    void pleaseShowWindow();
    bool isVisible() const;
    void close();

    QWidget *window() const { return m_window.get(); }
    PromoBrowser *browser() const { return m_browser; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void reload();
    void observe(const QString &notificationName);

    PromoDialogServices m_services;
    MacToolsDialogWCDelegate *m_delegate = nullptr;
    std::unique_ptr<QWidget> m_window;
    PromoBrowser *m_browser = nullptr;
    QString m_observedName;
    std::uint64_t m_observer = 0;
};

} // namespace lurkel
