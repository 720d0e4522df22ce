// The preview window: what it shows for each kind of file, and that it never takes the keys.
#include "PreviewContent.h"
#include "PreviewWindow.h"
#include "QuickLookController.h"
#include "TrackingButton.h"

#include "EventWait.h"
#include "QtPrinters.h"
#include "TestEnvironment.h"

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace lurkel::test {
namespace {

using Kind = PreviewContent::Kind;

std::string pngBytes(int width, int height, QColor color = Qt::red)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return buffer.data().toStdString();
}

class Preview : public ::testing::Test {
protected:
    // Shows the one item and waits until its content is on screen.
    const PreviewContent &show(const BytePath &path)
    {
        controller.setFileItemByPath(path);
        if (!controller.isPreviewPanelVisible()) controller.togglePreviewPanel();
        EXPECT_TRUE(waitUntil([&] { return !window.isLoading(); }));
        return window.content();
    }
    // a.txt, b.txt and c.txt.
    BytePathList threeFiles()
    {
        BytePathList list;
        for (const char *name : {"a.txt", "b.txt", "c.txt"}) {
            writeFile(folder / name, std::string("content of ") + name);
            list.push_back(folder / name);
        }
        return list;
    }
    bool showsName(const char *name)
    {
        return waitUntil([&] { return !window.isLoading() && window.content().name == QLatin1String(name); });
    }

    BytePath folder = TestEnvironment::freshHome();
    QuickLookController controller;
    PreviewWindow &window = controller.previewWindow();
};

TEST_F(Preview, PicturesAreScaledToFitAndNeverEnlarged)
{
    const BytePath wide = folder / "panorama.png";
    writeFile(wide, pngBytes(4000, 300));
    const PreviewContent &content = show(wide);
    ASSERT_EQ(content.kind, Kind::Image);
    EXPECT_EQ(content.imageSize, QSize(4000, 300));
    EXPECT_EQ(window.currentView(), window.imageView());
    const QRect shown = window.displayedImageRect();
    EXPECT_TRUE(window.imageView()->rect().contains(shown));
    EXPECT_NEAR(double(shown.width()) / shown.height(), 4000.0 / 300.0, 0.3);

    const BytePath small = folder / "dot.png";
    writeFile(small, pngBytes(40, 20, Qt::blue));
    ASSERT_EQ(show(small).kind, Kind::Image);
    EXPECT_EQ(window.displayedImageRect().size(), QSize(40, 20));
    const QImage painted = window.imageView()->grab().toImage();
    EXPECT_EQ(QColor(painted.pixel(window.displayedImageRect().center())), QColor(Qt::blue));

    // Named like a picture, but not one: described.
    writeFile(folder / "broken.png", "\x89PNG\r\n\x1a\n but nothing after the signature");
    EXPECT_EQ(show(folder / "broken.png").kind, Kind::Info);
}

TEST_F(Preview, TextShowsTheFirst64KiBOnly)
{
    writeFile(folder / "notes.txt", "first line\nsecond line\n");
    const PreviewContent &shortText = show(folder / "notes.txt");
    ASSERT_EQ(shortText.kind, Kind::Text);
    EXPECT_EQ(shortText.text, QStringLiteral("first line\nsecond line\n"));
    EXPECT_FALSE(shortText.textTruncated);

    constexpr std::size_t kLimit = 64 * 1024;
    std::string body;
    while (body.size() < kLimit)
        body += "0123456789abcdef\n";
    body.resize(kLimit);
    writeFile(folder / "long.log", body + "TAIL-MARKER past the limit\n");
    const PreviewContent &longText = show(folder / "long.log");
    ASSERT_EQ(longText.kind, Kind::Text);
    EXPECT_EQ(std::size_t(longText.text.size()), kLimit);
    EXPECT_TRUE(longText.textTruncated);
    EXPECT_EQ(window.textView()->toPlainText(), longText.text);
    EXPECT_EQ(window.currentView(), window.textView());

    // A UTF-8 character cut by the limit is left out; bytes that are not UTF-8 read as Latin-1.
    EXPECT_EQ(PreviewLoader::decodeText(QByteArray(10, 'a') + QByteArray("\xc3", 1)), QString(10, QLatin1Char('a')));
    EXPECT_EQ(PreviewLoader::decodeText(QByteArray("caf\xe9 cr\xe8me")), QStringLiteral("caf\u00e9 cr\u00e8me"));
    EXPECT_EQ(PreviewLoader::decodeText(QByteArray("\xff\xfeh\0i\0", 6)), QStringLiteral("hi"));
}

TEST_F(Preview, BinaryFilesAndSpecialEntriesAreDescribed)
{
    std::string blob;
    for (int i = 0; i < 3000; ++i)
        blob.push_back(static_cast<char>(i % 256));
    writeFile(folder / "blob.bin", blob);
    const PreviewContent &info = show(folder / "blob.bin");
    ASSERT_EQ(info.kind, Kind::Info);
    EXPECT_EQ(info.name, QStringLiteral("blob.bin"));
    EXPECT_EQ(info.sizeText, QStringLiteral("2.9 KB (3,000 bytes)"));
    EXPECT_TRUE(info.errorText.isEmpty());

    // A ".txt" name does not make NUL bytes text.
    writeFile(folder / "disguised.txt", std::string("text\0more\0", 10));
    EXPECT_EQ(show(folder / "disguised.txt").kind, Kind::Info);

    // A pipe is never opened (that would wait for a writer).
    const BytePath pipe = folder / "pipe.txt";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ(show(pipe).kind, Kind::Info);

    const PreviewContent &missing = show(folder / "gone.txt");
    ASSERT_EQ(missing.kind, Kind::Info);
    EXPECT_FALSE(missing.errorText.isEmpty());
}

TEST_F(Preview, NamesThatAreNotUtf8StillPreview)
{
    writeFile(folder / "caf\xe9.txt", "bonjour\n");
    const PreviewContent &shown = show(folder / "caf\xe9.txt");
    ASSERT_EQ(shown.kind, Kind::Text);
    EXPECT_EQ(shown.text, QStringLiteral("bonjour\n"));
    EXPECT_EQ(shown.name, QStringLiteral("caf\uFFFD.txt"));

    writeFile(folder / "bild\xff\xfe.png", pngBytes(64, 48));
    const PreviewContent &image = show(folder / "bild\xff\xfe.png");
    ASSERT_EQ(image.kind, Kind::Image);
    EXPECT_EQ(image.imageSize, QSize(64, 48));
}

TEST_F(Preview, NeverTakesTheFocus)
{
    QWidget results;
    auto *field = new QLineEdit(&results);
    (new QVBoxLayout(&results))->addWidget(field);
    results.resize(500, 300);
    results.show();
    QApplication::setActiveWindow(&results);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&results));
    field->setFocus();
    ASSERT_TRUE(waitUntil([&] { return field->hasFocus(); }));

    controller.setPanelParent(&results);
    ASSERT_TRUE(controller.previewPaths(threeFiles()));
    ASSERT_TRUE(window.isVisible());
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(window.testAttribute(Qt::WA_ShowWithoutActivating));
    ASSERT_TRUE(showsName("a.txt"));

    // Clicking the window's own controls leaves the keys where they were.
    QTest::mouseClick(window.findChildren<TrackingButton *>().at(1), Qt::LeftButton);
    EXPECT_EQ(window.currentPreviewItemIndex(), 1);
    drainMainQueue();
    EXPECT_TRUE(waitUntil([&] { return QApplication::activeWindow() == &results; }));
    EXPECT_FALSE(window.isActiveWindow());
    EXPECT_EQ(QApplication::focusWidget(), field);
}

