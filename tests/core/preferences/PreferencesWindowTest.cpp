// The preferences window on the offscreen platform: what reaches its owner from the user's own
// actions, nothing from values set in code, and the blink.
#include "PreferencesWindow.h"

#include "KeyboardReach.h"
#include "OnOffSwitch.h"

#include "QtPrinters.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QSignalSpy>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>

#include <gtest/gtest.h>

#include <vector>

namespace lurkel {
namespace {

QPoint sliderHandleCentre(QSlider *slider)
{
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.orientation = slider->orientation();
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = slider->sliderPosition();
    option.sliderValue = slider->value();
    return slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider).center();
}

class PreferencesWindowSpies {
public:
    explicit PreferencesWindowSpies(PreferencesWindow *window)
        : autoStart(window, &PreferencesWindow::autoStartToggled),
          finderIntegration(window, &PreferencesWindow::finderIntegrationToggled),
          forceSwitch(window, &PreferencesWindow::forceSwitchToggled),
          showInfo(window, &PreferencesWindow::showInfoToggled),
          purgeAfterHugeAppQuit(window, &PreferencesWindow::purgeAfterHugeAppQuitToggled),
          autoFree(window, &PreferencesWindow::autoFreeToggled), memUsage(window, &PreferencesWindow::memUsageChanged),
          freq(window, &PreferencesWindow::freqChanged), vision(window, &PreferencesWindow::visionIndexChanged)
    {}

    // The one argument of each signal sent since the last take, in the order of the spies.
    std::vector<QVariant> take()
    {
        std::vector<QVariant> sent;
        for (QSignalSpy *spy : all()) {
            for (const QList<QVariant> &arguments : *spy)
                sent.push_back(arguments.value(0));
            spy->clear();
        }
        return sent;
    }

    QSignalSpy autoStart, finderIntegration, forceSwitch, showInfo, purgeAfterHugeAppQuit, autoFree, memUsage, freq,
        vision;

private:
    std::vector<QSignalSpy *> all()
    {
        return {&autoStart, &finderIntegration, &forceSwitch, &showInfo, &purgeAfterHugeAppQuit,
                &autoFree,  &memUsage,          &freq,        &vision};
    }
};

TEST(PreferencesWindow, SignalsTheUsersActionsOnlyAndDisablesTheAutoFreeControls)
{
    PreferencesWindow window;
    window.show();
    PreferencesWindowSpies spies(&window);
    using Sent = std::vector<QVariant>;

    // Each click reports the box's new state through its own signal.
    const std::vector<std::pair<QAbstractButton *, QSignalSpy *>> buttons = {
        {window.btnPrefAutoStart(), &spies.autoStart},
        {window.enableFinderIntegrationButton(), &spies.finderIntegration},
        {window.btnPrefShowInfo(), &spies.showInfo},
        {window.btnPrefPurgeAfterHugeAppQuit(), &spies.purgeAfterHugeAppQuit},
        {window.btnPrefAutoFree(), &spies.autoFree},
    };
    for (auto [button, spy] : buttons) {
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
        ASSERT_EQ(spy->size(), 2) << button->text().toStdString();
        EXPECT_EQ(spy->at(0).value(0), QVariant(true));
        EXPECT_EQ(spy->at(1).value(0), QVariant(false));
        spy->clear();
        EXPECT_EQ(spies.take(), Sent()) << button->text().toStdString();
    }
    OnOffSwitch *forceSwitch = window.enableForceSwitchHiddenVisibilityButton();
    QTest::mouseClick(forceSwitch, Qt::LeftButton);
    QTest::mouseClick(forceSwitch, Qt::LeftButton);
    EXPECT_EQ(spies.take(), Sent({1, 0}));

    window.pupPrefFreq()->setFocus();
    QTest::keyClick(window.pupPrefFreq(), Qt::Key_Down);
    EXPECT_EQ(spies.take(), Sent({1}));
    window.m_visionComboBox()->setFocus();
    QTest::keyClick(window.m_visionComboBox(), Qt::Key_Down);
    QTest::keyClick(window.m_visionComboBox(), Qt::Key_Down);
    EXPECT_EQ(spies.take(), Sent({1, 2}));

    // The slider reports a key at once and a drag once, where it is let go.
    QSlider *slider = window.sldPrefMemUsage();
    window.setUsageLimit(0.5);
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_Right);
    EXPECT_EQ(spies.take(), Sent({0.51}));
    const QPoint grip = sliderHandleCentre(slider);
    QTest::mousePress(slider, Qt::LeftButton, {}, grip);
    QTest::mouseMove(slider, grip + QPoint(slider->width() / 4, 0));
    EXPECT_EQ(spies.take(), Sent());
    EXPECT_GT(slider->sliderPosition(), 51);
    QTest::mouseRelease(slider, Qt::LeftButton, {}, grip + QPoint(slider->width() / 4, 0));
    EXPECT_EQ(spies.take(), Sent({slider->value() / 100.0}));
    EXPECT_GT(window.usageLimit(), 0.51);

