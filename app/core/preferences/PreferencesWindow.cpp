#include "PreferencesWindow.h"

#include "MemoryController.h"
#include "OnOffSwitch.h"
#include "PreferencesWindowStrings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QStyle>
#include <QVariantAnimation>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <utility>

namespace lurkel {
namespace {

constexpr int kWidth = 420;
constexpr int kMargin = 20;
constexpr int kSectionSpacing = 14;
constexpr int kRowSpacing = 8;
constexpr qreal kBlinkOpacity = 0.25;

QFrame *separator(QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

QFormLayout *formLayout()
{
    auto *form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    form->setHorizontalSpacing(10);
    form->setVerticalSpacing(kRowSpacing);
    return form;
}

} // namespace

PreferencesWindow::PreferencesWindow(QWidget *parent)
    : QWidget(parent, Qt::Tool), m_autoStart(new QCheckBox(this)),
      m_finderIntegration(new QCheckBox(PreferencesWindowStrings::enableFinderIntegration(), this)),
      m_forceSwitch(new OnOffSwitch(this)),
      m_forceSwitchLabel(new QLabel(PreferencesWindowStrings::forceSwitchHiddenVisibility(), this)),
      m_showInfo(new QCheckBox(PreferencesWindowStrings::showPanelAtStart(), this)), m_vision(new QComboBox(this)),
      m_visionLabel(new QLabel(PreferencesWindowStrings::panelStyle(), this)),
      m_purgeAfterHugeAppQuit(new QCheckBox(PreferencesWindowStrings::purgeAfterHugeAppQuit(), this)),
      m_autoFree(new QCheckBox(PreferencesWindowStrings::autoFree(), this)),
      m_memUsage(new QSlider(Qt::Horizontal, this)),
      m_memUsageLabel(new QLabel(PreferencesWindowStrings::usageLimit(), this)), m_freq(new QComboBox(this)),
      m_freqLabel(new QLabel(PreferencesWindowStrings::purgeInterval(), this)), m_desc(new QLabel(this)),
      m_blink(new QVariantAnimation(this))
{
    // The tray application lives on without its windows; closing this one only hides it.
    setAttribute(Qt::WA_QuitOnClose, false);

    m_forceSwitchLabel->setWordWrap(true);
    m_forceSwitchLabel->setBuddy(m_forceSwitch);
    auto *switchRow = new QHBoxLayout;
    switchRow->setSpacing(10);
    switchRow->addWidget(m_forceSwitch, 0, Qt::AlignVCenter);
    switchRow->addWidget(m_forceSwitchLabel, 1);

    m_vision->addItems({PreferencesWindowStrings::visionCompact(), PreferencesWindowStrings::visionStandard(),
                        PreferencesWindowStrings::visionDetailed()});
    m_vision->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_visionLabel->setBuddy(m_vision);
    auto *visionForm = formLayout();
    visionForm->addRow(m_visionLabel, m_vision);
    visionForm->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);

    // Tracking off: a drag reports its value once, where it is let go.
    m_memUsage->setRange(0, 100);
    m_memUsage->setSingleStep(1);
    m_memUsage->setPageStep(10);
    m_memUsage->setTracking(false);
    m_memUsageLabel->setBuddy(m_memUsage);
    for (int i = 0; i < 3; ++i)
        m_freq->addItem(MemoryController::builtInPurgeInterval(i).word);
    m_freq->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_freqLabel->setBuddy(m_freq);
    auto *autoFreeForm = formLayout();
    autoFreeForm->addRow(m_memUsageLabel, m_memUsage);
    autoFreeForm->addRow(m_freqLabel, m_freq);
    autoFreeForm->setAlignment(m_freq, Qt::AlignLeft);

