#pragma once

#include "Clock.h"
#include "Settings.h"
#include "StatusItemPositionWait.h"

#include <functional>
#include <memory>

namespace lurkel {

class UserDefaults;
class WelcomeDialogWC;

// The welcome step every request for the panel passes through (the main controller's
// openWelcomeDialog). On the first run it shows the welcome dialog once, under the tray
// icon, in a modal session; the caller's continuation runs when the session ends. After
// that ("KEY_welcomeDialogDisplayed") it only runs the continuation.
//
// The session is modal in that the application does nothing else meanwhile: every other
// request for the panel waits in this step, and a second request while the dialog is up
// is dropped, its continuation never called. The dialog does not block input to the tray
// icon, whose click is what the dialog asks for: the controller's tray click closes the
// dialog (closeWelcomeDialogAndStopModal()) and then opens the panel.
class WelcomeDialogOpener {
public:
    explicit WelcomeDialogOpener(UserDefaults *defaults = nullptr, Clock *clock = nullptr);
    ~WelcomeDialogOpener();
    WelcomeDialogOpener(const WelcomeDialogOpener &) = delete;
    WelcomeDialogOpener &operator=(const WelcomeDialogOpener &) = delete;

    // Where the tray icon is (asked again while waiting for a tray that has not placed it).
    void setStatusItemAnchor(StatusItemPositionWait::Source anchor) { m_anchor = std::move(anchor); }
    // The controller's showMainWindowAndMakeActive, called by the dialog's close button.
    void setShowMainWindowAndMakeActive(std::function<void()> show) { m_showMainWindow = std::move(show); }

    void openWelcomeDialog(std::function<void()> completion);
    bool isWelcomeScreenVisible() const { return m_isWelcomeScreenVisible; }
    // The dialog's controller, made on first showing and kept.
    WelcomeDialogWC *welcomeDialog() const { return m_welcomeDialog.get(); }
    // The tray click while the dialog is up: closes it and ends the session.
    void closeWelcomeDialogAndStopModal();

private:
    void runModal(const StatusItemAnchor &anchor, std::function<void()> completion);
    void stopModal();

    Settings m_settings;
    StatusItemPositionWait m_positionWait;
    StatusItemPositionWait::Source m_anchor;
    std::function<void()> m_showMainWindow;
    std::unique_ptr<WelcomeDialogWC> m_welcomeDialog;
    std::function<void()> m_sessionCompletion;
    bool m_isWelcomeScreenVisible = false;
    int m_arrowRoundMs = 0;
};

} // namespace lurkel
