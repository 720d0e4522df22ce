#include "RateDialogView.h"

#include "Clock.h"
#include "DesktopUrlOpener.h"
#include "NamedColors.h"
#include "PromoManager.h"
#include "PromoSettings.h"
#include "RateStarButton.h"
#include "Settings.h"
#include "UrlOpener.h"
#include "UserDefaults.h"
#include "VolumeName.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPointer>
#include <QVBoxLayout>

#include <array>
#include <limits>

namespace lurkel {

namespace {

QFont textFont(int pointSize)
{
    QFont font;
    font.setPointSize(pointSize);
    return font;
}

void setTextColor(QLabel *label, NamedColor color)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, NamedColors::color(color, palette));
    label->setPalette(palette);
}

QLabel *wrappedLabel(int pointSize, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setFont(textFont(pointSize));
    label->setAlignment(Qt::AlignHCenter);
    label->setWordWrap(true);
    label->setTextFormat(Qt::RichText);
    setTextColor(label, NamedColor::RowText);
    return label;
}

} // namespace

RateDialogServices RateDialogServices::process()
{
    return {UserDefaults::standardUserDefaults(), DesktopUrlOpener::shared(), Clock::instance()};
}

RateDialogView::RateDialogView(const RateDialogServices &services, QWidget *parent)
    : QWidget(parent), m_services(services)
{
    setAutoFillBackground(false);

    m_pTitleLabel = new QLabel(tr("Rate"), this);
    QFont titleFont = textFont(11);
    titleFont.setBold(true);
    m_pTitleLabel->setFont(titleFont);
    m_pTitleLabel->setAlignment(Qt::AlignCenter);
    m_pTitleLabel->setFixedHeight(kTopBandHeight);
    setTextColor(m_pTitleLabel, NamedColor::SecondaryText);

    m_pFirstTextPartLabel = wrappedLabel(15, this);
    m_pFirstTextPartLabel->setText(tr("We are excited to find out if you like it."));
    m_pDeservesLabel = wrappedLabel(15, this);
    m_pDeservesLabel->setTextFormat(Qt::PlainText);
    m_pDeservesLabel->setText(tr("Does it deserve five stars?"));
    m_pCleanInformationLabel = wrappedLabel(14, this);

    std::array<RateStarButton **, 5> stars{&m_pOneStarButton, &m_pTwoStarsButton, &m_pThreeStarsButton,
                                           &m_pFourStarsButton, &m_pFiveStarsButton};
    auto *starRow = new QHBoxLayout;
    starRow->setSpacing(6);
    starRow->addStretch();
    for (std::size_t i = 0; i < stars.size(); ++i) {
        auto *button = new RateStarButton(this, this);
        button->setAccessibleName(tr("%n star(s)", nullptr, static_cast<int>(i) + 1));
        connect(button, &QAbstractButton::clicked, this, [this, button] { onButtonPressed(button); });
        *stars.at(i) = button;
        starRow->addWidget(button);
    }
    starRow->addStretch();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 22);
    layout->setSpacing(0);
    layout->addWidget(m_pTitleLabel);
    layout->addSpacing(22);
    auto *texts = new QVBoxLayout;
    texts->setContentsMargins(28, 0, 28, 0);
    texts->setSpacing(10);
    texts->addWidget(m_pFirstTextPartLabel);
    texts->addWidget(m_pDeservesLabel);
    layout->addLayout(texts);
    layout->addSpacing(14);
    layout->addLayout(starRow);
    layout->addSpacing(14);
    layout->addWidget(m_pCleanInformationLabel);

    awakeFromNib(PromoManager::getAppName(), PromoManager::getAppVersion());
}

void RateDialogView::awakeFromNib(const QString &appName, const QString &version)
{
    if (version.isEmpty()) return;
    m_pTitleLabel->setText(tr("Rate %1 %2").arg(appName, version));
    m_pFirstTextPartLabel->setText(firstTextWithBoldName(appName));
    const std::uint64_t cleaned = Settings(m_services.defaults).cleanedSize();
    m_pCleanInformationLabel->setVisible(cleaned != 0);
    if (cleaned != 0) m_pCleanInformationLabel->setText(cleanInformationText(cleaned));
}

QString RateDialogView::replaceTag(const QString &tag, const QString &source, const QString &value)
{
    return ConcernEmail::replaceTag(tag, source, value);
}

QString RateDialogView::replaceAppNameTagInSource(const QString &source, const QString &name)
{
    return replaceTag(QStringLiteral("#appname#"), source, name);
}

