#include "WelcomeDialogOpener.h"
#include "DesktopAnchor.h"

#include "PanelPlacement.h"
#include "SettingsKeys.h"
#include "UserDefaults.h"
#include "WelcomeDialogView.h"
#include "WelcomeDialogWC.h"
#include "WelcomeDialogWindow.h"

namespace lurkel {

WelcomeDialogOpener::WelcomeDialogOpener(UserDefaults *defaults, Clock *clock)
    : m_settings(defaults != nullptr ? Settings(*defaults) : Settings()),
      m_positionWait(clock != nullptr ? *clock : Clock::instance())
{}

WelcomeDialogOpener::~WelcomeDialogOpener() = default;

void WelcomeDialogOpener::openWelcomeDialog(std::function<void()> completion)
{
    if (m_isWelcomeScreenVisible) return;
    if (m_settings.getBoolValueForKeyWithDefaultValue(SettingsKeys::kWelcomeDialogDisplayed, false)) {
        if (completion) completion();
        return;
    }
    // A newer request replaces one still waiting for the tray icon's place.
    m_positionWait.request(m_anchor, [this, completion = std::move(completion)](const StatusItemAnchor &anchor) {
        runModal(anchor, completion);
    });
}

void WelcomeDialogOpener::runModal(const StatusItemAnchor &anchor, std::function<void()> completion)
{
    if (m_isWelcomeScreenVisible) return;
    m_isWelcomeScreenVisible = true;
    m_sessionCompletion = std::move(completion);
    if (!m_welcomeDialog) {
        m_welcomeDialog = std::make_unique<WelcomeDialogWC>();
        m_welcomeDialog->setStopModal([this] { stopModal(); });
        m_welcomeDialog->setParentController([this] {
            if (m_showMainWindow) m_showMainWindow();
        });
        // However the window goes away, the session ends with it.
        QObject::connect(m_welcomeDialog->window(), &WelcomeDialogWindow::closed, m_welcomeDialog.get(),
                         [this] { stopModal(); });
    }
    if (m_arrowRoundMs > 0) m_welcomeDialog->window()->view()->setRoundDuration(m_arrowRoundMs);
    const QSize size(WelcomeDialogView::kWidth, WelcomeDialogView::kHeight);
    m_welcomeDialog->showAt(PanelPlacement::place(DesktopAnchor::requestFor(size, anchor)));
}

void WelcomeDialogOpener::stopModal()
{
    if (!m_isWelcomeScreenVisible) return;
    m_isWelcomeScreenVisible = false;
    m_settings.saveBoolValueForKey(true, SettingsKeys::kWelcomeDialogDisplayed);
    if (m_welcomeDialog && m_welcomeDialog->isWindowVisible()) {
        m_welcomeDialog->window()->view()->stopArrowAnimation();
        m_welcomeDialog->window()->hide();
    }
    std::function<void()> completion = std::move(m_sessionCompletion);
    m_sessionCompletion = nullptr;
    if (completion) completion();
}

void WelcomeDialogOpener::closeWelcomeDialogAndStopModal()
{
    if (!m_welcomeDialog || !m_welcomeDialog->isWindowVisible()) return;
    m_welcomeDialog->window()->view()->stopArrowAnimation();
    m_welcomeDialog->window()->close();
    stopModal();
}

} // namespace lurkel
