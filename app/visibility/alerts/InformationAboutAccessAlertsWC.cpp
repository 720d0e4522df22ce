#include "InformationAboutAccessAlertsWC.h"

#include "AccessErrorCase.h"
#include "HiddenManagerLocalizable.h"
#include "MainWindowProvider.h"
#include "PromoManager.h"
#include "UrlOpener.h"

#include <QFont>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

namespace lurkel {
namespace {

constexpr int kIconSize = 64;

QPointer<InformationAboutAccessAlertsWC> &currentSheet()
{
    static QPointer<InformationAboutAccessAlertsWC> sheet;
    return sheet;
}

} // namespace

InformationAboutAccessAlertsWC::InformationAboutAccessAlertsWC(UrlOpener &opener, QWidget *parent)
    : QDialog(parent), m_opener(opener)
{
    setObjectName(QStringLiteral("InformationAboutAccessAlertsWC"));

    m_preferencesIcon = new QLabel(this);
    m_preferencesIcon->setFixedSize(kIconSize, kIconSize);
    m_preferencesIcon->setAlignment(Qt::AlignCenter);

    m_title = new QLabel(this);
    m_title->setWordWrap(true);
    QFont titleFont = m_title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.15);
    m_title->setFont(titleFont);

    m_message = new QLabel(this);
    m_message->setWordWrap(true);

    // The object names are the button styles (colours and fonts only).
    m_grantAccessButton = new QPushButton(this);
    m_grantAccessButton->setObjectName(QStringLiteral("InformationAboutAccessAlertsGrantAccessButton"));
    m_grantAccessButton->setDefault(true);
    m_cancelButton = new QPushButton(this);
    m_cancelButton->setObjectName(QStringLiteral("InformationAboutAccessAlertsCancelButton"));
    m_readMoreButton = new QPushButton(this);
    m_readMoreButton->setObjectName(QStringLiteral("InformationAboutAccessAlertsReadMoreButton"));
    m_readMoreButton->setAutoDefault(false);
    m_readMoreButton->setFlat(true);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_readMoreButton);
    buttons->addStretch(1);
    buttons->addWidget(m_cancelButton);
    buttons->addWidget(m_grantAccessButton);

    auto *texts = new QVBoxLayout;
    texts->addWidget(m_title);
    texts->addWidget(m_message);
    texts->addStretch(1);

    auto *body = new QHBoxLayout;
    body->addWidget(m_preferencesIcon, 0, Qt::AlignTop);
    body->addLayout(texts, 1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 16);
    layout->setSpacing(16);
    layout->addLayout(body);
    layout->addLayout(buttons);
    setMinimumWidth(480);

    connect(m_grantAccessButton, &QPushButton::clicked, this, &InformationAboutAccessAlertsWC::onGrantAccessClicked);
    connect(m_cancelButton, &QPushButton::clicked, this, &InformationAboutAccessAlertsWC::onCancelClicked);
    connect(m_readMoreButton, &QPushButton::clicked, this, &InformationAboutAccessAlertsWC::onReadMoreClicked);

    windowDidLoad();
}

void InformationAboutAccessAlertsWC::windowDidLoad()
{
    // A white sheet with dark text, whatever the theme.
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::WindowText, QColor(0x1d, 0x1d, 0x1f));
    m_title->setPalette(palette);
    m_message->setPalette(palette);
    setPalette(palette);
    setAutoFillBackground(true);

    setWindowTitle(PromoManager::getAppName());
    m_title->setText(HiddenManagerLocalizable::informationAboutAccessAlertsTitle());
    m_message->setText(HiddenManagerLocalizable::informationAboutAccessAlertsMessage());
    m_grantAccessButton->setText(HiddenManagerLocalizable::informationAboutAccessAlertsButtonGrantAccess());
    m_cancelButton->setText(HiddenManagerLocalizable::informationAboutAccessAlertsButtonCancel());
    m_readMoreButton->setText(HiddenManagerLocalizable::informationAboutAccessAlertsButtonReadMore());

    const QIcon icon = QIcon::fromTheme(QStringLiteral("preferences-system"),
                                        QIcon(QStringLiteral(":/access-alerts/preferences-system.svg")));
    m_preferencesIcon->setPixmap(icon.pixmap(kIconSize, kIconSize));
}

void InformationAboutAccessAlertsWC::beginSheet(QWidget *window, std::function<void(int)> completion)
{
    m_completion = std::move(completion);
    m_sheetParent = window;
    if (parentWidget() != window) setParent(window, Qt::Dialog);
    setWindowModality(Qt::WindowModal);
    show();
    raise();
    activateWindow();
}

void InformationAboutAccessAlertsWC::endSheet(int returnCode)
{
    if (!m_sheetParent) return;
    m_sheetParent = nullptr;
    done(returnCode);
    // Taken out first: the completion may delete this sheet.
    if (auto completion = std::exchange(m_completion, nullptr)) completion(returnCode);
}

void InformationAboutAccessAlertsWC::onGrantAccessClicked()
{
    endSheet(kGrantAccessReturnCode);
}

void InformationAboutAccessAlertsWC::onCancelClicked()
{
    endSheet(kCancelReturnCode);
}

void InformationAboutAccessAlertsWC::onReadMoreClicked()
{
    m_opener.openAddress(gettingStartedReadMoreAddress());
}

void InformationAboutAccessAlertsWC::reject()
{
    onCancelClicked();
}

InformationAboutAccessAlertsWC *InformationAboutAccessAlertsWC::display(const MainWindowProvider &provider,
                                                                        UrlOpener &opener,
                                                                        std::function<void(bool)> completion)
{
    QWidget *window = provider.mainWindow();
    if (window == nullptr) return nullptr;

    // One sheet at a time: a second request while the first is unanswered would leave two
    // answers to one question.
    QPointer<InformationAboutAccessAlertsWC> &slot = currentSheet();
    if (slot && slot->sheetParent() != nullptr) {
        slot->raise();
        slot->activateWindow();
        return nullptr;
    }

    auto *sheet = new InformationAboutAccessAlertsWC(opener, window);
    slot = sheet;
    sheet->beginSheet(window, [sheet, completion = std::move(completion)](int returnCode) {
        if (currentSheet() == sheet) currentSheet() = nullptr;
        sheet->deleteLater();
        if (completion) completion(returnCode == kGrantAccessReturnCode);
    });
    return sheet;
}

InformationAboutAccessAlertsWC *InformationAboutAccessAlertsWC::current()
{
    return currentSheet();
}

} // namespace lurkel
