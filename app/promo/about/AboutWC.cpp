#include "AboutWC.h"

#include "Clock.h"
#include "DesktopUrlOpener.h"
#include "Extra.h"
#include "Identity.h"
#include "LinkButton.h"
#include "NamedColors.h"
#include "PromoManager.h"
#include "PromoSettings.h"
#include "UrlOpener.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QUrl>
#include <QVBoxLayout>

namespace lurkel {

namespace {

QLabel *centredLabel(const QString &text, int pointSize, bool bold, NamedColor color, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignHCenter);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont font = label->font();
    font.setPointSize(pointSize);
    font.setBold(bold);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, NamedColors::color(color, palette));
    label->setPalette(palette);
    return label;
}

} // namespace

AboutWC::AboutWC(QWidget *parent) : AboutWC(DesktopUrlOpener::shared(), Clock::instance(), parent) {}

AboutWC::AboutWC(UrlOpener &opener, Clock &clock, QWidget *parent) : QDialog(parent), m_opener(opener)
{
    const QString displayName = QString::fromUtf8(Identity::kBundleDisplayName);
    setWindowTitle(tr("About %1").arg(displayName));

    m_iconLabel = new QLabel(this);
    m_iconLabel->setAlignment(Qt::AlignHCenter);
    const QIcon icon = QApplication::windowIcon();
    m_iconLabel->setVisible(!icon.isNull());
    if (!icon.isNull()) m_iconLabel->setPixmap(icon.pixmap(64, 64));

    m_logoLabel = centredLabel(displayName, 20, true, NamedColor::RowText, this);
    m_extraProductLabel = centredLabel(QString(), 12, false, NamedColor::RowText, this);
    m_extraProductLabel->hide();
    m_versionLabel =
        centredLabel(tr("Version %1 (%2)").arg(PromoManager::getAppVersion(), PromoManager::getAppBuildVersion()), 12,
                     false, NamedColor::RowText, this);
    m_copyrightLabel = centredLabel(copyrightText(QString::fromUtf8(Identity::kCopyright), clock.currentDateTime()), 10,
                                    false, NamedColor::SecondaryText, this);

    m_moreAppsButton = new LinkButton(tr("More Apps"), this);
    m_brendixLinkButton = new LinkButton(QUrl(PromoSettings::webHost()).host(), this);
    connect(m_moreAppsButton, &QAbstractButton::clicked, this, &AboutWC::moreAppsButtonPressed);
    connect(m_brendixLinkButton, &QAbstractButton::clicked, this, &AboutWC::brendixLinkButtonPressed);
    auto *links = new QHBoxLayout;
    links->setSpacing(24);
    links->addStretch();
    links->addWidget(m_moreAppsButton);
    links->addWidget(m_brendixLinkButton);
    links->addStretch();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(48, 24, 48, 20);
    layout->setSpacing(6);
    layout->addWidget(m_iconLabel);
    layout->addWidget(m_logoLabel);
    layout->addWidget(m_extraProductLabel);
    layout->addWidget(m_versionLabel);
    layout->addSpacing(14);
    layout->addLayout(links);
    layout->addSpacing(10);
    layout->addWidget(m_copyrightLabel);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    // The window itself holds the focus at first, so that no link opens with a focus ring.
    setFocusPolicy(Qt::StrongFocus);
    setFocus();
}

void AboutWC::showWindow()
{
    if (isMinimized()) showNormal();
    show();
    raise();
    activateWindow();
}

void AboutWC::moreAppsButtonPressed()
{
    m_opener.openAddress(moreAppsAddress());
}

void AboutWC::brendixLinkButtonPressed()
{
    m_opener.openAddress(brendixAddress());
}

QString AboutWC::moreAppsAddress()
{
    return PromoManager::appendUtmSourceAndUtmFromAppTo(PromoSettings::webHost() + QStringLiteral("/products/"));
}

QString AboutWC::brendixAddress()
{
    return PromoManager::appendUtmSourceAndUtmFromAppTo(PromoSettings::webHost() + QStringLiteral("/"));
}

QString AboutWC::copyrightText(const QString &buildCopyright, const QDateTime &now)
{
    if (!buildCopyright.trimmed().isEmpty()) return buildCopyright;
    return builtInCopyright(now);
}

QString AboutWC::builtInCopyright(const QDateTime &now)
{
    const int year = Extra::currentGregorianYearWithMinValue(kFirstCopyrightYear, now);
    const QString years = year == kFirstCopyrightYear ? QString::number(year)
                                                      : QStringLiteral("%1\u2013%2").arg(kFirstCopyrightYear).arg(year);
    return tr("Copyright \u00a9 %1 Brendix. All rights reserved.").arg(years);
}

} // namespace lurkel
