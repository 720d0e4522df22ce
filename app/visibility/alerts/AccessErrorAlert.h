#pragma once

#include "AccessErrorCase.h"

#include <QMessageBox>

class QPushButton;

namespace lurkel {

class MainWindowProvider;
class UrlOpener;

// The alert shown when a switch script failed for lack of permission. Its first button
// (1000) opens the case's settings target, its second (1001) the getting-started page at
// the case's anchor. Either button ends the alert; Escape does nothing.
class AccessErrorAlert : public QMessageBox {
    Q_OBJECT

public:
    static inline constexpr int kOpenSettingsResponse = 1000;
    static inline constexpr int kReadMoreResponse = 1001;

    // The opener must outlive the alert.
    AccessErrorAlert(AccessErrorCase accessCase, UrlOpener &opener, QWidget *parent = nullptr);

    AccessErrorCase accessCase() const { return m_case; }
    const AccessErrorDetails &details() const { return m_details; }
    QPushButton *openSettingsButton() const { return m_openSettingsButton; }
    QPushButton *readMoreButton() const { return m_readMoreButton; }
    // 1000 or 1001 once a button ended the alert, 0 before.
    int response() const { return m_response; }

    // Shows the alert for the case window-modal over the provider's window and returns it
    // (it deletes itself once answered); nullptr, and nothing shown, without a window.
    static AccessErrorAlert *display(const MainWindowProvider &provider, UrlOpener &opener, AccessErrorCase accessCase);

private:
    void onButtonClicked(QAbstractButton *button);

    AccessErrorCase m_case;
    AccessErrorDetails m_details;
    UrlOpener &m_opener;
    QPushButton *m_openSettingsButton = nullptr;
    QPushButton *m_readMoreButton = nullptr;
    int m_response = 0;
};

} // namespace lurkel
