#include "NamedColors.h"
#include "TrackingButton.h"

#include "EventWait.h"
#include "QtPrinters.h"

#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

using lurkel::NamedColor;
using lurkel::NamedColors;
using lurkel::TrackingButton;
using State = lurkel::TrackingButton::State;

namespace {

bool containsColor(const QImage &image, QRgb color)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x)
            if (argb.pixel(x, y) == color) return true;
    return false;
}

class TrackingButtonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = std::make_unique<QWidget>();
        window->resize(240, 120);
        button = new TrackingButton(QStringLiteral("copy"), QStringLiteral("copy_hover"), QStringLiteral("copy_click"),
                                    window.get());
        button->setImageSize(QSize(32, 32));
        button->setGeometry(40, 30, 40, 40);
        QTest::mouseMove(window.get(), QPoint(5, 5));
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    QRgb ink(NamedColor color) const { return NamedColors::color(color, button->palette()).rgb(); }
    QImage look() const { return button->grab().toImage(); }

    std::unique_ptr<QWidget> window;
    TrackingButton *button = nullptr;
};

} // namespace

TEST_F(TrackingButtonTest, FollowsTheMouseThroughItsThreeImages)
{
    QSignalSpy hovered(button, &TrackingButton::hoveredChanged);
    EXPECT_EQ(button->trackingState(), State::Normal);
    EXPECT_TRUE(containsColor(look(), ink(NamedColor::IconInk)));

    QTest::mouseMove(window.get(), button->geometry().center());
    ASSERT_TRUE(lurkel::test::waitUntil([&] { return button->isHovered(); }));
    EXPECT_EQ(button->trackingState(), State::Hover);
    EXPECT_TRUE(containsColor(look(), ink(NamedColor::IconInkHover)));
    EXPECT_FALSE(containsColor(look(), ink(NamedColor::IconInk)));
    EXPECT_EQ(hovered.count(), 1);

    QSignalSpy clicked(button, &QAbstractButton::clicked);
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(button->trackingState(), State::Pressed);
    EXPECT_TRUE(containsColor(look(), ink(NamedColor::IconInkPressed)));
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_EQ(button->trackingState(), State::Hover);

    QTest::mouseMove(window.get(), QPoint(200, 100));
    ASSERT_TRUE(lurkel::test::waitUntil([&] { return !button->isHovered(); }));
    EXPECT_EQ(button->trackingState(), State::Normal);
    EXPECT_TRUE(containsColor(look(), ink(NamedColor::IconInk)));
    EXPECT_EQ(hovered.count(), 2);

    // Pressed, dragged off while held: no longer pressed; released there: no click.
    QTest::mouseMove(window.get(), button->geometry().center());
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(20, 20));
    ASSERT_EQ(button->trackingState(), State::Pressed);
    QTest::mouseMove(button, QPoint(150, 60));
    EXPECT_NE(button->trackingState(), State::Pressed);
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(150, 60));
    EXPECT_EQ(clicked.count(), 1);
}
