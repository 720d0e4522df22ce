#include "QuickLookController.h"
#include "FileQLItem.h"
#include "NotificationCenter.h"
#include "PreviewWindow.h"
#include "QuickLookTestSupport.h"
#include "TrackingButton.h"

#include "EventWait.h"
#include "QtPrinters.h"
#include "TestEnvironment.h"

#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <memory>

using lurkel::BytePath;
using lurkel::BytePathList;
using lurkel::FileQLItem;
using lurkel::Notification;
using lurkel::NotificationCenter;
using lurkel::PreviewWindow;
using lurkel::QuickLookController;
using lurkel::test::freshFolder;
using lurkel::test::waitUntil;
using lurkel::test::writeFile;

namespace {

// Three small text files, a, b and c.
BytePathList threeFiles()
{
    const BytePath folder = freshFolder("items");
    BytePathList list;
    for (const char *name : {"a.txt", "b.txt", "c.txt"}) {
        writeFile(folder / name, std::string("content of ") + name);
        list.push_back(folder / name);
    }
    return list;
}

bool showsName(PreviewWindow &window, const char *name)
{
    return waitUntil([&] { return !window.isLoading() && window.content().name == QLatin1String(name); });
}

} // namespace

TEST(FileQLItem, KeepsTheBytesAndPercentEncodesTheUrl)
{
    const FileQLItem item(BytePath("/srv/a dir/caf\xe9.txt"));
    EXPECT_EQ(item.mfilePath().bytes(), "/srv/a dir/caf\xe9.txt");
    EXPECT_EQ(item.previewItemURL().toEncoded(), QByteArray("file:///srv/a%20dir/caf%E9.txt"));
    EXPECT_TRUE(item.previewItemURL().isLocalFile());
    EXPECT_EQ(item.previewItemTitle(), QStringLiteral("caf\uFFFD.txt"));
}

TEST(QuickLookController, ListAndDataSource)
{
    QuickLookController controller;
    EXPECT_EQ(controller.currentFilePath(), std::nullopt);
    const BytePathList files = threeFiles();
    controller.setFileItemsByPaths(files);
    ASSERT_EQ(controller.numberOfPreviewItems(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(controller.previewItemAtIndex(i)->mfilePath(), files[std::size_t(i)]);
    EXPECT_EQ(controller.currentFilePath(), files[0]);
    EXPECT_EQ(controller.previewItemAtIndex(3), nullptr);
    EXPECT_EQ(controller.previewItemAtIndex(-1), nullptr);
    EXPECT_EQ(controller.quicklookType(), 0u);

    // Only the window the controller owns is answered.
    PreviewWindow stranger;
    EXPECT_EQ(controller.numberOfPreviewItemsInPreviewPanel(&stranger), 0);
    EXPECT_EQ(controller.previewPanelItemAtIndex(&stranger, 0), nullptr);
    PreviewWindow &own = controller.previewWindow();
    EXPECT_EQ(controller.numberOfPreviewItemsInPreviewPanel(&own), 3);
    EXPECT_EQ(controller.previewPanelItemAtIndex(&own, 3), nullptr);
    EXPECT_EQ(own.numberOfItems(), 3);

    controller.setFileItemByPath(files[2]);
    EXPECT_EQ(controller.numberOfPreviewItems(), 1);
    EXPECT_EQ(controller.currentFilePath(), files[2]);
    EXPECT_EQ(own.numberOfItems(), 1);

    // Another source replaces the list, and going back restores it.
    struct Rows : lurkel::QuickLookDataSource {
        std::vector<lurkel::FileQLItemPtr> items;
        int numberOfPreviewItems() const override { return int(items.size()); }
        lurkel::FileQLItemPtr previewItemAtIndex(int index) const override { return items.at(std::size_t(index)); }
    } rows;
    for (const BytePath &path : files)
        rows.items.push_back(std::make_shared<FileQLItem>(path));
    controller.setDataSource(&rows);
    EXPECT_EQ(own.numberOfItems(), 3);
    EXPECT_EQ(controller.previewPanelItemAtIndex(&own, 7), nullptr); // the source is never asked past its end
    controller.setDataSource(nullptr);
    EXPECT_EQ(own.numberOfItems(), 1);
}

TEST(QuickLookController, SharedPanelTogglesAndAnEmptyRequestOpensNothing)
{
    QuickLookController &shared = QuickLookController::sharedQuickLookController();
    EXPECT_EQ(&shared, &QuickLookController::sharedQuickLookController());
    EXPECT_FALSE(shared.previewPaths({}));
    EXPECT_FALSE(shared.isPreviewPanelVisible());

    shared.setFileItemsByPaths(threeFiles());
    QuickLookController::showPreviewPanel();
    EXPECT_TRUE(shared.isPreviewPanelVisible());
    EXPECT_EQ(shared.previewPanel(), &shared.previewWindow());
    QuickLookController::showPreviewPanel();
    EXPECT_FALSE(shared.isPreviewPanelVisible());
    EXPECT_EQ(shared.previewPanel(), nullptr);

    // The user closing the window ends the control too.
    QuickLookController::showPreviewPanel();
    shared.previewWindow().close();
    EXPECT_FALSE(shared.isPreviewPanelVisible());
    EXPECT_EQ(shared.previewPanel(), nullptr);
}

TEST(QuickLookController, PreviewNeverTakesTheFocus)
{
    QWidget results;
    auto *layout = new QVBoxLayout(&results);
    auto *field = new QLineEdit(&results);
    layout->addWidget(field);
    results.resize(500, 300);
    results.show();
    QApplication::setActiveWindow(&results);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&results));
    field->setFocus();
    ASSERT_TRUE(waitUntil([&] { return field->hasFocus(); }));

    QuickLookController controller;
    controller.setPanelParent(&results);
    ASSERT_TRUE(controller.previewPaths(threeFiles()));
    PreviewWindow &window = controller.previewWindow();
    ASSERT_TRUE(window.isVisible());
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_EQ(window.windowType(), Qt::Tool);
    EXPECT_TRUE(window.testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_EQ(window.parentWidget(), &results);
    ASSERT_TRUE(showsName(window, "a.txt"));

    // Clicking the window's own controls leaves the keys where they were.
    auto *next = window.findChildren<lurkel::TrackingButton *>().at(1);
    QTest::mouseClick(next, Qt::LeftButton);
    EXPECT_EQ(window.currentPreviewItemIndex(), 1);
    lurkel::test::drainMainQueue();
    EXPECT_TRUE(waitUntil([&] { return QApplication::activeWindow() == &results; }));
    EXPECT_FALSE(window.isActiveWindow());
    EXPECT_TRUE(field->hasFocus());
    EXPECT_EQ(QApplication::focusWidget(), field);
}

TEST(QuickLookController, KeysTheWindowGetsArePostedNotActedOn)
{
    QuickLookController controller;
    controller.previewPaths(threeFiles());
    PreviewWindow &window = controller.previewWindow();
    std::vector<Notification> posted;
    const auto token =
        NotificationCenter::defaultCenter().addObserver(QuickLookController::QuickLookKeyPressedNotification(), {},
                                                        [&](const Notification &note) { posted.push_back(note); });

    QTest::keyClick(&window, Qt::Key_Right, Qt::ShiftModifier);
    QTest::mouseClick(&window, Qt::LeftButton, {}, QPoint(300, 300));
    NotificationCenter::defaultCenter().removeObserver(token);

    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].name, QStringLiteral("QuickLookKeyPressed"));
    EXPECT_EQ(posted[0].userInfo.value(QStringLiteral("Type")).toUInt(), 0u);
    const QVariantMap event = posted[0].userInfo.value(QStringLiteral("Event")).toMap();
    EXPECT_EQ(event.value(QStringLiteral("key")).toInt(), int(Qt::Key_Right));
    EXPECT_EQ(event.value(QStringLiteral("modifiers")).toInt(), int(Qt::ShiftModifier));
    EXPECT_EQ(window.currentPreviewItemIndex(), 0); // the window did not act on it
}