    // Values from code, even straight after a key that left the slider at its end.
    window.setUsageLimit(1.0);
    QTest::keyClick(slider, Qt::Key_Right);
    slider->setValue(40);
    window.setUsageLimit(0.25);
    for (auto [button, spy] : buttons)
        button->setChecked(!button->isChecked());
    forceSwitch->setChecked(true);
    window.pupPrefFreq()->setCurrentIndex(2);
    window.m_visionComboBox()->setCurrentIndex(0);
    EXPECT_EQ(spies.take(), Sent());
    EXPECT_DOUBLE_EQ(window.usageLimit(), 0.25);

    window.setAutoFreeControlsEnabled(false);
    const std::vector<QWidget *> stayEnabled = {
        window.btnPrefAutoStart(), window.enableFinderIntegrationButton(), forceSwitch,
        window.btnPrefShowInfo(),  window.btnPrefPurgeAfterHugeAppQuit(),  window.btnPrefAutoFree(),
        window.m_visionComboBox()};
    for (QWidget *control : stayEnabled)
        EXPECT_TRUE(control->isEnabled()) << control->metaObject()->className();
    EXPECT_FALSE(slider->isEnabled());
    EXPECT_FALSE(window.pupPrefFreq()->isEnabled());
    window.setAutoFreeControlsEnabled(true);
    EXPECT_TRUE(slider->isEnabled());
    EXPECT_TRUE(window.pupPrefFreq()->isEnabled());
}

TEST(PreferencesWindow, EveryControlIsNamedAndWithinTab)
{
    PreferencesWindow window;
    window.btnPrefAutoStart()->setText(QStringLiteral("Launch Lurkel at login"));
    window.setAutoFreeControlsEnabled(true);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(test::unnamedControls(&window), std::vector<std::string>{});
    EXPECT_EQ(test::unreachableByTab(&window), std::vector<std::string>{});
}

TEST(PreferencesWindow, TheLongestFootnoteShowsWhole)
{
    PreferencesWindow window;
    window.show();
    const int before = window.height();
    window.setPrefDescText(QStringLiteral("*Free up automatically every 4 hours if memory is used on 56% and if CPU "
                                          "usage is less than 20%. And a sentence more, as a longer translation "
                                          "might need, to take a third and a fourth line."));
    QLabel *desc = window.txtPrefDesc();
    QCoreApplication::processEvents();
    EXPECT_GT(window.height(), before);
    EXPECT_GE(desc->height(), desc->heightForWidth(desc->width()));
    EXPECT_LE(desc->geometry().bottom(), window.rect().bottom());
}

TEST(PreferencesWindow, BlinksOnlyWithADurationAndNeverStaysFaded)
{
    PreferencesWindow window;
    window.setBlinkDurationMs(0);
    window.blink();
    EXPECT_FALSE(window.isBlinking());
    EXPECT_EQ(window.windowOpacity(), 1.0);

    // Closed while it blinks, it opens again in full.
    window.setBlinkDurationMs(150);
    window.show();
    window.blink();
    EXPECT_TRUE(window.isBlinking());
    window.close();
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(window.isBlinking());
    EXPECT_EQ(window.windowOpacity(), 1.0);
}

} // namespace
} // namespace lurkel