    m_desc->setWordWrap(true);
    m_desc->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_desc->setForegroundRole(QPalette::PlaceholderText);
    // Room for two lines at least, so that the window rarely changes height as the text
    // changes; a longer text (another font, a larger one) makes the window grow to fit it.
    m_desc->setMinimumHeight(2 * m_desc->fontMetrics().lineSpacing());

    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    root->setSpacing(kRowSpacing);
    root->addWidget(m_autoStart);
    root->addWidget(m_finderIntegration);
    root->addLayout(switchRow);
    root->addWidget(m_showInfo);
    root->addSpacing(kRowSpacing / 2);
    root->addLayout(visionForm);
    root->addSpacing(kSectionSpacing - kRowSpacing);
    root->addWidget(separator(this));
    root->addSpacing(kSectionSpacing - kRowSpacing);
    root->addWidget(m_purgeAfterHugeAppQuit);
    root->addWidget(m_autoFree);
    // The limit and the interval belong to automatic freeing: under its title, not its box.
    const int indent = style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, m_autoFree) +
                       style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, m_autoFree);
    autoFreeForm->setContentsMargins(indent, 0, 0, 0);
    root->addLayout(autoFreeForm);
    m_desc->setContentsMargins(indent, 0, 0, 0);
    root->addWidget(m_desc);
    root->addStretch(1);

    connect(m_autoStart, &QAbstractButton::clicked, this, &PreferencesWindow::autoStartToggled);
    connect(m_finderIntegration, &QAbstractButton::clicked, this, &PreferencesWindow::finderIntegrationToggled);
    connect(m_forceSwitch, &QAbstractButton::clicked, this, [this](bool on) { Q_EMIT forceSwitchToggled(on ? 1 : 0); });
    connect(m_showInfo, &QAbstractButton::clicked, this, &PreferencesWindow::showInfoToggled);
    connect(m_purgeAfterHugeAppQuit, &QAbstractButton::clicked, this, &PreferencesWindow::purgeAfterHugeAppQuitToggled);
    connect(m_autoFree, &QAbstractButton::clicked, this, &PreferencesWindow::autoFreeToggled);
    connect(m_freq, &QComboBox::activated, this, &PreferencesWindow::freqChanged);
    connect(m_vision, &QComboBox::activated, this, &PreferencesWindow::visionIndexChanged);

    // Whatever the user does to the slider (keys, wheel, a click on the groove, the end of a
    // drag) is an action that moves the slider's position and then applies it as the value;
    // setValue() from code takes no action. A value that follows an action is the user's.
    connect(m_memUsage, &QAbstractSlider::actionTriggered, this,
            [this] { m_sliderActionPending = m_memUsage->sliderPosition() != m_memUsage->value(); });
    connect(m_memUsage, &QAbstractSlider::valueChanged, this, [this](int percent) {
        if (!std::exchange(m_sliderActionPending, false) || m_memUsage->isSliderDown()) return;
        Q_EMIT memUsageChanged(percent / 100.0);
    });

    m_blink->setStartValue(1.0);
    m_blink->setKeyValueAt(0.5, kBlinkOpacity);
    m_blink->setEndValue(1.0);
    connect(m_blink, &QVariantAnimation::valueChanged, this,
            [this](const QVariant &opacity) { setWindowOpacity(opacity.toReal()); });

    resize(kWidth, heightForWidth(kWidth));
}

void PreferencesWindow::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) fitHeightToContents();
}

double PreferencesWindow::usageLimit() const
{
    return m_memUsage->value() / 100.0;
}

void PreferencesWindow::setUsageLimit(double limit)
{
    m_sliderActionPending = false;
    m_memUsage->setValue(static_cast<int>(std::lround(std::clamp(limit, 0.0, 1.0) * 100.0)));
}

void PreferencesWindow::setAutoFreeControlsEnabled(bool enabled)
{
    m_memUsage->setEnabled(enabled);
    m_freq->setEnabled(enabled);
    m_memUsageLabel->setEnabled(enabled);
    m_freqLabel->setEnabled(enabled);
}

void PreferencesWindow::setPrefDescText(const QString &text)
{
    m_desc->setText(text);
    fitHeightToContents();
}

void PreferencesWindow::fitHeightToContents()
{
    // A window's layout does not ask for more height when a word-wrapped label needs
    // another line: it is resized here, to what its width needs.
    if (layout() == nullptr) return;
    layout()->activate();
    const int needed = heightForWidth(width());
    if (needed > 0 && needed != height()) resize(width(), needed);
}

void PreferencesWindow::blink()
{
    if (m_blinkMs == 0 || isBlinking()) return;
    m_blink->setDuration(2 * m_blinkMs);
    m_blink->start();
}

bool PreferencesWindow::isBlinking() const
{
    return m_blink->state() == QAbstractAnimation::Running;
}

void PreferencesWindow::setBlinkDurationMs(int ms)
{
    m_blinkMs = std::max(0, ms);
}

void PreferencesWindow::hideEvent(QHideEvent *event)
{
    // Opened again, the window shows fully, not half-way through a blink.
    if (isBlinking()) {
        m_blink->stop();
        setWindowOpacity(1.0);
    }
    QWidget::hideEvent(event);
}

} // namespace lurkel
