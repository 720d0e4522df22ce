#include "PathBreadcrumb.h"
#include "TrackingButton.h"

#include "QtPrinters.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <vector>

using lurkel::BytePath;
using lurkel::PathBreadcrumb;

namespace {

std::vector<std::string> paths(const PathBreadcrumb &bar)
{
    std::vector<std::string> list;
    for (int i = 0; i < bar.count(); ++i)
        list.push_back(bar.pathAt(i).bytes());
    return list;
}

} // namespace

TEST(PathBreadcrumb, OneComponentPerFolderFromTheRoot)
{
    PathBreadcrumb bar;
    bar.setPath(BytePath("/home/ann/Documents"));
    EXPECT_EQ(paths(bar), (std::vector<std::string>{"/", "/home", "/home/ann", "/home/ann/Documents"}));
    EXPECT_EQ(bar.titleAt(3), QStringLiteral("Documents"));
    EXPECT_EQ(bar.buttonAt(4), nullptr);
    bar.setPath(BytePath("//home//ann/"));
    EXPECT_EQ(paths(bar), (std::vector<std::string>{"/", "/home", "/home/ann"}));
    bar.setPath(BytePath());
    EXPECT_EQ(bar.count(), 0);
    bar.setPath(BytePath("/media/usb"));
    bar.setRootTitle(QStringLiteral("System"));
    EXPECT_EQ(bar.buttonAt(0)->text(), QStringLiteral("System"));
    bar.setPath(BytePath("/srv"));
    EXPECT_EQ(bar.titleAt(0), QStringLiteral("System"));
}

TEST(PathBreadcrumb, ADeepPathLeavesOutTheMiddleAndKeepsTheLastNames)
{
    PathBreadcrumb bar;
    std::string deep;
    for (int i = 0; i < 30; ++i)
        deep += "/folder-" + std::to_string(i);
    bar.setPath(BytePath(deep));
    bar.resize(500, 30);
    bar.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
    ASSERT_EQ(bar.count(), 31);
    EXPECT_TRUE(bar.ellipsis()->isVisible());
    EXPECT_TRUE(bar.buttonAt(0)->isVisible());
    int shownFromEnd = 0;
    for (int i = 30; i > 0 && bar.buttonAt(i)->isVisible(); --i) {
        ++shownFromEnd;
        EXPECT_GE(bar.buttonAt(i)->width(), bar.buttonAt(i)->sizeHint().width()) << "name cut: " << i;
    }
    EXPECT_GE(shownFromEnd, 2);
    EXPECT_FALSE(bar.buttonAt(1)->isVisible());
    int right = 0;
    for (int i = 0; i <= 30; ++i)
        if (bar.buttonAt(i)->isVisible()) right = std::max(right, bar.buttonAt(i)->geometry().right());
    EXPECT_LE(right, bar.width());

    bar.resize(4000, 30); // room for all
    QCoreApplication::processEvents();
    EXPECT_FALSE(bar.ellipsis()->isVisible());
    for (int i = 0; i <= 30; ++i)
        EXPECT_TRUE(bar.buttonAt(i)->isVisible()) << i;
}

TEST(PathBreadcrumb, AClickReportsTheComponentsExactBytes)
{
    PathBreadcrumb bar;
    // "caf\xe9" is Latin-1, not UTF-8: shown with a replacement character, reported as is.
    const std::string folder = "/srv/caf\xe9/d\xff\xfe";
    bar.setPath(BytePath(folder));
    bar.resize(600, 30);
    bar.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
    EXPECT_EQ(bar.titleAt(2), QStringLiteral("caf\uFFFD"));

    QSignalSpy clicked(&bar, &PathBreadcrumb::componentClicked);
    QTest::mouseClick(bar.buttonAt(2), Qt::LeftButton);
    QTest::mouseClick(bar.buttonAt(3), Qt::LeftButton);
    QTest::mouseClick(bar.buttonAt(0), Qt::LeftButton);
    ASSERT_EQ(clicked.count(), 3);
    EXPECT_EQ(clicked.at(0).at(0).value<BytePath>().bytes(), "/srv/caf\xe9");
    EXPECT_EQ(clicked.at(1).at(0).value<BytePath>().bytes(), folder);
    EXPECT_EQ(clicked.at(2).at(0).value<BytePath>().bytes(), "/");
}
