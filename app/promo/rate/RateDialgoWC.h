#pragma once

#include "RateDialogView.h"

#include <QDialog>

namespace lurkel {

class FramelessWindowChrome;
class TrackingButton;

// The rate dialog's window: frameless, its own close button in the top band, dragged by
// its background. One is on screen at a time, application-modal, and a new one is made
// for every showing.
class RateDialgoWC : public QDialog {
    Q_OBJECT

public:
    static inline constexpr int kWidth = 500;

    explicit RateDialgoWC(const RateDialogServices &services, QWidget *parent = nullptr);

    RateDialogView *view() const { return m_view; }
    TrackingButton *quitButton() const { return m_quitButton; }

    // The user asked for the dialog (the tray menu's rate item): the next offer moves 30
    // days ahead, then the dialog is shown on the next turn of the event loop.
    static void showWindowByUser();
    static void showWindowByUser(const RateDialogServices &services);
    // Shows the dialog on the next turn of the event loop.
    static void pleaseShowWindow(const RateDialogServices &services);
    // Shows a new dialog now, closing any earlier one; returns it.
    static RateDialgoWC *pleaseShowWindowSafe(const RateDialogServices &services);
    // Ends the dialog's modal session and closes it; it deletes itself afterwards.
    static void closeRateWindow(QWidget *window);
    // The dialog on screen, or nullptr.
    static RateDialgoWC *current();

private:
    RateDialogView *m_view;
    TrackingButton *m_quitButton;
    FramelessWindowChrome *m_chrome;
};

} // namespace lurkel
