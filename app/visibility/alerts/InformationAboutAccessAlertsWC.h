#pragma once

#include <QDialog>
#include <QPointer>

#include <functional>

class QLabel;
class QPushButton;

namespace lurkel {

class MainWindowProvider;
class UrlOpener;

// The sheet shown before the first switch: it tells the user that system prompts for
// permissions will follow. It ends with "Grant Access" (1000) or "Cancel" (1001; also
// Escape and closing the window); "Read More" opens the getting-started page and leaves
// the sheet open.
class InformationAboutAccessAlertsWC : public QDialog {
    Q_OBJECT

public:
    static inline constexpr int kGrantAccessReturnCode = 1000;
    static inline constexpr int kCancelReturnCode = 1001;

    // The opener must outlive the sheet.
    explicit InformationAboutAccessAlertsWC(UrlOpener &opener, QWidget *parent = nullptr);

    // Shows the sheet window-modal over window. completion(returnCode) runs once, when a
    // button ends the sheet.
    void beginSheet(QWidget *window, std::function<void(int returnCode)> completion);
    // Ends the sheet on its parent window with the code; nothing when it has no sheet parent
    // (never begun, or already ended).
    void endSheet(int returnCode);
    QWidget *sheetParent() const { return m_sheetParent; }

    // The process's information sheet over the provider's window. Returns the sheet, or
    // nullptr when nothing was shown: without a window, or while an earlier sheet is still
    // on screen (that one is raised instead). completion(granted) runs once the shown sheet
    // has ended; it never runs when nothing was shown. The ended sheet deletes itself.
    static InformationAboutAccessAlertsWC *display(const MainWindowProvider &provider, UrlOpener &opener,
                                                   std::function<void(bool granted)> completion);
    // The sheet display() put on screen, while it is there.
    static InformationAboutAccessAlertsWC *current();

    QLabel *title() const { return m_title; }
    QLabel *message() const { return m_message; }
    QPushButton *grantAccessButton() const { return m_grantAccessButton; }
    QPushButton *cancelButton() const { return m_cancelButton; }
    QPushButton *readMoreButton() const { return m_readMoreButton; }
    QLabel *preferencesIcon() const { return m_preferencesIcon; }

public Q_SLOTS:
    void onGrantAccessClicked();
    void onCancelClicked();
    void onReadMoreClicked();
    // Escape and the window's close button answer as "Cancel".
    void reject() override;

private:
    void windowDidLoad();

    UrlOpener &m_opener;
    QPointer<QWidget> m_sheetParent;
    std::function<void(int)> m_completion;

    QLabel *m_title = nullptr;
    QLabel *m_message = nullptr;
    QPushButton *m_grantAccessButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
    QPushButton *m_readMoreButton = nullptr;
    QLabel *m_preferencesIcon = nullptr;
};

} // namespace lurkel