TEST(QuickLookController, ForwardedKeysStepThroughTheItems)
{
    QuickLookController controller;
    QSignalSpy changed(&controller, &QuickLookController::currentPreviewItemChanged);
    ASSERT_TRUE(controller.previewPaths(threeFiles()));
    PreviewWindow &window = controller.previewWindow();
    ASSERT_TRUE(showsName(window, "a.txt"));
    EXPECT_EQ(window.content().text, QStringLiteral("content of a.txt"));

    EXPECT_TRUE(controller.handleKey(Qt::Key_Right, Qt::NoModifier));
    ASSERT_TRUE(showsName(window, "b.txt"));
    EXPECT_TRUE(controller.handleKey(Qt::Key_Down, Qt::KeypadModifier));
    ASSERT_TRUE(showsName(window, "c.txt"));
    EXPECT_TRUE(window.detailText().contains(QStringLiteral("3 of 3")));
    controller.showNextItem(); // nothing past the end
    EXPECT_EQ(controller.currentPreviewItemIndex(), 2);
    EXPECT_TRUE(controller.handleKey(Qt::Key_Left, Qt::NoModifier));
    EXPECT_EQ(controller.currentPreviewItemIndex(), 1);
    controller.showItemAtIndex(9);
    controller.showItemAtIndex(-1);
    EXPECT_EQ(controller.currentPreviewItemIndex(), 1);
    EXPECT_EQ(changed.count(), 3);
    // With a modifier an arrow is another command of the results window.
    EXPECT_FALSE(controller.handleKey(Qt::Key_Right, Qt::ControlModifier));
    EXPECT_FALSE(controller.handleKey(Qt::Key_A, Qt::NoModifier));

    // Space closes; moving while closed does not open, and opening shows where it was moved.
    EXPECT_TRUE(controller.handleKey(Qt::Key_Space, Qt::NoModifier));
    EXPECT_FALSE(controller.isPreviewPanelVisible());
    controller.showItemAtIndex(0);
    EXPECT_FALSE(controller.isPreviewPanelVisible());
    EXPECT_TRUE(controller.handleKey(Qt::Key_Space, Qt::NoModifier));
    ASSERT_TRUE(showsName(window, "a.txt"));
    EXPECT_TRUE(controller.handleKey(Qt::Key_Escape, Qt::NoModifier));
    EXPECT_FALSE(controller.isPreviewPanelVisible());
    EXPECT_FALSE(controller.handleKey(Qt::Key_Escape, Qt::NoModifier));

    // A new list starts at its first item.
    controller.showItemAtIndex(2);
    controller.setFileItemsByPaths(threeFiles());
    EXPECT_EQ(controller.currentPreviewItemIndex(), 0);
}
