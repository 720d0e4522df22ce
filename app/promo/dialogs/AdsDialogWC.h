#pragma once

#include "HTMLDownloaderInitData.h"
#include "PromoBrowser.h"
#include "PromoContentSource.h"
#include "PromoDialogServices.h"

#include <QObject>
#include <QPoint>
#include <QSize>
#include <QString>

#include <cstdint>
#include <memory>

class QPropertyAnimation;
class QPushButton;
class QWidget;

namespace lurkel {

class TrackingButton;

// The advertisement window beside the panel: a frameless floating window with the
// advertisement page, a close button and a button for the advertised tool. The panel
// places it (showAt, moveTo) and hides it with itself; the window closes itself when the
// user closes it or follows a link, and says so with closed().
//
// Closing by the user sets "KEY_adsDialogBeenClosed"; a new advertisement package (the
// feed's change notification) clears it and "KEY_adsBannerBeenClosed" and reloads the page.
//
// Main thread only.
class AdsDialogWC : public QObject {
    Q_OBJECT

public:
    // Height of the bar under the page that holds the advertised tool's button.
    static inline constexpr int kButtonBarHeight = 48;
    static inline constexpr int kFadeInMs = 300;

    // The notification posted on the local centre when a new advertisement page has arrived.
    static QString adsDialogHtmlChangedNotificationName()
    {
        return HTMLDownloaderInitData::advertisementHtmlChangedNotificationName();
    }
    // The page shown while there is no advertisement package.
    static QString brokenPageHtml();

    // Observes the source's change notification (adsDialogHtmlChangedNotificationName()
    // when the source names none).
    explicit AdsDialogWC(PromoContentSource source, PromoDialogServices services = {}, QObject *parent = nullptr);
    ~AdsDialogWC() override;

    // Shows the feed's page, or the broken page without one, and sizes the window for it.
    void reloadContent();
    // A new advertisement package: both "closed" flags cleared, the page reloaded.
    void onHtmlChanged();
    // The close button: marks the window closed by the user, closes it, emits closed().
    void closeButtonPressed();
    // The advertised tool's button: its store page in the browser.
    void adsButtonPressed();

    // Puts the window's top-left corner at topLeft (screen coordinates) and shows it,
    // fading in.
    void showAt(QPoint topLeft);
    void moveTo(QPoint topLeft);
    void hide();
    bool isVisible() const;

    QWidget *window() const { return m_window.get(); }
    PromoBrowser *browser() const { return m_browser; }
    TrackingButton *closeButton() const { return m_closeButton; }
    QPushButton *adsButton() const { return m_adsButton; }

Q_SIGNALS:
    void closed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    PromoBrowser::Navigation decideNavigation(const QUrl &url);
    void placeCloseButton();

    PromoContentSource m_source;
    PromoDialogServices m_services;
    std::unique_ptr<QWidget> m_window;
    PromoBrowser *m_browser = nullptr;
    QWidget *m_closeBackdrop = nullptr;
    TrackingButton *m_closeButton = nullptr;
    QPushButton *m_adsButton = nullptr;
    QPropertyAnimation *m_fadeIn = nullptr;
    std::uint64_t m_observer = 0;
};

} // namespace lurkel