TEST_F(Preview, ForwardedKeysStepThroughTheItems)
{
    ASSERT_TRUE(controller.previewPaths(threeFiles()));
    ASSERT_TRUE(showsName("a.txt"));
    EXPECT_EQ(window.content().text, QStringLiteral("content of a.txt"));

    EXPECT_TRUE(controller.handleKey(Qt::Key_Right, Qt::NoModifier));
    ASSERT_TRUE(showsName("b.txt"));
    EXPECT_TRUE(controller.handleKey(Qt::Key_Down, Qt::KeypadModifier));
    ASSERT_TRUE(showsName("c.txt"));
    controller.showNextItem(); // nothing past the end
    EXPECT_EQ(controller.currentPreviewItemIndex(), 2);
    EXPECT_TRUE(controller.handleKey(Qt::Key_Left, Qt::NoModifier));
    EXPECT_EQ(controller.currentPreviewItemIndex(), 1);
    // With a modifier an arrow is another command of the results window.
    EXPECT_FALSE(controller.handleKey(Qt::Key_Right, Qt::ControlModifier));

    EXPECT_TRUE(controller.handleKey(Qt::Key_Space, Qt::NoModifier));
    EXPECT_FALSE(controller.isPreviewPanelVisible());
    EXPECT_TRUE(controller.handleKey(Qt::Key_Space, Qt::NoModifier));
    EXPECT_TRUE(controller.handleKey(Qt::Key_Escape, Qt::NoModifier));
    EXPECT_FALSE(controller.isPreviewPanelVisible());
    EXPECT_FALSE(controller.handleKey(Qt::Key_Escape, Qt::NoModifier));
}

} // namespace
} // namespace lurkel::test
