#pragma once

#include "AccessAlertsPresenter.h"

namespace lurkel {

class MainWindowProvider;
class UrlOpener;

// The permission dialogs as widgets over the main controller's window: the information
// sheet (InformationAboutAccessAlertsWC) and the access-error alert (AccessErrorAlert).
// The provider and the opener must outlive the presenter.
class WidgetAccessAlertsPresenter final : public AccessAlertsPresenter {
public:
    WidgetAccessAlertsPresenter(const MainWindowProvider &provider, UrlOpener &opener)
        : m_provider(provider), m_opener(opener)
    {}

    void displayInformationAboutAccessibilityAlerts(std::function<void(bool granted)> completion) override;
    void displayAccessError(AccessErrorCase accessCase) override;

private:
    const MainWindowProvider &m_provider;
    UrlOpener &m_opener;
};

} // namespace lurkel