QString RateDialogView::replaceVersionTagInSource(const QString &source, const QString &version)
{
    return replaceTag(QStringLiteral("#version#"), source, version);
}

QString RateDialogView::firstTextWithBoldName(const QString &appName)
{
    return replaceAppNameTagInSource(tr("We are excited to find out if you like <b>#appname#</b>."),
                                     appName.toHtmlEscaped());
}

QString RateDialogView::cleanInformationText(std::uint64_t cleanedSize)
{
    constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    const QString size = VolumeName::stringFromSize(static_cast<std::int64_t>(qMin(cleanedSize, kMax)));
    return tr("You have cleaned <b>%1</b> in total.").arg(size.toHtmlEscaped());
}

RateStarButton *RateDialogView::starButton(int stars) const
{
    switch (stars) {
    case 1:
        return m_pOneStarButton;
    case 2:
        return m_pTwoStarsButton;
    case 3:
        return m_pThreeStarsButton;
    case 4:
        return m_pFourStarsButton;
    case 5:
        return m_pFiveStarsButton;
    default:
        return nullptr;
    }
}

int RateDialogView::getCountStarsFromButton(const QObject *button) const
{
    for (int stars = 1; stars <= 5; ++stars) {
        if (button != nullptr && button == starButton(stars)) return stars;
    }
    return 0;
}

void RateDialogView::fillStars(int count)
{
    for (int stars = 1; stars <= 5; ++stars)
        fillStarButton(starButton(stars), count);
}

void RateDialogView::fillStarButton(RateStarButton *button, int starsCount)
{
    const bool filled = getCountStarsFromButton(button) <= starsCount;
    button->setImageName(QString::fromLatin1(filled ? RateStarButton::kGoldImage : RateStarButton::kEmptyImage));
}

void RateDialogView::onMouseEnteredButton(RateStarButton *button)
{
    m_pMouseEnterDate = m_services.clock.currentDateTime();
    ++m_enterCount;
    fillStars(getCountStarsFromButton(button));
}

void RateDialogView::onMouseExitButton(RateStarButton * /*button*/)
{
    const std::uint64_t entriesAtLeave = m_enterCount;
    QPointer<RateDialogView> self(this);
    m_pendingReset = MainQueue::after(
        kResetDelayMs,
        [self, entriesAtLeave] {
            if (self && self->m_enterCount == entriesAtLeave) self->fillStars(0);
        },
        m_services.clock);
}

void RateDialogView::onButtonPressed(QObject *sender)
{
    const int stars = getCountStarsFromButton(sender);
    if (stars == 0) return;
    if (stars < 4) {
        onRatedBad();
    } else {
        onRatedGood();
    }
    Settings(m_services.defaults).notifyRateDialogDataThatUserClickOnStar();
    m_pendingReset.cancel();
    Q_EMIT closeRequested();
}

void RateDialogView::onRatedGood()
{
    m_services.urlOpener.openAddress(PromoSettings::getRateTheAppLink());
}

void RateDialogView::onRatedBad()
{
    m_services.urlOpener.openUrl(ConcernEmail::mailtoUrl(PromoManager::getAppName(), PromoManager::getAppVersion(),
                                                         ConcernEmail::operatingSystemLine(m_services.osReleasePath)));
}

void RateDialogView::paintEvent(QPaintEvent * /*event*/)
{
    QPainter painter(this);
    const QPalette &pal = palette();
    painter.fillRect(rect(), NamedColors::color(NamedColor::PanelBackground, pal));

    const QColor band = NamedColors::color(NamedColor::PanelTitleBand, pal);
    QLinearGradient bandGradient(0, 0, 0, kTopBandHeight);
    bandGradient.setColorAt(0, band.lighter(106));
    bandGradient.setColorAt(1, band.darker(104));
    painter.fillRect(QRect(0, 0, width(), kTopBandHeight), bandGradient);

    QLinearGradient shadow(0, kTopBandHeight, 0, kTopBandHeight + kShadowHeight);
    shadow.setColorAt(0, QColor(0, 0, 0, 36));
    shadow.setColorAt(1, QColor(0, 0, 0, 0));
    painter.fillRect(QRect(0, kTopBandHeight, width(), kShadowHeight), shadow);

    painter.fillRect(QRect(0, kTopBandHeight - 1, width(), 1), NamedColors::color(NamedColor::PanelSeparator, pal));
}

} // namespace lurkel
