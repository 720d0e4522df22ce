#include "AdBasedOnSpotlightView.h"

#include "VolumeName.h"

#include "AdBasedOnSpotlightVCStrings.h"
#include "LinkButton.h"
#include "NamedColors.h"
#include "SvgTrackingButton.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>

namespace lurkel {

namespace {

constexpr int kMargin = 14;
constexpr int kRowTop = 122;
constexpr int kRowHeight = 20;

QFont pixelFont(int pixels, QFont::Weight weight = QFont::Normal)
{
    QFont font = QGuiApplication::font();
    font.setPixelSize(pixels);
    font.setWeight(weight);
    return font;
}

} // namespace

AdBasedOnSpotlightView::AdBasedOnSpotlightView(UrlOpener &urlOpener, QWidget *parent)
    : QWidget(parent), m_urlOpener(urlOpener)
{
    resize(kWidth, kHeight);

    m_backButton =
        new LinkButton(QStringLiteral("\u2039 ") + AdBasedOnSpotlightVCStrings::string("Tab_View_back", "Back"), this);
    m_backButton->setFont(pixelFont(12, QFont::DemiBold));
    m_backButton->setGeometry(kMargin - 4, 6, 80, 20);
    connect(m_backButton, &QAbstractButton::clicked, this, &AdBasedOnSpotlightView::backPressed);

    // The tabs, in the overview's order of the categories.
    const std::array<QString, 4> tabTitles{
        AdBasedOnSpotlightVCStrings::string("Tab_View_junk_tab", "Junk"),
        AdBasedOnSpotlightVCStrings::string("Tab_View_duplicates_tab", "Duplicates"),
        AdBasedOnSpotlightVCStrings::string("Tab_View_large_and_old_tab", "Large & Old"),
        AdBasedOnSpotlightVCStrings::string("Tab_View_applications_tab", "Apps"),
    };
    const int tabWidth = (kWidth - 2) / 4;
    for (std::size_t i = 0; i < m_tabs.size(); ++i) {
        auto *tab = new LinkButton(tabTitles[i], this);
        tab->setFont(pixelFont(10));
        tab->setAlignment(Qt::AlignCenter);
        tab->setTitleColor(NamedColor::SecondaryText);
        tab->setGeometry(1 + static_cast<int>(i) * tabWidth, 28, tabWidth, 18);
        const int state = static_cast<int>(i) + 1;
        connect(tab, &QAbstractButton::clicked, this, [this, state] { Q_EMIT tabPressed(state); });
        m_tabs[i] = tab;
    }

    m_titleLabel = new QLabel(this);
    m_titleLabel->setFont(pixelFont(14, QFont::DemiBold));
    m_titleLabel->setGeometry(kMargin, 52, kWidth - 2 * kMargin, 20);
    m_totalLabel = new QLabel(this);
    m_totalLabel->setObjectName(QStringLiteral("detailTotal"));
    m_totalLabel->setFont(pixelFont(22, QFont::DemiBold));
    m_totalLabel->setGeometry(kMargin, 74, kWidth - 2 * kMargin, 28);
    m_subtitleLabel = new QLabel(this);
    m_subtitleLabel->setFont(pixelFont(11));
    m_subtitleLabel->setGeometry(kMargin, 100, kWidth - 2 * kMargin, 16);
    for (std::size_t i = 0; i < m_values.size(); ++i) {
        const int top = kRowTop + static_cast<int>(i) * kRowHeight;
        m_captions[i] = new QLabel(this);
        m_captions[i]->setFont(pixelFont(12));
        m_captions[i]->setGeometry(kMargin, top, 130, kRowHeight);
        m_values[i] = new QLabel(this);
        m_values[i]->setFont(pixelFont(12, QFont::DemiBold));
        m_values[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_values[i]->setGeometry(kWidth - kMargin - 100, top, 100, kRowHeight);
    }

    m_getAppButton = new SvgTrackingButton(this);
    m_getAppButton->setSvgImages(QStringLiteral("btn_GetApp"), QStringLiteral("btn_GetApp_hover"));
    m_getAppButton->setTitleColor(QColor(0x1a, 0x59, 0x8f)); // the toolkit's c_1a598f
    m_getAppButton->setFont(pixelFont(12, QFont::DemiBold));
    const QSize buttonSize = m_getAppButton->sizeHint();
    m_getAppButton->setGeometry((kWidth - buttonSize.width()) / 2, 188, buttonSize.width(), buttonSize.height());
    connect(m_getAppButton, &QAbstractButton::clicked, this, &AdBasedOnSpotlightView::getAppPressed);

    m_showFilesButton =
        new LinkButton(AdBasedOnSpotlightVCStrings::string("Tab_View_show_files_button", "Show Files"), this);
    m_showFilesButton->setFont(pixelFont(12));
    m_showFilesButton->setAlignment(Qt::AlignCenter);
    m_showFilesButton->setGeometry(kMargin, 224, kWidth - 2 * kMargin, 20);
    connect(m_showFilesButton, &QAbstractButton::clicked, this, &AdBasedOnSpotlightView::showFilesPressed);
}

LinkButton *AdBasedOnSpotlightView::tabButton(int state) const
{
    return state >= 1 && state <= 4 ? m_tabs[static_cast<std::size_t>(state - 1)] : nullptr;
}

QLabel *AdBasedOnSpotlightView::rowValue(int row) const
{
    return row >= 0 && row < 3 ? m_values[static_cast<std::size_t>(row)] : nullptr;
}

QLabel *AdBasedOnSpotlightView::rowCaption(int row) const
{
    return row >= 0 && row < 3 ? m_captions[static_cast<std::size_t>(row)] : nullptr;
}

void AdBasedOnSpotlightView::setTexts(const QString &title, const QString &subtitle,
                                      const std::array<QString, 3> &captions)
{
    m_titleLabel->setText(title);
    m_subtitleLabel->setText(subtitle);
    for (std::size_t i = 0; i < captions.size(); ++i) {
        m_captions[i]->setText(captions[i]);
        m_captions[i]->setVisible(!captions[i].isEmpty());
        m_values[i]->setVisible(!captions[i].isEmpty());
    }
}

void AdBasedOnSpotlightView::prepareForAppearance()
{
    bool exists = false;
    SiblingToolHandOff::getWillOpenedAppNameIsExitedForType(&exists, getType());
    const QString name = toolButtonName();
    m_getAppButton->setText(exists ? AdBasedOnSpotlightVCStrings::openAppLabelWithAppName(name)
                                   : AdBasedOnSpotlightVCStrings::getAppLabelWithAppName(name));
    // The tab of this view is the current one.
    for (std::size_t i = 0; i < m_tabs.size(); ++i) {
        const bool current = viewTypeForState(static_cast<int>(i) + 1) == getType();
        m_tabs[i]->setTitleColor(current ? NamedColor::AccentText : NamedColor::SecondaryText);
    }
    fillLabels();
}

void AdBasedOnSpotlightView::getAppPressed()
{
    SiblingToolHandOff handOff(getType(), m_urlOpener);
    handOff.setLaunch(m_launch);
    handOff.getAppPressed();
}

void AdBasedOnSpotlightView::paintEvent(QPaintEvent *)
{
    // A filled view: the overview under it does not show through while it slides in.
    QPainter painter(this);
    painter.fillRect(rect(), NamedColors::isDark(palette()) ? palette().color(QPalette::Window) : QColor(Qt::white));
}

QString AdBasedOnSpotlightView::sizeText(std::uint64_t size)
{
    return VolumeName::stringFromSize(static_cast<std::int64_t>(size));
}

} // namespace lurkel
