#include "WidgetAccessAlertsPresenter.h"

#include "AccessErrorAlert.h"
#include "InformationAboutAccessAlertsWC.h"

namespace lurkel {

void WidgetAccessAlertsPresenter::displayInformationAboutAccessibilityAlerts(std::function<void(bool)> completion)
{
    InformationAboutAccessAlertsWC::display(m_provider, m_opener, std::move(completion));
}

void WidgetAccessAlertsPresenter::displayAccessError(AccessErrorCase accessCase)
{
    AccessErrorAlert::display(m_provider, m_opener, accessCase);
}

} // namespace lurkel
