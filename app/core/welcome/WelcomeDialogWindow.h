#pragma once

#include <QWidget>

namespace lurkel {

class FramelessWindowChrome;
class WelcomeDialogView;

// The welcome dialog's window: frameless, without shadow, see-through where a compositing
// manager runs (cut to the card and the arrow where none does), above other windows.
// Escape works as the close button.
class WelcomeDialogWindow : public QWidget {
    Q_OBJECT

public:
    explicit WelcomeDialogWindow(QWidget *parent = nullptr);

    WelcomeDialogView *view() const { return m_view; }
    FramelessWindowChrome *chrome() const { return m_chrome; }

Q_SIGNALS:
    void escapePressed();
    // The window was closed, whichever way.
    void closed();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    WelcomeDialogView *m_view;
    FramelessWindowChrome *m_chrome;
};

} // namespace lurkel
