#pragma once

#include "PanelPlacement.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class QLabel;

namespace lurkel {

class SvgTrackingButton;
class WelcomeDialogWindow;

// The welcome dialog's controller: its window (WelcomeDialogWindow with its
// WelcomeDialogView), the title "Welcome to Lurkel" (the prefix "Title_Label_Prefix" of
// the table "WelcomeDialogWC" and the display name), three short texts and the red close
// button ("btn_red", hovered "btn_red_select").
class WelcomeDialogWC : public QObject {
    Q_OBJECT

public:
    static inline constexpr const char kTable[] = "WelcomeDialogWC";

    explicit WelcomeDialogWC(QObject *parent = nullptr);
    ~WelcomeDialogWC() override;

    WelcomeDialogWindow *window() const { return m_window.get(); }
    bool isWindowVisible() const;

    // The main controller's showMainWindowAndMakeActive (held as the parent controller),
    // and the end of the modal session the dialog runs in.
    void setParentController(std::function<void()> showMainWindowAndMakeActive);
    void setStopModal(std::function<void()> stopModal);

    // Puts the window at the placement (the arrow over the tray icon), shows it and starts
    // the arrow.
    void showAt(const PanelPlacement::Result &placement);
    // Closes the window, ends the modal session and asks the controller for the panel.
    void closeButtonPressed();

    // The texts ("Title_Label_Prefix" has an empty default, as the table gives it).
    static QString titleLabelPrefix();
    static QString titleText(); // the prefix followed by the display name
    static QString welcomeText1();
    static QString welcomeText2();
    static QString welcomeText3();

    QLabel *welcomeLabel() const { return m_welcomeLabel; }
    SvgTrackingButton *closeButton() const { return m_closeButton; }

private:
    std::unique_ptr<WelcomeDialogWindow> m_window;
    SvgTrackingButton *m_closeButton = nullptr;
    QLabel *m_welcomeLabel = nullptr;
    QLabel *m_welcomeText1 = nullptr;
    QLabel *m_welcomeText2 = nullptr;
    QLabel *m_welcomeText3 = nullptr;
    std::function<void()> m_parentController;
    std::function<void()> m_stopModal;
};

} // namespace lurkel
