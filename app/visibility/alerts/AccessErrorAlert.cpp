#include "AccessErrorAlert.h"

#include "HiddenManagerLocalizable.h"
#include "MainWindowProvider.h"
#include "PromoManager.h"
#include "UrlOpener.h"

#include <QPushButton>

namespace lurkel {

AccessErrorAlert::AccessErrorAlert(AccessErrorCase accessCase, UrlOpener &opener, QWidget *parent)
    : QMessageBox(parent), m_case(accessCase), m_details(accessErrorDetails(accessCase)), m_opener(opener)
{
    setObjectName(QStringLiteral("AccessErrorAlert"));
    setWindowTitle(PromoManager::getAppName());
    setIcon(QMessageBox::Warning);
    setText(m_details.title);
    setInformativeText(m_details.message);
    m_openSettingsButton =
        addButton(HiddenManagerLocalizable::accessNotGrantedButtonOpenSystemPreferences(), QMessageBox::AcceptRole);
    m_readMoreButton = addButton(HiddenManagerLocalizable::accessNotGrantedButtonReadMore(), QMessageBox::ActionRole);
    setDefaultButton(m_openSettingsButton);
    connect(this, &QMessageBox::buttonClicked, this, &AccessErrorAlert::onButtonClicked);
}

void AccessErrorAlert::onButtonClicked(QAbstractButton *button)
{
    if (button == m_openSettingsButton) {
        m_response = kOpenSettingsResponse;
        m_opener.openUrl(m_details.settingsTarget);
    } else if (button == m_readMoreButton) {
        m_response = kReadMoreResponse;
        m_opener.openAddress(m_details.readMoreAddress);
    }
}

AccessErrorAlert *AccessErrorAlert::display(const MainWindowProvider &provider, UrlOpener &opener,
                                            AccessErrorCase accessCase)
{
    QWidget *window = provider.mainWindow();
    if (window == nullptr) return nullptr;
    auto *alert = new AccessErrorAlert(accessCase, opener, window);
    alert->setWindowModality(Qt::WindowModal);
    connect(alert, &QDialog::finished, alert, &QObject::deleteLater);
    alert->show();
    return alert;
}

} // namespace lurkel
