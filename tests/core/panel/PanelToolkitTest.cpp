// The panel's frameless chrome and its drawn pieces (level bar, clean button); the switch, the
// label and the chrome's drag are exercised through PanelWindowTest.
#include "CleanMemoryButton.h"
#include "FramelessWindowChrome.h"
#include "LevelIndicator.h"
#include "NamedColors.h"
#include "PanelWindowStrings.h"

#include "QtPrinters.h"

#include <QImage>
#include <QTest>

#include <gtest/gtest.h>

namespace lurkel {
namespace {

QRgb pixelAt(QWidget *widget, QPoint at)
{
    return widget->grab().toImage().pixel(at);
}

TEST(FramelessWindowChrome, IsCutToItsOutlineWithoutCompositing)
{
    QWidget window(nullptr, Qt::Tool | Qt::FramelessWindowHint);
    window.setGeometry(100, 100, 200, 120);
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
    EXPECT_NE(half.pixel(10, 15), rest.pixel(10, 15)); // filled up to the half
    EXPECT_NE(half.pixel(40, 8), rest.pixel(40, 8));
    EXPECT_EQ(half.pixel(1, 1), rest.pixel(1, 1)); // the mask keeps the rounded shape
    button.endProgressUpdate();
    EXPECT_TRUE(button.isEnabled());
    EXPECT_TRUE(button.isTrackingEnabled());
    EXPECT_EQ(button.grab().toImage(), rest);
}

} // namespace
} // namespace lurkel
