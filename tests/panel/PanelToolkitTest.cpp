// The controls the panel adds to the toolkit (switch, clickable label, frameless chrome)
// and the panel's own drawn pieces (level bar, clean button).
#include "CleanMemoryButton.h"
#include "ClickableLabel.h"
#include "FramelessWindowChrome.h"
#include "LevelIndicator.h"
#include "NamedColors.h"
#include "OnOffSwitch.h"
#include "PanelWindowStrings.h"
#include "TrackingButton.h"

#include "EventWait.h"
#include "QtPrinters.h"

#include <QApplication>
#include <QImage>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace lurkel {
namespace {

QRgb pixelAt(QWidget *widget, QPoint at)
{
    return widget->grab().toImage().pixel(at);
}

TEST(OnOffSwitch, AClickTogglesAndReportsItSettingFromCodeOnlyMovesTheKnob)
{
    QWidget window;
    auto *control = new OnOffSwitch(&window);
    control->setGeometry(10, 10, 38, 22);
    control->setAnimationDuration(400);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QSignalSpy clicked(control, &QAbstractButton::clicked);

    QTest::mouseClick(control, Qt::LeftButton);
    EXPECT_TRUE(control->isChecked());
    EXPECT_EQ(clicked.count(), 1);
    // The knob slides; half-way it is between the ends, and the track's colour with it.
    ASSERT_TRUE(control->isAnimating());
    EXPECT_DOUBLE_EQ(control->knobPosition(), 0.0);
    control->setChecked(false); // the model said no: back, without a click signal
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_FALSE(control->isAnimating());
    control->setAnimationDuration(0);
    control->setChecked(true);
    EXPECT_DOUBLE_EQ(control->knobPosition(), 1.0);
    EXPECT_EQ(QColor(pixelAt(control, QPoint(5, 11))).rgb(), NamedColors::color(NamedColor::SwitchOnFill).rgb());

    control->setEnabled(false);
    QTest::mouseClick(control, Qt::LeftButton);
    EXPECT_TRUE(control->isChecked());
    EXPECT_EQ(clicked.count(), 1);
}

TEST(ClickableLabel, HoverFontAndClicksOnlyWhileTrackingAndEnabled)
{
    QWidget window;
    window.resize(200, 60);
    auto *label = new ClickableLabel(&window);
    label->setText(QStringLiteral("1.20 GB cleaned"));
    label->setGeometry(10, 10, 150, 20);
    QFont normal = label->font();
    normal.setPixelSize(12);
    QFont hovered = normal;
    hovered.setWeight(QFont::Medium);
    label->setFonts(normal, hovered);
    QTest::mouseMove(&window, QPoint(190, 50));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QSignalSpy clicked(label, &ClickableLabel::clicked);

    QTest::mouseMove(label, QPoint(20, 10));
    ASSERT_TRUE(test::waitUntil([&] { return label->isHovered(); }));
    EXPECT_EQ(label->font().weight(), QFont::Medium);
    QTest::mouseClick(label, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);

    label->setTrackingEnabled(false);
    EXPECT_FALSE(label->isHovered());
    EXPECT_EQ(label->font().weight(), QFont::Normal);
    QTest::mouseClick(label, Qt::LeftButton);
    label->setTrackingEnabled(true);
    label->setDrawsDisabled(true);
    QTest::mouseClick(label, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_EQ(label->palette().color(QPalette::Active, QPalette::WindowText),
              QPalette().color(QPalette::Disabled, QPalette::WindowText));
}

TEST(FramelessWindowChrome, DragsByTheBackgroundOnlyAndIsCutToItsOutlineWithoutCompositing)
{
    QWidget window(nullptr, Qt::Tool | Qt::FramelessWindowHint);
    window.setGeometry(100, 100, 200, 120);
    auto *button = new TrackingButton(QStringLiteral("close"), {}, {}, &window);
    button->setGeometry(5, 5, 20, 20);
    auto *chrome = new FramelessWindowChrome(&window);
    QPainterPath outline;
    outline.addRoundedRect(QRectF(0, 10, 200, 110), 8, 8);
    chrome->setOutline(outline);

    FramelessWindowChrome::setCompositingActiveForTesting(false);
    chrome->prepareToShow();
    EXPECT_FALSE(chrome->isTranslucent());
    EXPECT_FALSE(window.mask().contains(QPoint(100, 5))); // above the outline
    EXPECT_FALSE(window.mask().contains(QPoint(0, 119))); // a rounded corner
    EXPECT_TRUE(window.mask().contains(QPoint(100, 60)));
    FramelessWindowChrome::setCompositingActiveForTesting(true);
    chrome->prepareToShow();
    EXPECT_TRUE(chrome->isTranslucent());
    EXPECT_TRUE(window.testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_TRUE(window.mask().isEmpty());
    FramelessWindowChrome::setCompositingActiveForTesting(std::nullopt);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    QSignalSpy started(chrome, &FramelessWindowChrome::dragStarted);
    QSignalSpy moved(chrome, &FramelessWindowChrome::dragMoved);
    QSignalSpy finished(chrome, &FramelessWindowChrome::dragFinished);
    // A press on the button is the button's.
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseMove(button, QPoint(80, 80));
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(80, 80));
    EXPECT_EQ(started.count(), 0);
    // A short wobble on the background is a click.
    QTest::mousePress(&window, Qt::LeftButton, {}, QPoint(100, 60));
    QTest::mouseMove(&window, QPoint(102, 61));
    QTest::mouseRelease(&window, Qt::LeftButton, {}, QPoint(102, 61));
    EXPECT_EQ(started.count(), 0);
    EXPECT_EQ(window.pos(), QPoint(100, 100));
    // A drag: started once, moved along, finished once where it was let go.
    QTest::mousePress(&window, Qt::LeftButton, {}, QPoint(100, 60));
    QTest::mouseMove(&window, QPoint(130, 80));
    EXPECT_EQ(window.pos(), QPoint(130, 120));
    QTest::mouseMove(&window, QPoint(110, 70)); // relative to the moved window
    EXPECT_EQ(window.pos(), QPoint(140, 130));
    QTest::mouseRelease(&window, Qt::LeftButton, {}, QPoint(110, 70));
    EXPECT_EQ(started.count(), 1);
    EXPECT_EQ(moved.count(), 2);
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(finished.at(0).at(0).toPoint(), QPoint(140, 130));
}

TEST(LevelIndicator, AlmostFullDrawsFullAndTheFillStopsAtTheFraction)
{
    LevelIndicator bar;
    bar.resize(102, 10);
    const QColor fill = QColor::fromRgbF(0.9568627450980393f, 0.7254901960784313f, 0.27450980392156865f);
    bar.setFillColor(fill);
    bar.setDoubleValue(0.995);
    EXPECT_EQ(bar.doubleValue(), 1.0);
    EXPECT_EQ(QColor(pixelAt(&bar, QPoint(100, 5))).rgb(), fill.rgb());
    bar.setDoubleValue(0.5);
    EXPECT_EQ(QColor(pixelAt(&bar, QPoint(40, 5))).rgb(), fill.rgb());
    EXPECT_EQ(QColor(pixelAt(&bar, QPoint(60, 5))).rgb(), NamedColors::color(NamedColor::LevelTrack).rgb());
    EXPECT_EQ(QColor(pixelAt(&bar, QPoint(0, 5))).rgb(), NamedColors::color(NamedColor::LevelBorder).rgb());
}

TEST(CleanMemoryButton, FillsToThePurgesProgressAndComesBack)
{
    CleanMemoryButton button;
    button.resize(button.sizeHint());
    ASSERT_EQ(button.size(), QSize(120, 30));
    button.setTitle(PanelWindowStrings::cleanButtonStateReadyForCleanUp());
    const QImage rest = button.grab().toImage();

    button.beginProgressUpdate();
    EXPECT_FALSE(button.isEnabled());
    EXPECT_FALSE(button.isTrackingEnabled());
    button.setProgess(0.5f);
    const QImage half = button.grab().toImage();
    // Filled on the left of the half, as before on the right (away from the title).
    EXPECT_NE(half.pixel(10, 15), rest.pixel(10, 15));
    EXPECT_NE(half.pixel(40, 8), rest.pixel(40, 8));
    EXPECT_EQ(half.pixel(1, 1), rest.pixel(1, 1)); // the mask keeps the rounded shape
    const QImage disabledRest = [&] {
        CleanMemoryButton other;
        other.resize(120, 30);
        other.setEnabled(false);
        return other.grab().toImage();
    }();
    EXPECT_EQ(half.pixel(110, 8), disabledRest.pixel(110, 8));

    button.endProgressUpdate();
    EXPECT_TRUE(button.isEnabled());
    EXPECT_TRUE(button.isTrackingEnabled());
    EXPECT_EQ(button.grab().toImage(), rest);
}

} // namespace
} // namespace lurkel
